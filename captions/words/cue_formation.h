// SPDX-License-Identifier: MIT
// Timed words gathered into caption cues of a few balanced lines, as subtitlers form them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "captions/reading/subtitles.h"
#include "captions/words/transcript.h"

namespace quorvel::captions {

struct FormationOptions {
  size_t max_chars = 42;  // per line, counted in characters (code points)
  size_t max_lines = 2;
  double max_duration_seconds = 7;
  double pause_seconds = 0.5;  // a silence this long or longer always ends a caption
};

// One word as placed in a formed cue: bytes [begin, end) of the cue's text (the markup, so
// "&" spans "&amp;"), spoken from start_ms to end_ms.
struct WordSpan {
  size_t begin = 0;
  size_t end = 0;
  int64_t start_ms = 0;
  int64_t end_ms = 0;
};

struct FormedCue {
  // From the first word's start to the last word's end; its text is markup, its timestamps
  // mark each word after the first.
  Cue cue;
  std::vector<WordSpan> words;
};

// Gathers the words, in order of time, into cues within the options' limits, never breaking
// inside a word; a word longer than max_chars stands alone on its line, one longer than
// max_duration_seconds alone in its cue. A cue ends at a pause of pause_seconds or more, and at
// a sentence's end once it holds half of its max_chars × max_lines; a cue that would run past
// a limit ends instead after its last sentence's end, if it has one, else before the word that
// does not fit. A cue's lines are the fewest that fit, then as even as they can be (the longest
// as short as it can be). Options outside max_chars 1..1000, max_lines 1..10 and times
// 0..kMaxTranscriptSeconds, and words out of order (as ParseTranscript refuses them), are an
// std::invalid_argument.
std::vector<FormedCue> FormCues(const std::vector<Word>& words, const FormationOptions& options);

}  // namespace quorvel::captions
