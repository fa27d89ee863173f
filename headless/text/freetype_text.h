// SPDX-License-Identifier: MIT
// A second way to lay out a text layer's glyphs: straight from a font file with FreeType, left
// to right with the font's advances and kerning, one line per '\n'. It needs neither pango nor
// fontconfig, so the Windows build of the host has it, and a Linux build that uses it lays out
// the very same outlines; frames of the two builds can then be compared byte for byte.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "headless/composition/scene.h"

// As cairo.h declares it; the header needs no cairo include path of its users.
typedef struct _cairo cairo_t;  // NOLINT(bugprone-reserved-identifier): cairo's own tag

namespace quorvel::headless {

enum class TextBackend { kPango, kFreeType };

// QUORVEL_TEXT_BACKEND ("pango" or "freetype") chooses; without it, pango where the build has
// it and FreeType elsewhere. A build without pango always uses FreeType.
TextBackend ActiveTextBackend();

// The folder searched for font files: QUORVEL_FONT_DIR, else Debian's fonts-dejavu-core
// folder.
std::string FreeTypeFontDirectory();

// The file in `directory` (*.ttf, *.otf) whose family name is `family` (ignoring case) and
// whose bold and italic flags are those the style words ask for ("Bold", "Italic" or
// "Oblique"; other words are ignored). Empty when there is none.
std::string FindFontFile(const std::string& directory, const std::string& family,
                         const std::string& style);

// Adds the glyph contours of `text` (UTF-8; each invalid byte stands for U+FFFD) in the
// layer's font and size to the current path of `cairo`, the layout box's top-left corner at
// `origin` less the anchor's share of the box's size. Lines are `height` of the font apart, each
// aligned within the widest. Font units are scaled in double precision without hinting, so the
// outlines do not depend on the platform. Returns false, adding nothing, when no font file matches
// the layer's font. The family and style name (FreeType's, such as "Bold Oblique") of the first
// face of a font file, or false when FreeType cannot read it as a scalable font.
bool FreeTypeFaceNames(const std::string& path, std::string& family, std::string& style);

// The characters of `text` that the layer's font file has no glyph for (all of them when no
// file matches), in the order they first appear.
std::vector<char32_t> FreeTypeMissingCharacters(const TextLayer& layer, const std::string& text);

// With `end_of_line`, it is called after each line's glyphs, to take that line's path; a stop
// ends the lines early.
bool AppendFreeTypeTextPath(cairo_t* cairo, const TextLayer& layer, const std::string& text,
                            Point2 position, const std::function<void()>& end_of_line = nullptr);

class TextShaper;

// Gives `use` the FreeType text layer's shaper of styled text for the layer (text_block.h), under
// the lock that guards FreeType's faces.
void WithFreeTypeShaper(const TextLayer& layer, const std::function<void(TextShaper&)>& use);

}  // namespace quorvel::headless
