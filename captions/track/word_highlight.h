// SPDX-License-Identifier: MIT
// The box behind the word being spoken. Its layer lays out the whole cue, as the caption does,
// with every word but the spoken one a phantom: the box, measured from the outlines, covers that
// word's glyphs wherever the layout puts them (wrapped, centred, right to left). Between the
// caption's box and its text, and keyed word by word.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "captions/reading/subtitles.h"
#include "compose/scene/scene_file.h"

namespace quorvel::captions {

// A word of a cue as the highlight steps through it: bytes [begin, end) of the cue's markup,
// spoken from start_ms.
struct CueWord {
  size_t begin = 0;
  size_t end = 0;
  int64_t start_ms = 0;
};

// The cue's words by its inline timestamps: each starts a word, the cue's start the first, and
// a word runs to the next timestamp, spaces at its ends left out; pieces without ink are passed
// over. A cue without timestamps is one word. Times are kept within the cue and in order.
std::vector<CueWord> CueWords(const Cue& cue);

// The cue's markup with everything but `word` a phantom.
std::string OnlyWordMeasured(const std::string& text, const CueWord& word);

// The cue's markup with the words before `active` in the highlight's spoken colour and, when
// `active_colored`, `active` in its colour (each only when the highlight has it).
std::string SpokenColors(const std::string& text, const std::vector<CueWord>& words, size_t active,
                         const compose::WordHighlight& highlight, bool active_colored = true);

// One cue of a track of cues shown one after another: its frames [first, end) and the place of
// its text.
struct TrackCue {
  const Cue* cue = nullptr;
  A_long first = 0;
  A_long end = 0;
  headless::Point2 position;
};

struct HighlightLayers {
  compose::SceneLayer highlight;                // the box behind the spoken word
  headless::Animated<std::string> text_on_top;  // the cues' text in the spoken colours
};

// The highlight of a track, made from `caption` (the track's layer: its place, opacity and
// layout): its layer, with the highlight's effect, transparent text keyed word by word and,
// with travel, the box's Position and expansions eased from each word's box to the next's; and
// the text to lay over it. The box leaves a word as the next starts and reaches it the travel
// time later (at most half the next word's time). Throws SceneError naming `style_file` when
// travel is asked of an effect whose Position or expansions are keyframed.
HighlightLayers HighlightTrack(const compose::SceneLayer& caption,
                               const compose::WordHighlight& highlight,
                               const std::vector<TrackCue>& cues,
                               const headless::Composition& composition,
                               const std::string& style_file);

}  // namespace quorvel::captions
