// SPDX-License-Identifier: MIT
// The pango text layer (Linux builds): text laid out with pango, fontconfig's fonts and HarfBuzz.
#pragma once

#if QUORVEL_HAVE_PANGO

#include <functional>
#include <string>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/text/text_outlines.h"

// As cairo.h declares it; the header needs no cairo include path of its users.
typedef struct _cairo cairo_t;  // NOLINT(bugprone-reserved-identifier): cairo's own tag

namespace quorvel::headless {

class TextShaper;

// Adds the glyph contours of `text`, one layout in the layer's font and alignment, to cairo's
// path, the layout box's anchor at `position`. With `end_of_line`, it is called after each
// line's glyphs, to take that line's path; a stop ends the lines early.
void AppendPangoTextPath(cairo_t* cairo, const TextLayer& layer, const std::string& text,
                         Point2 position, const std::function<void()>& end_of_line);

// The characters drawn as boxes because no font has them, in the order they first appear.
std::vector<char32_t> PangoMissingCharacters(const TextLayer& layer, const std::string& text);

// Registers a font file with fontconfig for this process; `face` as FreeType named it, with the
// family and style pango knows it by.
FontFileFace RegisterWithFontconfig(const std::string& path, FontFileFace face);

// Gives `use` pango's shaper of styled text for the layer (text_block.h), under the lock that
// guards pango's objects.
void WithPangoShaper(const TextLayer& layer, const std::function<void(TextShaper&)>& use);

}  // namespace quorvel::headless

#endif
