// SPDX-License-Identifier: MIT
#include "headless/text/pango_text.h"

#if QUORVEL_HAVE_PANGO

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "headless/common/cairo_handles.h"
#include "headless/common/interruption.h"
#include "headless/common/pango_handles.h"
#include "headless/text/text_block.h"
#include "headless/text/utf8.h"

namespace quorvel::headless {
namespace {

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

// A context for layouts in the layer's font with outlines at their true size and place: no
// hinting, no snapping of metrics or positions. To be used under PangoLock().
PangoContextPtr UnhintedContext() {
  PangoContextPtr context(pango_font_map_create_context(SharedFontMap()));
  const CairoFontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context.get(), options.get());
  pango_context_set_round_glyph_positions(context.get(), FALSE);
  return context;
}

// Invalid UTF-8 would make pango cut the text at the first bad byte; replace such bytes.
GStringPtr ValidUtf8(const std::string& text) {
  return GStringPtr(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
}

PangoFontDescriptionPtr LayerFont(const TextLayer& layer) {
  // The style words alone parse into style, weight and stretch; the family is set apart so
  // that a family name is never read as style words.
  PangoFontDescriptionPtr font(pango_font_description_from_string(layer.font_style.c_str()));
  pango_font_description_set_family(font.get(), layer.font_family.c_str());
  // The bound on the size keeps size × PANGO_SCALE inside an int.
  pango_font_description_set_absolute_size(font.get(), layer.font_size * PANGO_SCALE);
  return font;
}

// A layout of the text in the layer's font and alignment, unhinted. To be used under PangoLock().
PangoLayoutPtr PangoTextLayout(const TextLayer& layer, const std::string& text) {
  const GStringPtr utf8 = ValidUtf8(text);
  const PangoContextPtr context = UnhintedContext();

  PangoLayoutPtr layout(pango_layout_new(context.get()));
  const PangoFontDescriptionPtr font = LayerFont(layer);
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

}  // namespace

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

namespace {

// Styled text as pango has it: UTF-8, and each code point's byte offset (one more for the end).
struct PangoText {
  std::string utf8;
  std::vector<size_t> offsets;

  explicit PangoText(const std::u32string& text) {
    for (const char32_t code_point : text) {
      offsets.push_back(utf8.size());
      AppendUtf8(code_point, utf8);
    }
    offsets.push_back(utf8.size());
  }
  // The code point that starts at a byte offset.
  size_t IndexAt(size_t offset) const {
    return static_cast<size_t>(std::lower_bound(offsets.begin(), offsets.end(), offset) -
                               offsets.begin());
  }
};

void ApplyToFont(const TextStyle& style, PangoFontDescription* font) {
  if (style.bold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
  if (style.italic) pango_font_description_set_style(font, PANGO_STYLE_ITALIC);
  if (!style.family.empty()) pango_font_description_set_family(font, style.family.c_str());
  if (style.size > 0) pango_font_description_set_absolute_size(font, style.size * PANGO_SCALE);
}

// One line of styled text, of a direction, in one layout. Every difference of style is an
// attribute, colours and lines too, so that pango's items end where the runs do.
PangoLayoutPtr StyledLayout(const TextLayer& layer, const StyledText& text, const PangoText& utf8,
                            bool right_to_left) {
  const PangoContextPtr context = UnhintedContext();
  pango_context_set_base_dir(context.get(),
                             right_to_left ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR);
  PangoLayoutPtr layout(pango_layout_new(context.get()));
  pango_layout_set_auto_dir(layout.get(), FALSE);
  const PangoFontDescriptionPtr font = LayerFont(layer);
  // An empty line takes its height from the font of the style where it stands.
  if (text.text.empty()) ApplyToFont(StyleAt(text, 0), font.get());
  pango_layout_set_font_description(layout.get(), font.get());

  const PangoAttrListPtr attributes(pango_attr_list_new());
  for (const StyledRun& run : text.runs) {
    const TextStyle& style = run.style;
    std::vector<PangoAttribute*> run_attributes;
    if (style.bold) run_attributes.push_back(pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    if (style.italic) run_attributes.push_back(pango_attr_style_new(PANGO_STYLE_ITALIC));
    if (!style.family.empty())
      run_attributes.push_back(pango_attr_family_new(style.family.c_str()));
    if (style.size > 0) {
      run_attributes.push_back(
          pango_attr_size_new_absolute(static_cast<int>(std::lround(style.size * PANGO_SCALE))));
    }
    if (style.underline) run_attributes.push_back(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (style.strikethrough) run_attributes.push_back(pango_attr_strikethrough_new(TRUE));
    // Its own item, so that its glyphs can be left out of the path (our paths are drawn by
    // us, so this alpha changes nothing on its own).
    if (style.phantom) run_attributes.push_back(pango_attr_foreground_alpha_new(1));
    if (style.color) {
      const auto channel = [](uint8_t value) { return static_cast<guint16>(value * 257); };
      run_attributes.push_back(pango_attr_foreground_new(
          channel(style.color->red), channel(style.color->green), channel(style.color->blue)));
    }
    for (PangoAttribute* attribute : run_attributes) {
      attribute->start_index = static_cast<guint>(utf8.offsets[run.start]);
      attribute->end_index = static_cast<guint>(utf8.offsets[run.end]);
      pango_attr_list_insert(attributes.get(), attribute);
    }
  }
  pango_layout_set_attributes(layout.get(), attributes.get());
  pango_layout_set_text(layout.get(), utf8.utf8.data(), static_cast<int>(utf8.utf8.size()));
  return layout;
}

double Pixels(int pango_units) {
  return static_cast<double>(pango_units) / PANGO_SCALE;
}

class PangoShapedLine : public ShapedLine {
 public:
  PangoLayoutPtr layout;
  std::vector<TextStyle> run_styles;  // of each of the line's runs, left to right

  void AppendPath(cairo_t* cairo, double x, double baseline,
                  const RunDrawn& run_drawn) const override {
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout.get(), 0);
    double pen = x;
    size_t index = 0;
    for (GSList* item = line->runs; item != nullptr; item = item->next, ++index) {
      auto* run = static_cast<PangoGlyphItem*>(item->data);
      PangoFont* font = run->item->analysis.font;
      const double run_width = Pixels(pango_glyph_string_get_width(run->glyphs));
      const TextStyle& style = run_styles[index];
      std::vector<DecorationRectangle> decorations;
      if (style.phantom) {
        run_drawn(style, decorations);
        pen += run_width;
        continue;
      }
      cairo_move_to(cairo, pen, baseline);
      pango_cairo_glyph_string_path(cairo, font, run->glyphs);
      if (style.underline || style.strikethrough) {
        const PangoFontMetricsPtr metrics(pango_font_get_metrics(font, nullptr));
        if (style.underline) {
          decorations.push_back(
              Decoration(pen, pen + run_width, baseline,
                         Pixels(pango_font_metrics_get_underline_position(metrics.get())),
                         Pixels(pango_font_metrics_get_underline_thickness(metrics.get()))));
        }
        if (style.strikethrough) {
          decorations.push_back(
              Decoration(pen, pen + run_width, baseline,
                         Pixels(pango_font_metrics_get_strikethrough_position(metrics.get())),
                         Pixels(pango_font_metrics_get_strikethrough_thickness(metrics.get()))));
        }
      }
      run_drawn(style, decorations);
      pen += run_width;
    }
  }
};

class PangoShaper : public TextShaper {
 public:
  explicit PangoShaper(const TextLayer& layer) : layer_(layer) {}

  std::vector<double> Advances(const StyledText& paragraph, bool right_to_left) override {
    std::vector<double> advances(paragraph.text.size(), 0.0);
    const PangoText utf8(paragraph.text);
    const PangoLayoutPtr layout = StyledLayout(layer_, paragraph, utf8, right_to_left);
    const char* text = pango_layout_get_text(layout.get());
    for (GSList* line = pango_layout_get_lines_readonly(layout.get()); line != nullptr;
         line = line->next) {
      for (GSList* item = static_cast<PangoLayoutLine*>(line->data)->runs; item != nullptr;
           item = item->next) {
        auto* run = static_cast<PangoGlyphItem*>(item->data);
        std::vector<int> widths(static_cast<size_t>(std::max(run->item->num_chars, 0)));
        pango_glyph_item_get_logical_widths(run, text, widths.data());
        const size_t first = utf8.IndexAt(static_cast<size_t>(run->item->offset));
        for (size_t k = 0; k < widths.size() && first + k < advances.size(); ++k) {
          advances[first + k] += Pixels(widths[k]);
        }
      }
    }
    return advances;
  }

  std::unique_ptr<ShapedLine> Shape(const BlockLine& block_line) override {
    auto shaped = std::make_unique<PangoShapedLine>();
    const PangoText utf8(block_line.text.text);
    shaped->layout = StyledLayout(layer_, block_line.text, utf8, block_line.right_to_left);
    PangoLayoutLine* line = pango_layout_get_line_readonly(shaped->layout.get(), 0);
    PangoRectangle logical;
    pango_layout_line_get_extents(line, nullptr, &logical);
    shaped->width = Pixels(logical.width);
    shaped->ascent = -Pixels(logical.y);
    shaped->descent = Pixels(logical.height + logical.y);
    for (GSList* item = line->runs; item != nullptr; item = item->next) {
      const PangoItem* run = static_cast<PangoGlyphItem*>(item->data)->item;
      shaped->run_styles.push_back(
          StyleAt(block_line.text, utf8.IndexAt(static_cast<size_t>(run->offset))));
    }
    return shaped;
  }

 private:
  const TextLayer& layer_;
};

}  // namespace

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

void WithPangoShaper(const TextLayer& layer, const std::function<void(TextShaper&)>& use) {
  std::lock_guard<std::mutex> lock(PangoLock());
  PangoShaper shaper(layer);
  use(shaper);
}

}  // namespace quorvel::headless

#endif
