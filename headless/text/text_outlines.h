// SPDX-License-Identifier: MIT
// The geometry and the pixels of a text layer at a time: its glyph outlines, laid out from a
// real font with pango or with FreeType alone (headless/freetype_text.h chooses), and the same
// outlines filled in the layer's colour.
#pragma once

#include <string>
#include <vector>

#include "headless/composition/scene.h"
#include "hostapi/host_api.h"

namespace quorvel::headless {

// The layer's outlines at a time: one closed outline per glyph contour, in layer pixels at
// full resolution, the layout box's anchor at the layer's position. A layer with
// explicit outlines gives those instead. Empty text, or a font size that is not a positive
// number up to kMaxFontSize, gives none.
TextOutlines TextOutlinesAt(const TextLayer& layer, double seconds);

inline constexpr double kMaxFontSize = 10000;

// A font file's face: its family and its style as style words ("Bold", empty for regular), or
// why it cannot be used.
struct FontFileFace {
  std::string family;
  std::string style;
  std::string error;  // empty when the file is usable
};

// Opens a font file (.ttf, .otf, .ttc: its first face) for this process's text layers: pango
// finds it by family and style from then on. A layer takes it with font_file set to the path
// and the family and style given here.
FontFileFace LoadFontFile(const std::string& path);

// What a layer's text lays out into at a time, line by line: each line's text as drawn (without
// the spaces at a wrap), its size in pixels, and whether it holds a word wider than the layer's
// width, which is never broken and so reaches past the width. Empty when the font cannot be
// found.
struct TextLineMeasure {
  std::string text;
  double width = 0;
  double height = 0;
  bool overflows = false;
};
std::vector<TextLineMeasure> MeasureTextLines(const TextLayer& layer, double seconds);

// The characters of `markup` (the text itself for a layer without markup, else what the markup
// draws) that the layer's font cannot draw, which show as boxes, in the order they first appear
// (line breaks aside).
std::vector<char32_t> MissingCharacters(const TextLayer& layer, const std::string& markup);

// Draws the layer as it looks at a time into a caller's buffer of `height` rows of `width`
// pixels, `rowbytes` apart: the outlines filled with antialiasing in the layer's colour,
// premultiplied, transparent elsewhere. Returns false, leaving the buffer untouched, for a
// size that cairo cannot draw or rows shorter than `width` pixels.
// With `area`, the buffer holds only that part of the layer (its rows as wide as the area):
// the same pixels there as drawing the whole layer gives.
bool RenderLayerPixels(const TextLayer& layer, double seconds, int width, int height,
                       PF_Pixel* pixels, long rowbytes, const PF_Rect* area = nullptr);

// The part of a width x height layer that drawing it at a time may touch; outside it the
// layer is transparent. Empty (zero width or height) when it draws nothing.
PF_Rect LayerInkReach(const TextLayer& layer, double seconds, int width, int height);

}  // namespace quorvel::headless
