// SPDX-License-Identifier: MIT
// Where a paragraph's lines break for a width: at Unicode line-break opportunities (UAX #14, found
// by libunibreak), from the advances of its characters. Pure arithmetic on what the text layer
// measured, so that both text layers break a text at the same places.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel::headless {

// For each place i in the paragraph (0 to its length), whether a line may start there: never at
// 0, always at the end.
std::vector<bool> LineBreakOpportunities(const std::u32string& paragraph);

// Spaces that end a line at a break take no room there: they are not drawn and not measured.
bool IsBreakingSpace(char32_t code_point);

// One line of a paragraph: code points [start, end), its trailing spaces left out (they are in
// [end, next)), and the next line starting at `next`.
struct LineSpan {
  size_t start = 0;
  size_t end = 0;
  size_t next = 0;
  double width = 0;  // the sum of the advances of [start, end)
  // A piece that cannot be broken and is wider than the width alone on its line.
  bool overflows = false;
};

// The lines of a paragraph (code points and each one's advance, in pixels) that fit `width`.
// Greedy: each line takes as much as fits. Balanced: the fewest lines that fit, and of those the
// breaks that make the longest line shortest, then the shortest line longest, so that the lines
// are as even as they can be (a subtitle's two lines rather than a full one and an orphan).
// A paragraph of more than 4096 break places, or of more than 2^20 lines × break places,
// keeps its greedy lines.
// A piece wider than the width is never broken: it stands alone on its line, which overflows.
std::vector<LineSpan> BreakParagraph(const std::u32string& paragraph,
                                     const std::vector<double>& advances, double width,
                                     bool balanced);

// Widths are compared with this much room to spare, more than the text layers' rounding of
// advances (pango's is 1/1024 pixel) and less than anything visible, so that a text that fits a
// width exactly is broken alike by both.
inline constexpr double kFitTolerance = 1.0 / 256;

}  // namespace quorvel::headless
