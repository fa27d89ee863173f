// SPDX-License-Identifier: MIT
// Text in styled runs: what markup parses into and what both text layers draw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::headless {

struct TextColor {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const TextColor& other) const {
    return red == other.red && green == other.green && blue == other.blue;
  }
};

// How a run differs from the layer's own font and colour; the defaults change nothing.
struct TextStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  std::optional<TextColor> color;  // the layer's colour without one
  std::string family;              // the layer's family when empty
  double size = 0;                 // pixels at full resolution; the layer's size when 0
  // Takes its room but draws nothing and is not measured, so that a box measured from the
  // outlines covers the rest of the text only (one word of a caption laid out whole).
  bool phantom = false;

  bool operator==(const TextStyle& other) const {
    return bold == other.bold && italic == other.italic && underline == other.underline &&
           strikethrough == other.strikethrough && color == other.color && family == other.family &&
           size == other.size && phantom == other.phantom;
  }
  bool operator!=(const TextStyle& other) const { return !(*this == other); }
};

// Code points [start, end) of a text in one style.
struct StyledRun {
  size_t start = 0;
  size_t end = 0;
  TextStyle style;
};

// Runs cover the text in order, without gaps; an empty text keeps one empty run, so that an empty
// line still has the font (and so the height) of where it stands.
struct StyledText {
  std::u32string text;
  std::vector<StyledRun> runs;
};

// The whole text in the layer's own style.
StyledText Unstyled(std::u32string text);

// Code points [start, end) with their runs; an empty slice keeps the style at `start`.
StyledText Slice(const StyledText& styled, size_t start, size_t end);

// Appends a code point in a style, extending the last run when its style is the same.
void AppendStyled(StyledText& styled, char32_t code_point, const TextStyle& style);

// The style of the code point at `index` (of the last one past the end).
const TextStyle& StyleAt(const StyledText& styled, size_t index);

}  // namespace quorvel::headless
