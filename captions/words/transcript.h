// SPDX-License-Identifier: MIT
// Word-timed transcripts, as speech recognisers write them or as WebVTT's inline timestamps
// give them, read into timed words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "captions/reading/subtitles.h"

namespace quorvel::captions {

struct Word {
  std::string text;  // plain text, without the spaces around it
  int64_t start_ms = 0;
  int64_t end_ms = 0;         // at or after the start, and at or before the next word's start
  bool sentence_end = false;  // ends in . ! ? … (or 。！？．), perhaps before a closing quote
  std::string place;          // for messages: "talk.json: segments[3].words[2]"
};

struct Transcript {
  std::vector<Word> words;
  std::vector<std::string> warnings;
};

// The longest time taken, in seconds: 100 hours, far beyond any recording, short of overflow.
inline constexpr double kMaxTranscriptSeconds = 360000;

// A recogniser's JSON: {"segments": [{"words": [{"word": " Hello", "start": 0.0, "end": 0.42},
// ...]}, ...]} or a bare list of words; "text" may stand for "word", other keys are passed over.
// Times are seconds, rounded to the nearest millisecond. A word without times (recognisers leave
// punctuation untimed) joins the word before it, with a warning; blank words are passed over.
// Words out of order or overlapping, a word ending before it starts, times outside
// 0..kMaxTranscriptSeconds, an untimed first word and no words at all are a SceneError naming
// `file` and the place: "talk.json: segments[3].words[2]: ...".
Transcript ParseTranscript(const std::string& text, const std::string& file);

// The words of a cue with WebVTT's inline timestamps: each timestamp starts the text after it,
// the cue's start the text before the first, and each piece lasts until the next starts (the
// last until the cue ends). A piece of several words shares its time among them by their
// lengths. Markup tags are dropped and references decoded. Timestamps out of order or outside
// the cue are a SceneError naming `file` and the cue's line.
std::vector<Word> WordsOfTimedCue(const Cue& cue, const std::string& file);

// Whether `text` ends a sentence, as Word::sentence_end says.
bool EndsSentence(const std::string& text);

}  // namespace quorvel::captions
