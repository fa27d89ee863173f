// SPDX-License-Identifier: MIT
#include "headless/text/text_outlines.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "headless/common/cairo_handles.h"
#include "headless/common/sanitizers.h"
#include "headless/text/freetype_text.h"
#if QUORVEL_HAVE_PANGO
#include "headless/common/pango_handles.h"
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

#if QUORVEL_HAVE_PANGO
// Pango objects are not safe to share between threads, and frames render on several threads
// at once; one font map, touched only under this lock, keeps fonts loaded between calls.
std::mutex& PangoLock() {
  static std::mutex lock;
  return lock;
}

PangoFontMap* SharedFontMap() {
  static PangoFontMap* const font_map = pango_cairo_font_map_new();
  return font_map;
}

PangoAlignment ToPango(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::kCenter:
      return PANGO_ALIGN_CENTER;
    case TextAlignment::kRight:
      return PANGO_ALIGN_RIGHT;
    case TextAlignment::kLeft:
      break;
  }
  return PANGO_ALIGN_LEFT;
}
#endif

// Turns cairo path elements into outlines: each vertex keeps its curve's control points as
// tangent offsets, and a closed contour that ends back on its first point shares that vertex.
class OutlineBuilder {
 public:
  void MoveTo(double x, double y) {
    Finish(false);
    start_ = Vertex(x, y);
    current_.push_back(start_);
  }
  void LineTo(double x, double y) {
    StartIfNeeded();
    current_.push_back(Vertex(x, y));
  }
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
    StartIfNeeded();
    PF_PathVertex& from = current_.back();
    from.tan_out_x = x1 - from.x;
    from.tan_out_y = y1 - from.y;
    PF_PathVertex to = Vertex(x3, y3);
    to.tan_in_x = x2 - x3;
    to.tan_in_y = y2 - y3;
    current_.push_back(to);
  }
  void Close() { Finish(true); }

  TextOutlines Take() {
    Finish(false);
    return std::move(outlines_);
  }

 private:
  static PF_PathVertex Vertex(double x, double y) { return PF_PathVertex{x, y, 0, 0, 0, 0}; }

  // A segment right after a close starts where the closed contour started, as in cairo.
  void StartIfNeeded() {
    if (current_.empty()) current_.push_back(start_);
  }

  void Finish(bool closed) {
    if (closed && current_.size() > 1) {
      const PF_PathVertex& last = current_.back();
      PF_PathVertex& first = current_.front();
      if (last.x == first.x && last.y == first.y) {
        first.tan_in_x = last.tan_in_x;
        first.tan_in_y = last.tan_in_y;
        current_.pop_back();
      }
    }
    // A lone point encloses nothing and has no segment to walk.
    if (current_.size() > 1) outlines_.push_back(TextOutline{std::move(current_), closed});
    current_.clear();
  }

  PF_PathVertex start_ = Vertex(0, 0);
  std::vector<PF_PathVertex> current_;
  TextOutlines outlines_;
};

TextOutlines ToOutlines(const cairo_path_t& path) {
  OutlineBuilder builder;
  for (int i = 0; i < path.num_data; i += path.data[i].header.length) {
    const cairo_path_data_t* data = &path.data[i];
    switch (data->header.type) {
      case CAIRO_PATH_MOVE_TO:
        builder.MoveTo(data[1].point.x, data[1].point.y);
        break;
      case CAIRO_PATH_LINE_TO:
        builder.LineTo(data[1].point.x, data[1].point.y);
        break;
      case CAIRO_PATH_CURVE_TO:
        builder.CurveTo(data[1].point.x, data[1].point.y, data[2].point.x, data[2].point.y,
                        data[3].point.x, data[3].point.y);
        break;
      case CAIRO_PATH_CLOSE_PATH:
        builder.Close();
        break;
    }
    if (data->header.length <= 0) break;
  }
  return builder.Take();
}

#if QUORVEL_HAVE_PANGO
// Invalid UTF-8 would make pango cut the text at the first bad byte; replace such bytes.
GStringPtr ValidUtf8(const std::string& text) {
  return GStringPtr(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
}

void AppendPangoTextPath(cairo_t* cairo, const TextLayer& layer, const std::string& text,
                         Point2 origin) {
  const GStringPtr utf8 = ValidUtf8(text);

  std::lock_guard<std::mutex> lock(PangoLock());
  const PangoContextPtr context(pango_font_map_create_context(SharedFontMap()));
  // Outlines at their true size and place: no hinting, no snapping of metrics or positions.
  const CairoFontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context.get(), options.get());
  pango_context_set_round_glyph_positions(context.get(), FALSE);

  const PangoLayoutPtr layout(pango_layout_new(context.get()));
  // The style words alone parse into style, weight and stretch; the family is set apart so
  // that a family name is never read as style words.
  const PangoFontDescriptionPtr font(pango_font_description_from_string(layer.font_style.c_str()));
  pango_font_description_set_family(font.get(), layer.font_family.c_str());
  // The bound on the size keeps size × PANGO_SCALE inside an int.
  pango_font_description_set_absolute_size(font.get(), layer.font_size * PANGO_SCALE);
  pango_layout_set_font_description(layout.get(), font.get());
  pango_layout_set_alignment(layout.get(), ToPango(layer.alignment));
  pango_layout_set_text(layout.get(), utf8.get(), -1);

  cairo_move_to(cairo, origin.x, origin.y);
  pango_cairo_layout_path(cairo, layout.get());
}
#endif

TextOutlines GlyphOutlines(const TextLayer& layer, const std::string& text, Point2 origin) {
  if (text.empty() || !(layer.font_size > 0 && layer.font_size <= kMaxFontSize)) return {};
  const CairoSurfacePtr surface(cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr));
  const CairoPtr cairo(cairo_create(surface.get()));
#if QUORVEL_HAVE_PANGO
  if (ActiveTextBackend() == TextBackend::kPango) {
    AppendPangoTextPath(cairo.get(), layer, text, origin);
  } else if (!AppendFreeTypeTextPath(cairo.get(), layer, text, origin)) {
    return {};
  }
#else
  if (!AppendFreeTypeTextPath(cairo.get(), layer, text, origin)) return {};
#endif
  const CairoPathPtr path(cairo_copy_path(cairo.get()));
  if (path == nullptr || path->status != CAIRO_STATUS_SUCCESS) return {};
  return ToOutlines(*path);
}

bool IsFinite(const PF_PathVertex& vertex) {
  return std::isfinite(vertex.x) && std::isfinite(vertex.y) && std::isfinite(vertex.tan_in_x) &&
         std::isfinite(vertex.tan_in_y) && std::isfinite(vertex.tan_out_x) &&
         std::isfinite(vertex.tan_out_y);
}

// A segment whose two tangents are zero is a straight line, any other a cubic Bézier curve.
void AppendSegment(cairo_t* cairo, const PF_PathVertex& from, const PF_PathVertex& to) {
  const bool straight =
      from.tan_out_x == 0 && from.tan_out_y == 0 && to.tan_in_x == 0 && to.tan_in_y == 0;
  if (straight) {
    cairo_line_to(cairo, to.x, to.y);
  } else {
    cairo_curve_to(cairo, from.x + from.tan_out_x, from.y + from.tan_out_y, to.x + to.tan_in_x,
                   to.y + to.tan_in_y, to.x, to.y);
  }
}

void AppendOutline(cairo_t* cairo, const TextOutline& outline) {
  const std::vector<PF_PathVertex>& vertices = outline.vertices;
  if (vertices.empty()) return;
  for (const PF_PathVertex& vertex : vertices) {
    if (!IsFinite(vertex)) return;
  }
  cairo_move_to(cairo, vertices[0].x, vertices[0].y);
  for (size_t i = 1; i < vertices.size(); ++i) AppendSegment(cairo, vertices[i - 1], vertices[i]);
  if (outline.closed) {
    AppendSegment(cairo, vertices.back(), vertices[0]);
    cairo_close_path(cairo);
  }
}

double Unit(A_u_char channel) {
  return channel / 255.0;
}

}  // namespace

TextOutlines TextOutlinesAt(const TextLayer& layer, double seconds) {
  if (layer.explicit_outlines) return Interpolate(*layer.explicit_outlines, seconds);
  return GlyphOutlines(layer, Interpolate(layer.text, seconds),
                       Interpolate(layer.position, seconds));
}

bool RenderLayerPixels(const TextLayer& layer, double seconds, int width, int height,
                       PF_Pixel* pixels, long rowbytes) {
  if (pixels == nullptr || width <= 0 || height <= 0) return false;
  if (rowbytes / static_cast<long>(sizeof(PF_Pixel)) < width) return false;

  const CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  {
    const CairoPtr cairo(cairo_create(surface.get()));
    for (const TextOutline& outline : TextOutlinesAt(layer, seconds)) {
      AppendOutline(cairo.get(), outline);
    }
    const PF_Pixel& color = layer.color;
    cairo_set_source_rgba(cairo.get(), Unit(color.red), Unit(color.green), Unit(color.blue),
                          Unit(color.alpha));
    cairo_set_fill_rule(cairo.get(), CAIRO_FILL_RULE_WINDING);
    cairo_fill(cairo.get());
  }
  cairo_surface_flush(surface.get());

  // Cairo keeps each pixel as one native 32-bit word, alpha in the top byte, premultiplied
  // like the host's worlds; the host's pixels are the bytes alpha, red, green, blue.
  const unsigned char* source = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  auto* destination = reinterpret_cast<unsigned char*>(pixels);
  for (int y = 0; y < height; ++y) {
    const unsigned char* source_row = source + static_cast<ptrdiff_t>(y) * stride;
    auto* destination_row =
        reinterpret_cast<PF_Pixel*>(destination + static_cast<ptrdiff_t>(y) * rowbytes);
    for (int x = 0; x < width; ++x) {
      uint32_t word;
      std::memcpy(&word, source_row + static_cast<ptrdiff_t>(x) * 4, sizeof(word));
      destination_row[x] =
          PF_Pixel{static_cast<A_u_char>(word >> 24), static_cast<A_u_char>((word >> 16) & 0xFF),
                   static_cast<A_u_char>((word >> 8) & 0xFF), static_cast<A_u_char>(word & 0xFF)};
    }
  }
  return true;
}

}  // namespace quorvel::headless
