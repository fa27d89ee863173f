// SPDX-License-Identifier: MIT
// The layout of styled text and of paragraph text, shared by both text layers: each layer shapes
// and draws single lines (TextShaper), and this code decides everything else the same way for
// both: where paragraphs break for a width (from the layer's own advances), each paragraph's
// direction, how lines stack (by their tallest run, baselines aligned) and where each line sits
// for its alignment. Both layers then break a text at the same places and place its lines alike.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/text/layout_cache.h"
#include "headless/text/styled_text.h"

// As cairo.h declares it; the header needs no cairo include path of its users.
typedef struct _cairo cairo_t;  // NOLINT(bugprone-reserved-identifier): cairo's own tag

namespace quorvel::headless {

// One line of a block of text, as it is drawn.
struct BlockLine {
  StyledText text;             // without the spaces at a break
  bool right_to_left = false;  // the direction of its paragraph
  bool overflows = false;      // holds a piece wider than the layer's width
};

// How far a line with `room` to spare sits from the block's left edge for an alignment.
double AlignmentOffset(TextAlignment alignment, double room);

// An underline's or a strikethrough's rectangle, in layer pixels (y down).
struct DecorationRectangle {
  double x = 0;
  double top = 0;
  double width = 0;
  double height = 0;
};

// The rectangle of an underline or strikethrough across [left, right] of a run, from its font's
// offset of the rectangle's top above the baseline and its thickness, both in pixels.
DecorationRectangle Decoration(double left, double right, double baseline, double offset,
                               double thickness);

// Tells of one run drawn: its style, and its underline and strikethrough rectangles.
using RunDrawn = std::function<void(const TextStyle&, const std::vector<DecorationRectangle>&)>;

// A line shaped by a text layer: its glyphs placed, and its size in pixels.
class ShapedLine {
 public:
  virtual ~ShapedLine() = default;
  // Adds the line's glyph contours to cairo's path, the line's left end at x on the baseline, run
  // by run in visual order; after each run, `run_drawn` is told of it.
  virtual void AppendPath(cairo_t* cairo, double x, double baseline,
                          const RunDrawn& run_drawn) const = 0;

  double width = 0;    // the sum of its advances
  double ascent = 0;   // of its tallest font, above the baseline
  double descent = 0;  // of its deepest font, below the baseline
};

// A text layer's shaping, for the layer it was made for; used under that layer's lock.
class TextShaper {
 public:
  virtual ~TextShaper() = default;
  // Each code point's advance in pixels, the paragraph shaped as one line of that direction (a
  // cluster's advance shared among its code points).
  virtual std::vector<double> Advances(const StyledText& paragraph, bool right_to_left) = 0;
  // Nothing when the layer's font cannot be found.
  virtual std::unique_ptr<ShapedLine> Shape(const BlockLine& line) = 0;
};

// The lines of a text: one per line break ('\n', "\r\n", '\r', U+2028, U+2029 and the other
// mandatory breaks), and with a width more than 0 each paragraph broken to fit it (balanced or
// not). A paragraph's direction is that of its first strong character, or of the paragraph
// before when it has none.
std::vector<BlockLine> BlockLines(TextShaper& shaper, const StyledText& text, double width,
                                  bool balanced);

// The layer's text laid out, one entry per line: the block's anchor at `position`, the block as
// wide as the layer's width (or its widest line without one) and as tall as its lines, each line
// aligned within it by the edge the alignment names, whatever its direction. Runs with a colour
// of their own are drawn in it, at the alpha of the layer's colour. Empty when the layer's font
// cannot be found; `complete` is false when a stop cut it short.
LaidOutText LayOutBlock(TextShaper& shaper, const TextLayer& layer, const StyledText& text,
                        Point2 position, bool& complete);

// What LayOutBlock would draw, line by line: each line's text and size.
struct MeasuredLine {
  BlockLine line;
  double width = 0;
  double height = 0;
};
std::vector<MeasuredLine> MeasureBlock(TextShaper& shaper, const TextLayer& layer,
                                       const StyledText& text);

}  // namespace quorvel::headless
