// SPDX-License-Identifier: MIT
#include "headless/text/text_outlines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "headless/common/cairo_handles.h"
#include "headless/common/interruption.h"
#include "headless/common/sanitizers.h"
#include "headless/text/freetype_text.h"
#include "headless/text/layout_cache.h"
#include "headless/text/markup.h"
#include "headless/text/outline_path.h"
#include "headless/text/text_block.h"
#include "headless/text/utf8.h"
#if QUORVEL_HAVE_PANGO
#include "headless/text/pango_text.h"
#endif

// fontconfig keeps the pointers inside its patterns as offsets, which the leak checker cannot
// follow, and pango starts it on a thread of its own, with synchronisation that the thread
// checker cannot see into (the library is not instrumented). Both would report fontconfig's
// own doings as faults of any program that lays out text.
#ifdef QUORVEL_ADDRESS_SANITIZER
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif
#ifdef QUORVEL_THREAD_SANITIZER
extern "C" const char* __tsan_default_suppressions() {
  return "race:libfontconfig.so\n";
}
#endif

namespace quorvel::headless {
namespace {

// Markup and paragraph widths go through the block layout; other layers keep the layout they
// always had, so that their frames stay as they were.
bool UsesBlockLayout(const TextLayer& layer) {
  return layer.markup || layer.width > 0;
}

void WithShaper(const TextLayer& layer, const std::function<void(TextShaper&)>& use) {
#if QUORVEL_HAVE_PANGO
  if (ActiveTextBackend() == TextBackend::kPango) {
    WithPangoShaper(layer, use);
    return;
  }
#endif
  WithFreeTypeShaper(layer, use);
}

StyledText StyledTextOf(const TextLayer& layer, const std::string& text) {
  return layer.markup ? ParseMarkup(text) : Unstyled(DecodeUtf8(text));
}

// The lines of a block as one: outlines end to end, colour spans moved along with them.
LaidOutLine Joined(const LaidOutText& lines) {
  LaidOutLine whole;
  bool colored = false;
  for (const LaidOutLine& line : lines) {
    const size_t offset = whole.outlines.size();
    whole.outlines.insert(whole.outlines.end(), line.outlines.begin(), line.outlines.end());
    if (line.colors.empty()) {
      whole.colors.push_back(ColorSpan{whole.outlines.size(), std::nullopt});
      continue;
    }
    colored = true;
    for (const ColorSpan& span : line.colors) {
      whole.colors.push_back(ColorSpan{offset + span.end, span.color});
    }
  }
  if (!colored) whole.colors.clear();
  return whole;
}

// Everything a layout depends on, as bytes: two layers with the same key lay out the same
// outlines.
std::string LayoutKey(const TextLayer& layer, const std::string& text, Point2 position,
                      bool line_by_line) {
  std::string key;
  const auto add_bytes = [&key](const void* value, size_t size) {
    key.append(static_cast<const char*>(value), size);
  };
  const auto add_text = [&](const std::string& value) {
    const size_t size = value.size();
    add_bytes(&size, sizeof size);
    key += value;
  };
  const auto add_number = [&](double value) { add_bytes(&value, sizeof value); };
  const bool pango = ActiveTextBackend() == TextBackend::kPango;
  key += pango ? 'p' : 'f';
  if (!pango) add_text(FreeTypeFontDirectory());  // where a family's file is looked for
  key += line_by_line ? 'l' : 'w';
  key += static_cast<char>(layer.alignment);
  key += layer.markup ? 'm' : 't';
  key += layer.balanced ? 'b' : 'g';
  for (const double number : {layer.font_size, layer.anchor.x, layer.anchor.y, position.x,
                              position.y, layer.width, layer.color.alpha / 1.0}) {
    add_number(number);
  }
  for (const std::string* value : {&layer.font_family, &layer.font_style, &layer.font_file}) {
    add_text(*value);
  }
  add_text(text);
  return key;
}

// The text's outlines, whole, or line by line for a layer that shows one line: laid out once
// for all the layers and instants that ask for the same layout.
std::shared_ptr<const LaidOutText> LaidOut(const TextLayer& layer, const std::string& text,
                                           Point2 position) {
  const bool line_by_line = layer.shown_line.has_value();
  return CachedLayout(
      LayoutKey(layer, text, position, line_by_line), [&](bool& keep) -> LaidOutText {
        if (UsesBlockLayout(layer)) {
          const StyledText styled = StyledTextOf(layer, text);
          LaidOutText lines;
          WithShaper(layer, [&](TextShaper& shaper) {
            lines = LayOutBlock(shaper, layer, styled, position, keep);
          });
          if (line_by_line || lines.empty()) return lines;
          return LaidOutText{Joined(lines)};
        }
        const CairoSurfacePtr surface(cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr));
        const CairoPtr cairo(cairo_create(surface.get()));
        LaidOutText lines;
        std::function<void()> end_of_line;
        if (line_by_line) end_of_line = [&] { lines.push_back({TakePath(cairo.get()), {}}); };
#if QUORVEL_HAVE_PANGO
        if (ActiveTextBackend() == TextBackend::kPango) {
          AppendPangoTextPath(cairo.get(), layer, text, position, end_of_line);
        } else if (!AppendFreeTypeTextPath(cairo.get(), layer, text, position, end_of_line)) {
          return {};
        }
#else
        if (!AppendFreeTypeTextPath(cairo.get(), layer, text, position, end_of_line)) return {};
#endif
        keep = !InterruptionRequested();
        if (!line_by_line) lines.push_back({TakePath(cairo.get()), {}});
        return lines;
      });
}

double Unit(A_u_char channel) {
  return channel / 255.0;
}

LaidOutLine GlyphOutlines(const TextLayer& layer, const std::string& text, Point2 position) {
  if (text.empty() || !(layer.font_size > 0 && layer.font_size <= kMaxFontSize)) return {};
  const std::shared_ptr<const LaidOutText> lines = LaidOut(layer, text, position);
  const size_t shown = layer.shown_line ? static_cast<size_t>(std::max(*layer.shown_line, 0)) : 0;
  return shown < lines->size() ? (*lines)[shown] : LaidOutLine{};
}

// The layer's outlines at a time with the colours of their runs.
LaidOutLine LaidOutAt(const TextLayer& layer, double seconds) {
  if (layer.explicit_outlines) return {Interpolate(*layer.explicit_outlines, seconds), {}};
  return GlyphOutlines(layer, Interpolate(layer.text, seconds),
                       Interpolate(layer.position, seconds));
}

void SetSource(cairo_t* cairo, const PF_Pixel& color) {
  cairo_set_source_rgba(cairo, Unit(color.red), Unit(color.green), Unit(color.blue),
                        Unit(color.alpha));
}

// Only the pixels the outlines can reach are drawn: a curve lies within its control points, and
// a pixel more each way holds the antialiased edge. Whole-pixel offsets leave cairo's coverage
// exactly what it is on a surface of the whole layer.
PF_Rect InkReach(const TextOutlines& outlines, int width, int height) {
  double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
  for (const TextOutline& outline : outlines) {
    for (const PF_PathVertex& v : outline.vertices) {
      for (const auto& [x, y] : {std::pair{v.x, v.y}, std::pair{v.x + v.tan_in_x, v.y + v.tan_in_y},
                                 std::pair{v.x + v.tan_out_x, v.y + v.tan_out_y}}) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  const auto clamp = [](double value, int high) {
    return static_cast<A_long>(std::clamp(value, 0.0, static_cast<double>(high)));
  };
  PF_Rect reach{};
  reach.left = std::isfinite(left) ? clamp(std::floor(left) - 1, width) : 0;
  reach.right = std::isfinite(right) ? clamp(std::ceil(right) + 1, width) : 0;
  reach.top = std::isfinite(top) ? clamp(std::floor(top) - 1, height) : 0;
  reach.bottom = std::isfinite(bottom) ? clamp(std::ceil(bottom) + 1, height) : 0;
  return reach;
}

}  // namespace

FontFileFace LoadFontFile(const std::string& path) {
  FontFileFace face;
  std::string style_name;
  if (!FreeTypeFaceNames(path, face.family, style_name)) {
    face.error = "not a font file that can be read (.ttf, .otf or .ttc)";
    return face;
  }
#if QUORVEL_HAVE_PANGO
  if (ActiveTextBackend() == TextBackend::kPango) return RegisterWithFontconfig(path, face);
#endif
  return face;
}

std::vector<char32_t> MissingCharacters(const TextLayer& layer, const std::string& markup) {
  // Of markup, only what is drawn: tags and references are not characters of the text.
  const std::string text = layer.markup ? EncodeUtf8(ParseMarkup(markup).text) : markup;
#if QUORVEL_HAVE_PANGO
  if (ActiveTextBackend() == TextBackend::kPango) return PangoMissingCharacters(layer, text);
#endif
  return FreeTypeMissingCharacters(layer, text);
}

TextOutlines TextOutlinesAt(const TextLayer& layer, double seconds) {
  return LaidOutAt(layer, seconds).outlines;
}

std::vector<TextLineMeasure> MeasureTextLines(const TextLayer& layer, double seconds) {
  std::vector<TextLineMeasure> measures;
  if (!(layer.font_size > 0 && layer.font_size <= kMaxFontSize)) return measures;
  const StyledText styled = StyledTextOf(layer, Interpolate(layer.text, seconds));
  WithShaper(layer, [&](TextShaper& shaper) {
    for (const MeasuredLine& measured : MeasureBlock(shaper, layer, styled)) {
      measures.push_back(TextLineMeasure{EncodeUtf8(measured.line.text.text), measured.width,
                                         measured.height, measured.line.overflows});
    }
  });
  return measures;
}

PF_Rect LayerInkReach(const TextLayer& layer, double seconds, int width, int height) {
  return InkReach(TextOutlinesAt(layer, seconds), width, height);
}

bool RenderLayerPixels(const TextLayer& layer, double seconds, int width, int height,
                       PF_Pixel* pixels, long rowbytes, const PF_Rect* area) {
  if (pixels == nullptr || width <= 0 || height <= 0) return false;
  const PF_Rect buffer = area != nullptr ? *area : PF_Rect{0, 0, width, height};
  const int buffer_width = buffer.right - buffer.left;
  const int buffer_height = buffer.bottom - buffer.top;
  if (buffer.left < 0 || buffer.top < 0 || buffer.right > width || buffer.bottom > height ||
      buffer_width <= 0 || buffer_height <= 0) {
    return false;
  }
  if (rowbytes / static_cast<long>(sizeof(PF_Pixel)) < buffer_width) return false;

  const LaidOutLine laid_out = LaidOutAt(layer, seconds);
  const TextOutlines& outlines = laid_out.outlines;
  const PF_Rect reach = InkReach(outlines, width, height);
  // In the layer's pixels, what is drawn: the reach within the buffer.
  const int x0 = std::clamp<int>(reach.left, buffer.left, buffer.right);
  const int x1 = std::clamp<int>(reach.right, x0, buffer.right);
  const int y0 = std::clamp<int>(reach.top, buffer.top, buffer.bottom);
  const int y1 = std::clamp<int>(reach.bottom, y0, buffer.bottom);

  CairoSurfacePtr surface;
  if (x1 > x0 && y1 > y0) {
    surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    const CairoPtr cairo(cairo_create(surface.get()));
    cairo_translate(cairo.get(), -x0, -y0);
    cairo_set_fill_rule(cairo.get(), CAIRO_FILL_RULE_WINDING);
    if (laid_out.colors.empty()) {
      for (const TextOutline& outline : outlines) AppendOutline(cairo.get(), outline);
      SetSource(cairo.get(), layer.color);
      cairo_fill(cairo.get());
    }
    // Runs of their own colour: each span filled apart, in order.
    size_t start = 0;
    for (const ColorSpan& span : laid_out.colors) {
      for (size_t i = start; i < span.end && i < outlines.size(); ++i) {
        AppendOutline(cairo.get(), outlines[i]);
      }
      start = span.end;
      SetSource(cairo.get(), span.color.value_or(layer.color));
      cairo_fill(cairo.get());
    }
    cairo_surface_flush(surface.get());
  }

  // Cairo keeps each pixel as one native 32-bit word, alpha in the top byte, premultiplied
  // like the host's worlds; the host's pixels are the bytes alpha, red, green, blue. What the
  // outlines cannot reach is transparent.
  auto* destination = reinterpret_cast<unsigned char*>(pixels);
  for (int y = buffer.top; y < buffer.bottom; ++y) {
    auto* row = reinterpret_cast<PF_Pixel*>(destination +
                                            static_cast<ptrdiff_t>(y - buffer.top) * rowbytes) -
                buffer.left;
    if (surface == nullptr || y < y0 || y >= y1) {
      std::memset(row + buffer.left, 0, static_cast<size_t>(buffer_width) * sizeof(PF_Pixel));
      continue;
    }
    std::memset(row + buffer.left, 0, static_cast<size_t>(x0 - buffer.left) * sizeof(PF_Pixel));
    std::memset(row + x1, 0, static_cast<size_t>(buffer.right - x1) * sizeof(PF_Pixel));
    const unsigned char* source =
        cairo_image_surface_get_data(surface.get()) +
        static_cast<ptrdiff_t>(y - y0) * cairo_image_surface_get_stride(surface.get());
    for (int x = x0; x < x1; ++x) {
      uint32_t word;
      std::memcpy(&word, source + static_cast<ptrdiff_t>(x - x0) * 4, sizeof(word));
      row[x] =
          PF_Pixel{static_cast<A_u_char>(word >> 24), static_cast<A_u_char>((word >> 16) & 0xFF),
                   static_cast<A_u_char>((word >> 8) & 0xFF), static_cast<A_u_char>(word & 0xFF)};
    }
  }
  return true;
}

}  // namespace quorvel::headless
