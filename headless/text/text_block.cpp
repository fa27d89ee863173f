// SPDX-License-Identifier: MIT
#include "headless/text/text_block.h"

#include <cairo.h>
#include <fribidi.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "headless/common/cairo_handles.h"
#include "headless/common/interruption.h"
#include "headless/text/line_breaking.h"
#include "headless/text/outline_path.h"

namespace quorvel::headless {
namespace {

bool IsLineBreak(char32_t code_point) {
  return code_point == U'\n' || code_point == U'\r' || code_point == 0x0B || code_point == 0x0C ||
         code_point == 0x85 || code_point == 0x2028 || code_point == 0x2029;
}

// The direction of the first strong character, if there is one.
std::optional<bool> StrongDirection(const std::u32string& text) {
  if (text.empty()) return std::nullopt;
  const std::vector<FriBidiChar> characters(text.begin(), text.end());
  std::vector<FriBidiCharType> types(text.size());
  const auto length = static_cast<FriBidiStrIndex>(text.size());
  fribidi_get_bidi_types(characters.data(), length, types.data());
  const FriBidiParType direction = fribidi_get_par_direction(types.data(), length);
  if (direction == FRIBIDI_PAR_RTL) return true;
  if (direction == FRIBIDI_PAR_LTR) return false;
  return std::nullopt;
}

// Twice the signed area of an outline's polygon of vertices: positive when it turns as
// cairo_rectangle does in layer pixels (y down).
double TwiceSignedArea(const TextOutline& outline) {
  double sum = 0;
  const std::vector<PF_PathVertex>& v = outline.vertices;
  for (size_t i = 0; i < v.size(); ++i) {
    const PF_PathVertex& next = v[(i + 1) % v.size()];
    sum += v[i].x * next.y - next.x * v[i].y;
  }
  return sum;
}

// A decoration as a closed outline that turns as the run's outer contours do (the largest), so
// that where it crosses a glyph the winding adds up instead of cancelling into a hole. TrueType
// and CFF fonts turn their contours opposite ways; without glyphs, TrueType's way.
TextOutline DecorationOutline(const DecorationRectangle& r, const TextOutlines& run) {
  double largest = 0;
  for (const TextOutline& outline : run) {
    const double area = TwiceSignedArea(outline);
    if (std::abs(area) > std::abs(largest)) largest = area;
  }
  const double right = r.x + r.width;
  const double bottom = r.top + r.height;
  TextOutline outline;
  outline.vertices = {{r.x, r.top, 0, 0, 0, 0},
                      {right, r.top, 0, 0, 0, 0},
                      {right, bottom, 0, 0, 0, 0},
                      {r.x, bottom, 0, 0, 0, 0}};
  if (largest < 0) std::reverse(outline.vertices.begin() + 1, outline.vertices.end());
  return outline;
}

bool SameColor(const std::optional<PF_Pixel>& a, const std::optional<PF_Pixel>& b) {
  if (!a || !b) return !a && !b;
  return a->alpha == b->alpha && a->red == b->red && a->green == b->green && a->blue == b->blue;
}

}  // namespace

double AlignmentOffset(TextAlignment alignment, double room) {
  switch (alignment) {
    case TextAlignment::kCenter:
      return room / 2;
    case TextAlignment::kRight:
      return room;
    case TextAlignment::kLeft:
      break;
  }
  return 0;
}

DecorationRectangle Decoration(double left, double right, double baseline, double offset,
                               double thickness) {
  return DecorationRectangle{left, baseline - offset, right - left, thickness};
}

std::vector<BlockLine> BlockLines(TextShaper& shaper, const StyledText& text, double width,
                                  bool balanced) {
  std::vector<BlockLine> lines;
  bool right_to_left = false;
  size_t start = 0;
  for (size_t i = 0; i <= text.text.size(); ++i) {
    if (i < text.text.size() && !IsLineBreak(text.text[i])) continue;
    const StyledText paragraph = Slice(text, start, i);
    right_to_left = StrongDirection(paragraph.text).value_or(right_to_left);
    if (width > 0 && !paragraph.text.empty()) {
      const std::vector<double> advances = shaper.Advances(paragraph, right_to_left);
      for (const LineSpan& span : BreakParagraph(paragraph.text, advances, width, balanced)) {
        lines.push_back(
            BlockLine{Slice(paragraph, span.start, span.end), right_to_left, span.overflows});
      }
    } else {
      lines.push_back(BlockLine{paragraph, right_to_left, false});
    }
    if (i + 1 < text.text.size() && text.text[i] == U'\r' && text.text[i + 1] == U'\n') ++i;
    start = i + 1;
  }
  return lines;
}

std::vector<MeasuredLine> MeasureBlock(TextShaper& shaper, const TextLayer& layer,
                                       const StyledText& text) {
  std::vector<MeasuredLine> measured;
  for (BlockLine& line : BlockLines(shaper, text, layer.width, layer.balanced)) {
    const std::unique_ptr<ShapedLine> shaped = shaper.Shape(line);
    if (shaped == nullptr) return {};
    measured.push_back(
        MeasuredLine{std::move(line), shaped->width, shaped->ascent + shaped->descent});
  }
  return measured;
}

LaidOutText LayOutBlock(TextShaper& shaper, const TextLayer& layer, const StyledText& text,
                        Point2 position, bool& complete) {
  complete = true;
  std::vector<std::unique_ptr<ShapedLine>> shaped;
  double widest = 0;
  double height = 0;
  for (const BlockLine& line : BlockLines(shaper, text, layer.width, layer.balanced)) {
    shaped.push_back(shaper.Shape(line));
    if (shaped.back() == nullptr) return {};
    widest = std::max(widest, shaped.back()->width);
    height += shaped.back()->ascent + shaped.back()->descent;
  }
  const double box_width = layer.width > 0 ? layer.width : widest;
  const Point2 origin{position.x - layer.anchor.x * box_width,
                      position.y - layer.anchor.y * height};

  const CairoSurfacePtr surface(cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr));
  const CairoPtr cairo(cairo_create(surface.get()));
  LaidOutText lines;
  double top = origin.y;
  for (const std::unique_ptr<ShapedLine>& line : shaped) {
    if (InterruptionRequested()) {
      complete = false;
      break;
    }
    LaidOutLine laid;
    bool colored = false;
    const auto run_drawn = [&](const TextStyle& style,
                               const std::vector<DecorationRectangle>& decorations) {
      TextOutlines outlines = TakePath(cairo.get());
      for (const DecorationRectangle& decoration : decorations) {
        if (decoration.width > 0 && decoration.height > 0) {
          outlines.push_back(DecorationOutline(decoration, outlines));
        }
      }
      laid.outlines.insert(laid.outlines.end(), std::make_move_iterator(outlines.begin()),
                           std::make_move_iterator(outlines.end()));
      std::optional<PF_Pixel> color;
      if (style.color) {
        color =
            PF_Pixel{layer.color.alpha, style.color->red, style.color->green, style.color->blue};
        colored = true;
      }
      if (!laid.colors.empty() && SameColor(laid.colors.back().color, color)) {
        laid.colors.back().end = laid.outlines.size();
      } else {
        laid.colors.push_back(ColorSpan{laid.outlines.size(), color});
      }
    };
    const double x = origin.x + AlignmentOffset(layer.alignment, box_width - line->width);
    line->AppendPath(cairo.get(), x, top + line->ascent, run_drawn);
    if (!colored) laid.colors.clear();
    lines.push_back(std::move(laid));
    top += line->ascent + line->descent;
  }
  return lines;
}

}  // namespace quorvel::headless
