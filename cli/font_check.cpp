// SPDX-License-Identifier: MIT
#include "cli/font_check.h"

#include <memory>

#include "headless/text/freetype_text.h"
#if QUORVEL_HAVE_PANGO
#include "headless/common/pango_handles.h"
#endif

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

// Asks fontconfig directly, as pango does when it lays the text out: pango's own font maps
// start a helper thread per map, which a check made once per scene does not need.
FontCheck CheckPangoFont(const std::string& family, const std::string& style) {
  // Pango reads trailing style words and takes whatever it does not recognise as a family
  // name; style words alone must therefore leave the family (and the size) unset.
  const headless::PangoFontDescriptionPtr description(
      pango_font_description_from_string(style.c_str()));
  const PangoFontMask unrecognised =
      static_cast<PangoFontMask>(PANGO_FONT_MASK_FAMILY | PANGO_FONT_MASK_SIZE);
  if ((pango_font_description_get_set_fields(description.get()) & unrecognised) != 0) {
    return {
        FontCheck::Outcome::kUnknownStyle,
        "\"" + style + "\" is not a list of style words (such as Bold, Italic, Light, Condensed)"};
  }
  if (family.empty()) return {FontCheck::Outcome::kMissingFamily, "the font family is empty"};

  const headless::FcPatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const headless::FcPatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (match == nullptr) {
    return {FontCheck::Outcome::kMissingFamily,
            "no font at all is installed for \"" + family + "\""};
  }
  // A font may carry several family names ("DejaVu Sans" and "DejaVu Sans Condensed").
  FcChar8* name = nullptr;
  std::string substitute;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    const char* text = reinterpret_cast<const char*>(name);
    if (g_ascii_strcasecmp(text, family.c_str()) == 0) return {};
    if (substitute.empty()) substitute = text;
  }
  return {FontCheck::Outcome::kMissingFamily, "the font family \"" + family +
                                                  "\" is not installed (fontconfig would "
                                                  "substitute \"" +
                                                  substitute + "\")"};
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
