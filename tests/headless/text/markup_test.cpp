// SPDX-License-Identifier: MIT
#include "headless/text/markup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quorvel::headless {
namespace {

// A run written as its text and its style in letters: b, i, u, s, and "#rrggbb" for a colour.
struct ExpectedRun {
  std::u32string text;
  std::string style;
};

std::string Letters(const TextStyle& style) {
  std::string letters;
  if (style.bold) letters += 'b';
  if (style.italic) letters += 'i';
  if (style.underline) letters += 'u';
  if (style.strikethrough) letters += 's';
  if (style.color) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", style.color->red, style.color->green,
                  style.color->blue);
    letters += hex;
  }
  return letters;
}

std::vector<ExpectedRun> Runs(const StyledText& styled) {
  std::vector<ExpectedRun> runs;
  for (const StyledRun& run : styled.runs) {
    runs.push_back({styled.text.substr(run.start, run.end - run.start), Letters(run.style)});
  }
  return runs;
}

struct MarkupCase {
  const char* name;
  std::string markup;
  std::vector<ExpectedRun> runs;
};

TEST(Markup, ParsesIntoStyledRuns) {
  const MarkupCase cases[] = {
      {"plain", "plain", {{U"plain", ""}}},
      {"bold", "a<b>b</b>c", {{U"a", ""}, {U"b", "b"}, {U"c", ""}}},
      {"italic", "<i>x</i>", {{U"x", "i"}}},
      {"underline", "<u>x</u>", {{U"x", "u"}}},
      {"strikethrough", "<s>x</s>", {{U"x", "s"}}},
      {"any case", "<B>x</b><I>y</I>", {{U"x", "b"}, {U"y", "i"}}},
      {"nested", "<b>a<i>b</i>c</b>", {{U"a", "b"}, {U"b", "bi"}, {U"c", "b"}}},
      {"crossed", "<b><i>a</b>b</i>", {{U"a", "bi"}, {U"b", "i"}}},
      {"colour #rrggbb", "<font color=\"#FF8000\">x</font>", {{U"x", "#ff8000"}}},
      {"colour #rgb", "<font color='#f80'>x</font>", {{U"x", "#ff8800"}}},
      {"colour name unquoted", "<font color=Red>x</font>", {{U"x", "#ff0000"}}},
      {"inner colour wins",
       "<font color=red>a<font color=blue>b</font>c</font>",
       {{U"a", "#ff0000"}, {U"b", "#0000ff"}, {U"c", "#ff0000"}}},
      {"bad colour ignored", "<font color=\"#12\">x</font>", {{U"x", ""}}},
      {"unclosed closes at the end", "<b>a", {{U"a", "b"}}},
      {"stray closing ignored", "a</b>b", {{U"ab", ""}}},
      {"unknown tag removed", "<blink>a</blink>", {{U"a", ""}}},
      {"lone <", "a < b", {{U"a < b", ""}}},
      {"< before a digit", "1<2", {{U"1<2", ""}}},
      {"unterminated tag kept", "a <b", {{U"a <b", ""}}},
      {"lone &", "fish & chips", {{U"fish & chips", ""}}},
      {"unknown reference kept", "&nope;", {{U"&nope;", ""}}},
      {"named references", "&lt;&gt;&amp;&quot;&apos;", {{U"<>&\"'", ""}}},
      {"space and marks", "&nbsp;&lrm;&rlm;", {{U"\u00A0\u200E\u200F", ""}}},
      {"decimal and hex", "&#65;&#x42;&#X63;", {{U"ABc", ""}}},
      {"surrogate reference", "&#xD800;", {{U"\uFFFD", ""}}},
      {"reference in a run", "<b>&amp;</b>", {{U"&", "b"}}},
      {"line breaks kept", "<i>a\nb</i>", {{U"a\nb", "i"}}},
      {"empty", "", {{U"", ""}}},
      {"only tags", "<b></b>", {{U"", ""}}},
  };
  for (const MarkupCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<ExpectedRun> runs = Runs(ParseMarkup(c.markup));
    ASSERT_EQ(runs.size(), c.runs.size());
    for (size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].text, c.runs[i].text) << "run " << i;
      EXPECT_EQ(runs[i].style, c.runs[i].style) << "run " << i;
    }
  }
}

TEST(Markup, FontFaceAndSize) {
  const StyledText styled = ParseMarkup("<font face=\"DejaVu Serif\" size=30>x</font>y");
  ASSERT_EQ(styled.runs.size(), 2u);
  EXPECT_EQ(styled.runs[0].style.family, "DejaVu Serif");
  EXPECT_EQ(styled.runs[0].style.size, 30);
  EXPECT_EQ(styled.runs[1].style, TextStyle{});
}

TEST(Markup, InvalidUtf8BecomesTheReplacementCharacter) {
  EXPECT_EQ(ParseMarkup("a\xff<b>b</b>").text, U"a\uFFFDb");
}

}  // namespace
}  // namespace quorvel::headless
