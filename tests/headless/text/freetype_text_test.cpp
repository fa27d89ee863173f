// SPDX-License-Identifier: MIT
#include "headless/text/freetype_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "headless/text/text_outlines.h"
#include "tests/headless/scoped_environment.h"
#include "tests/headless/text/outline_bounds.h"

namespace quorvel::headless {
namespace {

// DejaVu Sans in font units (2048 to the em): the hhea ascender and line height (ascender
// 1901 + descender 483), and the glyph "H" (x from 201 to 1339, y from 0 to 1493, advance
// 1540). At a size of 2048 pixels one font unit is one pixel. The bold face's "H" spans x 188
// to 1526.
constexpr double kEm = 2048;
constexpr double kAscender = 1901;
constexpr double kLineHeight = 1901 + 483;
constexpr double kHLeft = 201;
constexpr double kHRight = 1339;
constexpr double kHHeight = 1493;
constexpr double kHAdvance = 1540;
constexpr double kBoldHLeft = 188;
constexpr double kBoldHRight = 1526;
constexpr char kDejaVuFolder[] = "/usr/share/fonts/truetype/dejavu";

using test::Bounds;
using test::ScopedEnvironment;
using test::VertexBounds;

TextLayer Layer(const std::string& text, double size = kEm) {
  TextLayer layer;
  layer.text = text;
  layer.font_family = "DejaVu Sans";
  layer.font_size = size;
  return layer;
}

class FreeTypeText : public ::testing::Test {
 protected:
  ScopedEnvironment backend_{"QUORVEL_TEXT_BACKEND", "freetype"};
  ScopedEnvironment folder_{"QUORVEL_FONT_DIR", kDejaVuFolder};
};

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

TEST_F(FreeTypeText, FindsTheRegularFaceForNoStyleWords) {
  EXPECT_EQ(FileName(FindFontFile(kDejaVuFolder, "DejaVu Sans", "")), "DejaVuSans.ttf");
}

TEST_F(FreeTypeText, FindsTheBoldFaceForBold) {
  EXPECT_EQ(FileName(FindFontFile(kDejaVuFolder, "DejaVu Sans", "Bold")), "DejaVuSans-Bold.ttf");
}

TEST_F(FreeTypeText, ReadsItalicAsObliqueAndIgnoresCase) {
  EXPECT_EQ(FileName(FindFontFile(kDejaVuFolder, "dejavu sans", "bold italic")),
            "DejaVuSans-BoldOblique.ttf");
}

TEST_F(FreeTypeText, FindsNoFileForAnUnknownFamily) {
  EXPECT_EQ(FindFontFile(kDejaVuFolder, "No Such Family", ""), "");
}

TEST_F(FreeTypeText, FindsNoFileInAMissingFolder) {
  EXPECT_EQ(FindFontFile("/no/such/folder", "DejaVu Sans", ""), "");
}

TEST_F(FreeTypeText, ChosenByTheEnvironment) {
  EXPECT_EQ(ActiveTextBackend(), TextBackend::kFreeType);
}

TEST_F(FreeTypeText, FontFolderFromTheEnvironment) {
  const ScopedEnvironment folder("QUORVEL_FONT_DIR", "/somewhere/fonts");
  EXPECT_EQ(FreeTypeFontDirectory(), "/somewhere/fonts");
}

TEST(FreeTypeTextDefaults, FontFolderIsDebiansDejaVuFolder) {
  const ScopedEnvironment folder("QUORVEL_FONT_DIR", nullptr);
  EXPECT_EQ(FreeTypeFontDirectory(), kDejaVuFolder);
}

TEST_F(FreeTypeText, GlyphSitsOnTheBaselineOneAscenderBelowThePosition) {
  TextLayer layer = Layer("H");
  layer.position = Point2{100, 50};
  const Bounds bounds = VertexBounds(TextOutlinesAt(layer, 0));
  EXPECT_DOUBLE_EQ(bounds.left, 100 + kHLeft);
  EXPECT_DOUBLE_EQ(bounds.right, 100 + kHRight);
  EXPECT_DOUBLE_EQ(bounds.bottom, 50 + kAscender);
  EXPECT_DOUBLE_EQ(bounds.top, 50 + kAscender - kHHeight);
}

TEST_F(FreeTypeText, StraightGlyphGivesClosedOutlinesOfStraightSegments) {
  const TextOutlines outlines = TextOutlinesAt(Layer("H"), 0);
  ASSERT_EQ(outlines.size(), 1u);  // "H" is one contour of twelve corners
  EXPECT_TRUE(outlines[0].closed);
  EXPECT_EQ(outlines[0].vertices.size(), 12u);
  for (const PF_PathVertex& vertex : outlines[0].vertices) {
    EXPECT_EQ(vertex.tan_in_x, 0);
    EXPECT_EQ(vertex.tan_out_y, 0);
  }
}

TEST_F(FreeTypeText, ScalesWithTheFontSize) {
  const Bounds bounds = VertexBounds(TextOutlinesAt(Layer("H", kEm / 4), 0));
  EXPECT_DOUBLE_EQ(bounds.left, kHLeft / 4);
  EXPECT_DOUBLE_EQ(bounds.right, kHRight / 4);
  EXPECT_DOUBLE_EQ(bounds.bottom, kAscender / 4);
}

TEST_F(FreeTypeText, NextGlyphStartsOneAdvanceLater) {
  const Bounds bounds = VertexBounds(TextOutlinesAt(Layer("HH"), 0));
  EXPECT_DOUBLE_EQ(bounds.left, kHLeft);
  EXPECT_DOUBLE_EQ(bounds.right, kHAdvance + kHRight);
}

TEST_F(FreeTypeText, NextLineStartsOneLineHeightLower) {
  const TextOutlines outlines = TextOutlinesAt(Layer("H\nH"), 0);
  ASSERT_EQ(outlines.size(), 2u);
  const Bounds first = VertexBounds({outlines[0]});
  const Bounds second = VertexBounds({outlines[1]});
  EXPECT_DOUBLE_EQ(second.bottom - first.bottom, kLineHeight);
  EXPECT_DOUBLE_EQ(second.left, first.left);
}

TEST_F(FreeTypeText, CentredLineMovesByHalfTheDifferenceInWidth) {
  TextLayer layer = Layer("H\nHH");
  layer.alignment = TextAlignment::kCenter;
  const TextOutlines outlines = TextOutlinesAt(layer, 0);
  ASSERT_EQ(outlines.size(), 3u);
  EXPECT_DOUBLE_EQ(VertexBounds({outlines[0]}).left, kHAdvance / 2 + kHLeft);
  EXPECT_DOUBLE_EQ(VertexBounds({outlines[1]}).left, kHLeft);
}

TEST_F(FreeTypeText, RightAlignedLineEndsWithTheWidest) {
  TextLayer layer = Layer("H\nHH");
  layer.alignment = TextAlignment::kRight;
  const TextOutlines outlines = TextOutlinesAt(layer, 0);
  ASSERT_EQ(outlines.size(), 3u);
  EXPECT_DOUBLE_EQ(VertexBounds({outlines[0]}).left, kHAdvance + kHLeft);
}

TEST_F(FreeTypeText, BoldStyleTakesTheBoldFace) {
  TextLayer layer = Layer("H");
  layer.font_style = "Bold";
  const Bounds bounds = VertexBounds(TextOutlinesAt(layer, 0));
  EXPECT_DOUBLE_EQ(bounds.left, kBoldHLeft);
  EXPECT_DOUBLE_EQ(bounds.right, kBoldHRight);
}

TEST_F(FreeTypeText, InvalidByteDrawsTheReplacementCharacter) {
  const TextOutlines bad = TextOutlinesAt(Layer("\xff"), 0);
  const TextOutlines replacement = TextOutlinesAt(Layer("\xef\xbf\xbd"), 0);  // U+FFFD
  ASSERT_FALSE(replacement.empty());
  ASSERT_EQ(bad.size(), replacement.size());
  EXPECT_DOUBLE_EQ(VertexBounds(bad).left, VertexBounds(replacement).left);
  EXPECT_DOUBLE_EQ(VertexBounds(bad).right, VertexBounds(replacement).right);
}

TEST_F(FreeTypeText, UnknownFamilyGivesNoOutlines) {
  TextLayer layer = Layer("H");
  layer.font_family = "No Such Family";
  EXPECT_TRUE(TextOutlinesAt(layer, 0).empty());
}

TEST_F(FreeTypeText, LayerPixelsFillTheGlyph) {
  TextLayer layer = Layer("H", 64);  // the H's left stem: x from 6.3, y 12.75 to 59.4
  layer.color = PF_Pixel{255, 255, 255, 255};
  std::vector<PF_Pixel> pixels(64 * 64);
  ASSERT_TRUE(RenderLayerPixels(layer, 0, 64, 64, pixels.data(), 64 * sizeof(PF_Pixel)));
  EXPECT_EQ(pixels[40 * 64 + 8].alpha, 255);  // inside the stem
  EXPECT_EQ(pixels[40 * 64 + 2].alpha, 0);    // left of the glyph
  EXPECT_EQ(pixels[5 * 64 + 8].alpha, 0);     // above it
}

}  // namespace
}  // namespace quorvel::headless
