// SPDX-License-Identifier: MIT
// Markup and paragraph widths as both text layers draw them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "headless/text/text_outlines.h"
#include "tests/headless/scoped_environment.h"
#include "tests/headless/text/outline_bounds.h"

namespace quorvel::headless {
namespace {

using test::Bounds;
using test::ScopedEnvironment;
using test::VertexBounds;

constexpr char kSentence[] = "the quick brown fox jumps over the lazy dog";

TextLayer Layer(const std::string& text, double size = 40) {
  TextLayer layer;
  layer.text = text;
  layer.font_family = "DejaVu Sans";
  layer.font_size = size;
  layer.markup = true;
  return layer;
}

double Width(const Bounds& bounds) {
  return bounds.right - bounds.left;
}

// Each test runs with the text layer named by its parameter.
class TextBlock : public ::testing::TestWithParam<const char*> {
 protected:
  ScopedEnvironment backend_{"QUORVEL_TEXT_BACKEND", GetParam()};
  ScopedEnvironment folder_{"QUORVEL_FONT_DIR", "/usr/share/fonts/truetype/dejavu"};
};

TEST_P(TextBlock, StylesChangeTheGlyphsDrawn) {
  const Bounds regular = VertexBounds(TextOutlinesAt(Layer("HHHH"), 0));
  const Bounds bold = VertexBounds(TextOutlinesAt(Layer("<b>HHHH</b>"), 0));
  const Bounds italic = VertexBounds(TextOutlinesAt(Layer("<i>HHHH</i>"), 0));
  const Bounds underline = VertexBounds(TextOutlinesAt(Layer("<u>HHHH</u>"), 0));
  const Bounds struck = VertexBounds(TextOutlinesAt(Layer("<s>HHHH</s>"), 0));
  EXPECT_GT(Width(bold), Width(regular) + 4);
  EXPECT_GT(italic.right, regular.right + 2);       // the slant leans right at the top
  EXPECT_GT(underline.bottom, regular.bottom + 2);  // below the baseline
  EXPECT_EQ(struck.bottom, regular.bottom);         // through the letters, not below them
  EXPECT_GT(TextOutlinesAt(Layer("<s>HHHH</s>"), 0).size(),
            TextOutlinesAt(Layer("HHHH"), 0).size());
}

TEST_P(TextBlock, ColouredRunIsDrawnInItsColourAtTheLayersAlpha) {
  // Two H's at 64 pixels: the first's left stem from x 6.3, the second's from 54.4; stems from
  // y 12.75 to 59.4.
  TextLayer layer = Layer("<font color=\"#ff0000\">H</font>H", 64);
  layer.color = PF_Pixel{128, 255, 255, 255};
  std::vector<PF_Pixel> pixels(128 * 64);
  ASSERT_TRUE(RenderLayerPixels(layer, 0, 128, 64, pixels.data(), 128 * sizeof(PF_Pixel)));
  const PF_Pixel red = pixels[40 * 128 + 8];
  const PF_Pixel white = pixels[40 * 128 + 57];
  EXPECT_EQ(red.alpha, 128);
  EXPECT_EQ(red.red, 128);  // premultiplied
  EXPECT_EQ(red.green, 0);
  EXPECT_EQ(red.blue, 0);
  EXPECT_EQ(white.alpha, 128);
  EXPECT_EQ(white.green, 128);
}

TEST_P(TextBlock, WrappedLinesStayWithinTheWidthForEachAlignment) {
  constexpr double kLeft = 100;
  constexpr double kWidth = 300;
  for (const TextAlignment alignment :
       {TextAlignment::kLeft, TextAlignment::kCenter, TextAlignment::kRight}) {
    SCOPED_TRACE(static_cast<int>(alignment));
    TextLayer layer = Layer(kSentence);
    layer.width = kWidth;
    layer.alignment = alignment;
    layer.position = Point2{kLeft, 50};
    const std::vector<TextLineMeasure> measures = MeasureTextLines(layer, 0);
    ASSERT_GE(measures.size(), 3u);  // the sentence is about 900 pixels wide at this size
    double previous_bottom = -INFINITY;
    for (size_t i = 0; i < measures.size(); ++i) {
      EXPECT_LE(measures[i].width, kWidth);
      EXPECT_FALSE(measures[i].overflows);
      layer.shown_line = static_cast<int>(i);
      const Bounds line = VertexBounds(TextOutlinesAt(layer, 0));
      // Within the width, but for ink that overhangs its advance ("j", "y") by under a pixel.
      EXPECT_GE(line.left, kLeft - 1);
      EXPECT_LE(line.right, kLeft + kWidth + 1);
      EXPECT_GT(line.top, previous_bottom - 15);  // below the line before (descenders aside)
      previous_bottom = line.bottom;
      // Glyphs' side bearings keep the ink a few pixels inside the edge the line keeps.
      const double middle = (line.left + line.right) / 2;
      switch (alignment) {
        case TextAlignment::kLeft:
          EXPECT_NEAR(line.left, kLeft, 5);
          break;
        case TextAlignment::kCenter:
          EXPECT_NEAR(middle, kLeft + kWidth / 2, 5);
          break;
        case TextAlignment::kRight:
          EXPECT_NEAR(line.right, kLeft + kWidth, 5);
          break;
      }
    }
  }
}

TEST_P(TextBlock, ShownLineIndexesTheWrappedLines) {
  TextLayer layer = Layer(kSentence);
  layer.width = 300;
  const int lines = static_cast<int>(MeasureTextLines(layer, 0).size());
  ASSERT_GE(lines, 3);
  layer.shown_line = lines - 1;
  EXPECT_FALSE(TextOutlinesAt(layer, 0).empty());
  layer.shown_line = lines;
  EXPECT_TRUE(TextOutlinesAt(layer, 0).empty());
}

TEST_P(TextBlock, AWordWiderThanTheWidthIsReportedAsOverflowing) {
  TextLayer layer = Layer("a incomprehensibilities b");
  layer.width = 100;
  const std::vector<TextLineMeasure> measures = MeasureTextLines(layer, 0);
  ASSERT_EQ(measures.size(), 3u);
  EXPECT_FALSE(measures[0].overflows);
  EXPECT_EQ(measures[1].text, "incomprehensibilities");
  EXPECT_TRUE(measures[1].overflows);
  EXPECT_GT(measures[1].width, 100);
  EXPECT_FALSE(measures[2].overflows);
}

// A phantom run keeps its room and draws nothing, so the rest of a line, centred or not, stays
// where the whole line puts it, and only it is measured.
TEST_P(TextBlock, PhantomRunsKeepTheirRoomAndDrawNothing) {
  const auto bounds = [](const std::string& text, TextAlignment alignment) {
    TextLayer layer = Layer(text);
    layer.alignment = alignment;
    layer.anchor = TextAnchor{0.5, 0.5};
    layer.position = Point2{400, 100};
    return VertexBounds(TextOutlinesAt(layer, 0));
  };
  for (const TextAlignment alignment : {TextAlignment::kLeft, TextAlignment::kCenter}) {
    const Bounds whole = bounds("HH HHH HH", alignment);
    const Bounds middle = bounds("<phantom>HH </phantom>HHH<phantom> HH</phantom>", alignment);
    const Bounds through_middle = bounds("HH HHH<phantom> HH</phantom>", alignment);
    const Bounds from_middle = bounds("<phantom>HH </phantom>HHH HH", alignment);
    EXPECT_EQ(middle.left, from_middle.left);
    EXPECT_EQ(middle.right, through_middle.right);
    EXPECT_EQ(through_middle.left, whole.left);
    EXPECT_EQ(from_middle.right, whole.right);
    EXPECT_EQ(middle.top, whole.top);
    EXPECT_NEAR(Width(middle), Width(bounds("HHH", alignment)), 1e-9);
  }
  // Its underline is not drawn either; a text all phantom has no outline.
  EXPECT_GT(bounds("<u><phantom>HH </phantom>HHH</u>", TextAlignment::kLeft).left,
            bounds("HH<phantom> HHH</phantom>", TextAlignment::kLeft).right);
  EXPECT_TRUE(TextOutlinesAt(Layer("<phantom>HH HHH</phantom>"), 0).empty());
}
INSTANTIATE_TEST_SUITE_P(BothTextLayers, TextBlock, ::testing::Values("pango", "freetype"));

std::vector<std::string> LineTexts(const TextLayer& layer, const char* backend) {
  const ScopedEnvironment chosen("QUORVEL_TEXT_BACKEND", backend);
  const ScopedEnvironment folder("QUORVEL_FONT_DIR", "/usr/share/fonts/truetype/dejavu");
  std::vector<std::string> texts;
  for (const TextLineMeasure& measure : MeasureTextLines(layer, 0)) texts.push_back(measure.text);
  return texts;
}

TEST(TextBlockLayers, BothBreakTheSameTextAtTheSamePlaces) {
  struct Case {
    std::string text;
    double width;
    bool balanced;
  };
  const Case cases[] = {
      {kSentence, 300, false},
      {kSentence, 300, true},
      {"<b>the quick brown</b> fox <i>jumps over</i> the lazy dog", 250, false},
      {"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD \u05D6\u05D4 "
       "\u05D8\u05E7\u05E1\u05D8 \u05D0\u05E8\u05D5\u05DA",
       150, false},
      {"first paragraph here\nand a second one", 200, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TextLayer layer = Layer(c.text);
    layer.width = c.width;
    layer.balanced = c.balanced;
    const std::vector<std::string> pango = LineTexts(layer, "pango");
    EXPECT_GT(pango.size(), 1u);
    EXPECT_EQ(pango, LineTexts(layer, "freetype"));
  }
}

}  // namespace
}  // namespace quorvel::headless
