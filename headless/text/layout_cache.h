// SPDX-License-Identifier: MIT
// The glyph outlines of the texts laid out last, so that the same text in the same font, size
// and place is laid out once however many times a frame asks for it: the layer's pixels, the
// effect's outline queries at both shutter instants, and each of a caption's line layers,
// which all show lines of one layout.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headless/composition/scene.h"

namespace quorvel::headless {

// Outlines up to (not including) `end` that are drawn in `color`, or in the layer's colour.
struct ColorSpan {
  size_t end = 0;
  std::optional<PF_Pixel> color;
};

// The outlines of the whole text, or of one line, with the colours of its runs: spans in order,
// none for text all in the layer's colour.
struct LaidOutLine {
  TextOutlines outlines;
  std::vector<ColorSpan> colors;
};

// The outlines of a layout: one entry for the whole text, or one per line when laid out line by
// line.
using LaidOutText = std::vector<LaidOutLine>;

// The cached layout for `key`, else `lay_out()`'s, kept for later unless `keep` says no (a
// layout cut short by a stop is not kept). Safe to call from several threads at once; two
// threads asking for the same new key may both lay it out.
std::shared_ptr<const LaidOutText> CachedLayout(
    const std::string& key, const std::function<LaidOutText(bool& keep)>& lay_out);

// How many layouts were made rather than found, since the program started.
size_t LayoutsMade();

}  // namespace quorvel::headless
