// SPDX-License-Identifier: MIT
#include "headless/text/line_breaking.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "headless/text/text_block.h"

namespace quorvel::headless {
namespace {

// Every character one pixel wide, so that widths are counts of characters.
std::vector<double> UnitAdvances(const std::u32string& text) {
  return std::vector<double>(text.size(), 1.0);
}

std::vector<std::u32string> LineTexts(const std::u32string& paragraph, double width,
                                      bool balanced) {
  std::vector<std::u32string> texts;
  for (const LineSpan& span : BreakParagraph(paragraph, UnitAdvances(paragraph), width, balanced)) {
    texts.push_back(paragraph.substr(span.start, span.end - span.start));
  }
  return texts;
}

using Lines = std::vector<std::u32string>;

constexpr char32_t kSentence[] = U"the quick brown fox jumps over the lazy dog";

TEST(LineBreaking, GreedyFillsEachLineInTurn) {
  EXPECT_EQ(LineTexts(kSentence, 20, false),
            (Lines{U"the quick brown fox", U"jumps over the lazy", U"dog"}));
}

TEST(LineBreaking, BalancedKeepsTheLineCountAndEvensTheLines) {
  // Three lines either way; the longest of any three-line split is at least 15 wide.
  EXPECT_EQ(LineTexts(kSentence, 20, true),
            (Lines{U"the quick brown", U"fox jumps over", U"the lazy dog"}));
}

TEST(LineBreaking, TextThatFitsStaysOneLine) {
  EXPECT_EQ(LineTexts(U"short text", 10, true), (Lines{U"short text"}));
}

TEST(LineBreaking, AWordWiderThanTheWidthOverflowsAloneUnbroken) {
  const std::u32string paragraph = U"a extraordinarily b";
  for (const bool balanced : {false, true}) {
    const std::vector<LineSpan> lines =
        BreakParagraph(paragraph, UnitAdvances(paragraph), 5, balanced);
    ASSERT_EQ(lines.size(), 3u) << balanced;
    EXPECT_EQ(paragraph.substr(lines[1].start, lines[1].end - lines[1].start), U"extraordinarily");
    EXPECT_FALSE(lines[0].overflows);
    EXPECT_TRUE(lines[1].overflows);
    EXPECT_EQ(lines[1].width, 15);
    EXPECT_FALSE(lines[2].overflows);
  }
}

TEST(LineBreaking, BreaksAfterHyphensAndNotBeforePunctuation) {
  EXPECT_EQ(LineTexts(U"well-known words!", 6, false), (Lines{U"well-", U"known", U"words!"}));
  EXPECT_EQ(LineTexts(U"ab cd!", 2, false), (Lines{U"ab", U"cd!"}));
}

// A shaper of one pixel per character, whose lines are as wide as they are long.
class UnitShaper : public TextShaper {
 public:
  std::vector<double> Advances(const StyledText& paragraph, bool) override {
    return UnitAdvances(paragraph.text);
  }
  std::unique_ptr<ShapedLine> Shape(const BlockLine& line) override {
    auto shaped = std::make_unique<Line>();
    shaped->width = static_cast<double>(line.text.text.size());
    return shaped;
  }

 private:
  struct Line : ShapedLine {
    void AppendPath(cairo_t*, double, double, const RunDrawn&) const override {}
  };
};

struct BlockCase {
  const char* name;
  std::u32string text;
  double width;
  Lines lines;
  std::vector<bool> right_to_left;
};

TEST(BlockLines, SplitAtLineBreaksThenWrapEachParagraph) {
  const BlockCase cases[] = {
      {"explicit breaks", U"a\nb\r\nc\rd\u2028e", 0, {U"a", U"b", U"c", U"d", U"e"}, {}},
      {"empty lines kept", U"a\n\nb", 0, {U"a", U"", U"b"}, {}},
      {"wrapped per paragraph", U"aaa bbb\nccc", 4, {U"aaa", U"bbb", U"ccc"}, {}},
      {"spaces at a wrap dropped", U"aa   bb", 3, {U"aa", U"bb"}, {}},
      {"direction of each paragraph",
       U"abc\n\u05E9\u05DC\u05D5\u05DD\n123\nxyz",
       0,
       {U"abc", U"\u05E9\u05DC\u05D5\u05DD", U"123", U"xyz"},
       {false, true, true, false}},
      {"right-to-left wraps alike",
       U"\u05D0\u05D1 \u05D2\u05D3",
       2,
       {U"\u05D0\u05D1", U"\u05D2\u05D3"},
       {true, true}},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(c.name);
    UnitShaper shaper;
    const std::vector<BlockLine> lines = BlockLines(shaper, Unstyled(c.text), c.width, false);
    ASSERT_EQ(lines.size(), c.lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].text.text, c.lines[i]) << "line " << i;
      if (!c.right_to_left.empty()) {
        EXPECT_EQ(lines[i].right_to_left, c.right_to_left[i]) << "line " << i;
      }
    }
  }
}

}  // namespace
}  // namespace quorvel::headless
