// SPDX-License-Identifier: MIT
#include "cli/font_check.h"

#if QUORVEL_HAVE_PANGO
#include <glib-object.h>
#include <glib.h>
#include <pango/pangocairo.h>
#endif

#include <memory>

#include "headless/freetype_text.h"

namespace quorvel::cli {
namespace {

// The FreeType text layer reads font files from one folder, so a font is there or not.
FontCheck CheckFontFile(const std::string& family, const std::string& style) {
  if (family.empty()) return {FontCheck::Outcome::kMissingFamily, "the font family is empty"};
  const std::string directory = headless::FreeTypeFontDirectory();
  if (!headless::FindFontFile(directory, family, style).empty()) return {};
  return {FontCheck::Outcome::kMissingFamily, "no font file of \"" + family + "\"" +
                                                  (style.empty() ? "" : " " + style) + " in " +
                                                  directory};
}

#if QUORVEL_HAVE_PANGO

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct FontDescriptionFree {
  void operator()(PangoFontDescription* description) const {
    pango_font_description_free(description);
  }
};
using FontMapPtr = std::unique_ptr<PangoFontMap, GObjectUnref>;
using ContextPtr = std::unique_ptr<PangoContext, GObjectUnref>;
using FontPtr = std::unique_ptr<PangoFont, GObjectUnref>;
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, FontDescriptionFree>;

constexpr int kAnySize = 12;

FontCheck CheckPangoFont(const std::string& family, const std::string& style) {
  // Pango reads trailing style words and takes whatever it does not recognise as a family
  // name; style words alone must therefore leave the family (and the size) unset.
  const FontDescriptionPtr description(pango_font_description_from_string(style.c_str()));
  const PangoFontMask unrecognised =
      static_cast<PangoFontMask>(PANGO_FONT_MASK_FAMILY | PANGO_FONT_MASK_SIZE);
  if ((pango_font_description_get_set_fields(description.get()) & unrecognised) != 0) {
    return {
        FontCheck::Outcome::kUnknownStyle,
        "\"" + style + "\" is not a list of style words (such as Bold, Italic, Light, Condensed)"};
  }
  if (family.empty()) return {FontCheck::Outcome::kMissingFamily, "the font family is empty"};

  pango_font_description_set_family(description.get(), family.c_str());
  pango_font_description_set_size(description.get(), kAnySize * PANGO_SCALE);
  const FontMapPtr font_map(pango_cairo_font_map_new());
  const ContextPtr context(pango_font_map_create_context(font_map.get()));
  const FontPtr font(pango_font_map_load_font(font_map.get(), context.get(), description.get()));
  if (font == nullptr) {
    return {FontCheck::Outcome::kMissingFamily,
            "no font at all is installed for \"" + family + "\""};
  }
  const FontDescriptionPtr resolved(pango_font_describe(font.get()));
  const char* resolved_family = pango_font_description_get_family(resolved.get());
  if (resolved_family == nullptr || g_ascii_strcasecmp(resolved_family, family.c_str()) != 0) {
    return {FontCheck::Outcome::kMissingFamily,
            "the font family \"" + family + "\" is not installed (fontconfig would substitute \"" +
                (resolved_family != nullptr ? resolved_family : "") + "\")"};
  }
  return {};
}
#endif

}  // namespace

FontCheck CheckFont(const std::string& family, const std::string& style) {
#if QUORVEL_HAVE_PANGO
  if (headless::ActiveTextBackend() == headless::TextBackend::kPango) {
    return CheckPangoFont(family, style);
  }
#endif
  return CheckFontFile(family, style);
}

}  // namespace quorvel::cli
