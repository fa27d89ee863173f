// SPDX-License-Identifier: MIT
#include "compose/scene/font_check.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>
#include <vector>

#include "headless/text/freetype_text.h"
#if QUORVEL_HAVE_PANGO
#include "headless/common/pango_handles.h"
#endif

namespace quorvel::compose {
namespace {

// The FreeType text layer reads font files from one folder, so a font is there or not. It picks
// a face by its bold and italic flags, so other style words would be ignored without a word.
FontCheck CheckFontFile(const std::string& family, const std::string& style) {
  std::istringstream words(style);
  for (std::string word; words >> word;) {
    std::string lower;
    for (const char c : word)
      lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != "bold" && lower != "italic" && lower != "oblique" && lower != "regular" &&
        lower != "book" && lower != "normal") {
      return {FontCheck::Outcome::kUnknownStyle,
              "the FreeType text layer picks a face by Bold, Italic and Oblique alone; \"" + word +
                  "\" is none of them"};
    }
  }
  if (family.empty()) return {FontCheck::Outcome::kMissingFamily, "the font family is empty"};
  const std::string directory = headless::FreeTypeFontDirectory();
  if (!headless::FindFontFile(directory, family, style).empty()) return {};
  return {FontCheck::Outcome::kMissingFamily, "no font file of \"" + family + "\"" +
                                                  (style.empty() ? "" : " " + style) + " in " +
                                                  directory};
}

#if QUORVEL_HAVE_PANGO

// Whether a face of the family has the weight, slant and width the style words ask for: pango
// would otherwise draw the nearest face (Bold for Black) without a word. Italic and oblique
// count as one slant, as pango picks either for the other.
FontCheck CheckPangoStyle(const std::string& family, const std::string& style) {
  const headless::PangoFontDescriptionPtr wanted(pango_font_description_from_string(style.c_str()));
  const auto slanted = [](PangoStyle slant) { return slant != PANGO_STYLE_NORMAL; };
  const headless::FcPatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  using FontSetPtr = headless::Owned<FcFontSet, FcFontSetDestroy>;
  using ObjectSetPtr = headless::Owned<FcObjectSet, FcObjectSetDestroy>;
  const ObjectSetPtr objects(
      FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, FC_WIDTH, nullptr));
  const FontSetPtr fonts(FcFontList(nullptr, pattern.get(), objects.get()));
  std::vector<std::string> styles;
  for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
    const headless::PangoFontDescriptionPtr face(
        pango_fc_font_description_from_pattern(fonts->fonts[i], FALSE));
    if (pango_font_description_get_weight(face.get()) ==
            pango_font_description_get_weight(wanted.get()) &&
        pango_font_description_get_stretch(face.get()) ==
            pango_font_description_get_stretch(wanted.get()) &&
        slanted(pango_font_description_get_style(face.get())) ==
            slanted(pango_font_description_get_style(wanted.get()))) {
      return {};
    }
    FcChar8* name = nullptr;
    if (FcPatternGetString(fonts->fonts[i], FC_STYLE, 0, &name) == FcResultMatch) {
      const std::string text = reinterpret_cast<const char*>(name);
      if (std::find(styles.begin(), styles.end(), text) == styles.end()) styles.push_back(text);
    }
  }
  std::sort(styles.begin(), styles.end());
  std::string list;
  for (const std::string& name : styles) list += (list.empty() ? "" : ", ") + name;
  return {FontCheck::Outcome::kUnknownStyle,
          "the family \"" + family + "\" has no " + (style.empty() ? "regular" : style) +
              " style; it has " + (list.empty() ? std::string("none listed") : list)};
}

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
    if (g_ascii_strcasecmp(text, family.c_str()) == 0) return CheckPangoStyle(family, style);
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

}  // namespace quorvel::compose
