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

// A layout of the text in the layer's font and alignment, with outlines at their true size and
// place: no hinting, no snapping of metrics or positions. To be used under PangoLock().
PangoLayoutPtr PangoTextLayout(const TextLayer& layer, const std::string& text) {
  const GStringPtr utf8 = ValidUtf8(text);
  const PangoContextPtr context(pango_font_map_create_context(SharedFontMap()));
  const CairoFontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context.get(), options.get());
  pango_context_set_round_glyph_positions(context.get(), FALSE);

  PangoLayoutPtr layout(pango_layout_new(context.get()));
  // The style words alone parse into style, weight and stretch; the family is set apart so
  // that a family name is never read as style words.
  const PangoFontDescriptionPtr font(pango_font_description_from_string(layer.font_style.c_str()));
  pango_font_description_set_family(font.get(), layer.font_family.c_str());
  // The bound on the size keeps size × PANGO_SCALE inside an int.
  pango_font_description_set_absolute_size(font.get(), layer.font_size * PANGO_SCALE);
  pango_layout_set_font_description(layout.get(), font.get());
  pango_layout_set_alignment(layout.get(), ToPango(layer.alignment));
  pango_layout_set_text(layout.get(), utf8.get(), -1);
  return layout;
}

bool HasRightToLeftLine(PangoLayout* layout) {
  for (GSList* line = pango_layout_get_lines_readonly(layout); line != nullptr; line = line->next) {
    if (pango_layout_line_get_resolved_direction(static_cast<PangoLayoutLine*>(line->data)) ==
        PANGO_DIRECTION_RTL) {
      return true;
    }
  }
  return false;
}

// Line by line, as pango_cairo_layout_path places them, for a layer that shows one line only
// (`end_of_line` then takes each line's path); and because pango mirrors the alignment of a
// right-to-left line, where After Effects' alignment names the edge every line keeps: with such
// lines (`physical`), each line is placed by that edge. A stop ends it early.
void AppendLineByLine(cairo_t* cairo, PangoLayout* layout, const TextLayer& layer, Point2 origin,
                      bool physical, const std::function<void()>& end_of_line) {
  PangoRectangle whole;
  pango_layout_get_extents(layout, nullptr, &whole);
  using IterPtr = Owned<PangoLayoutIter, pango_layout_iter_free>;
  const IterPtr iter(pango_layout_get_iter(layout));
  do {
    if (InterruptionRequested()) return;
    PangoRectangle line_extent;
    pango_layout_iter_get_line_extents(iter.get(), nullptr, &line_extent);
    double x = line_extent.x;
    if (physical) {
      const double free_space = static_cast<double>(whole.width - line_extent.width);
      x = whole.x;
      if (layer.alignment == TextAlignment::kCenter) x += free_space / 2;
      if (layer.alignment == TextAlignment::kRight) x += free_space;
    }
    const double baseline = pango_layout_iter_get_baseline(iter.get());
    cairo_move_to(cairo, origin.x + x / PANGO_SCALE, origin.y + baseline / PANGO_SCALE);
    pango_cairo_layout_line_path(cairo, pango_layout_iter_get_line_readonly(iter.get()));
    if (end_of_line) end_of_line();
  } while (pango_layout_iter_next_line(iter.get()));
}

void AppendPangoTextPath(cairo_t* cairo, const TextLayer& layer, const std::string& text,
                         Point2 position, const std::function<void()>& end_of_line) {
  std::lock_guard<std::mutex> lock(PangoLock());
  const PangoLayoutPtr layout = PangoTextLayout(layer, text);
  Point2 origin = position;
  if (layer.anchor.x != 0 || layer.anchor.y != 0) {
    PangoRectangle block;
    pango_layout_get_extents(layout.get(), nullptr, &block);
    origin.x -= layer.anchor.x * static_cast<double>(block.width) / PANGO_SCALE;
    origin.y -= layer.anchor.y * static_cast<double>(block.height) / PANGO_SCALE;
  }
  const bool physical = HasRightToLeftLine(layout.get());
  if (physical || end_of_line) {
    AppendLineByLine(cairo, layout.get(), layer, origin, physical, end_of_line);
    return;
  }
  cairo_move_to(cairo, origin.x, origin.y);
  pango_cairo_layout_path(cairo, layout.get());
}

// The characters drawn as boxes because no font has them, in the order they first appear.
std::vector<char32_t> PangoMissingCharacters(const TextLayer& layer, const std::string& text) {
  std::lock_guard<std::mutex> lock(PangoLock());
  const PangoLayoutPtr layout = PangoTextLayout(layer, text);
  std::vector<char32_t> missing;
  if (pango_layout_get_unknown_glyphs_count(layout.get()) == 0) return missing;
  for (GSList* line = pango_layout_get_lines_readonly(layout.get()); line != nullptr;
       line = line->next) {
    for (GSList* run = static_cast<PangoLayoutLine*>(line->data)->runs; run != nullptr;
         run = run->next) {
      const PangoGlyphString* glyphs = static_cast<PangoGlyphItem*>(run->data)->glyphs;
      for (int i = 0; i < glyphs->num_glyphs; ++i) {
        const PangoGlyph glyph = glyphs->glyphs[i].glyph;
        if ((glyph & PANGO_GLYPH_UNKNOWN_FLAG) == 0) continue;
        const auto code_point = static_cast<char32_t>(glyph & ~PANGO_GLYPH_UNKNOWN_FLAG);
        if (std::find(missing.begin(), missing.end(), code_point) == missing.end()) {
          missing.push_back(code_point);
        }
      }
    }
  }
  return missing;
}
#endif

// The path drawn so far as outlines; the path is emptied for what comes next.
TextOutlines TakePath(cairo_t* cairo) {
  const CairoPathPtr path(cairo_copy_path(cairo));
  cairo_new_path(cairo);
  if (path == nullptr || path->status != CAIRO_STATUS_SUCCESS) return {};
  return ToOutlines(*path);
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
  for (const double number :
       {layer.font_size, layer.anchor.x, layer.anchor.y, position.x, position.y}) {
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
        const CairoSurfacePtr surface(cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr));
        const CairoPtr cairo(cairo_create(surface.get()));
        LaidOutText lines;
        std::function<void()> end_of_line;
        if (line_by_line) end_of_line = [&] { lines.push_back(TakePath(cairo.get())); };
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
        if (!line_by_line) lines.push_back(TakePath(cairo.get()));
        return lines;
      });
}

TextOutlines GlyphOutlines(const TextLayer& layer, const std::string& text, Point2 position) {
  if (text.empty() || !(layer.font_size > 0 && layer.font_size <= kMaxFontSize)) return {};
  const std::shared_ptr<const LaidOutText> lines = LaidOut(layer, text, position);
  const size_t shown = layer.shown_line ? static_cast<size_t>(std::max(*layer.shown_line, 0)) : 0;
  return shown < lines->size() ? (*lines)[shown] : TextOutlines{};
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

#if QUORVEL_HAVE_PANGO
// fontconfig takes the file for this process only; pango finds the face by fontconfig's family
// and by style words made from the file's own weight, slant and width.
FontFileFace RegisterWithFontconfig(const std::string& path, FontFileFace face) {
  std::lock_guard<std::mutex> lock(PangoLock());
  const auto* file = reinterpret_cast<const FcChar8*>(path.c_str());
  int faces = 0;
  const FcPatternPtr pattern(FcFreeTypeQuery(file, 0, nullptr, &faces));
  FcChar8* family = nullptr;
  if (pattern == nullptr ||
      FcPatternGetString(pattern.get(), FC_FAMILY, 0, &family) != FcResultMatch ||
      FcConfigAppFontAddFile(nullptr, file) == FcFalse) {
    face.error = "fontconfig cannot read it as a font";
    return face;
  }
  face.family = reinterpret_cast<const char*>(family);
  const PangoFontDescriptionPtr description(
      pango_fc_font_description_from_pattern(pattern.get(), FALSE));
  pango_font_description_unset_fields(description.get(), PANGO_FONT_MASK_FAMILY);
  const GStringPtr words(pango_font_description_to_string(description.get()));
  face.style = std::string(words.get()) == "Normal" ? "" : words.get();
  pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(SharedFontMap()));
  return face;
}
#endif

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

std::vector<char32_t> MissingCharacters(const TextLayer& layer, const std::string& text) {
#if QUORVEL_HAVE_PANGO
  if (ActiveTextBackend() == TextBackend::kPango) return PangoMissingCharacters(layer, text);
#endif
  return FreeTypeMissingCharacters(layer, text);
}

TextOutlines TextOutlinesAt(const TextLayer& layer, double seconds) {
  if (layer.explicit_outlines) return Interpolate(*layer.explicit_outlines, seconds);
  return GlyphOutlines(layer, Interpolate(layer.text, seconds),
                       Interpolate(layer.position, seconds));
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

  const TextOutlines outlines = TextOutlinesAt(layer, seconds);
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
    for (const TextOutline& outline : outlines) AppendOutline(cairo.get(), outline);
    const PF_Pixel& color = layer.color;
    cairo_set_source_rgba(cairo.get(), Unit(color.red), Unit(color.green), Unit(color.blue),
                          Unit(color.alpha));
    cairo_set_fill_rule(cairo.get(), CAIRO_FILL_RULE_WINDING);
    cairo_fill(cairo.get());
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
