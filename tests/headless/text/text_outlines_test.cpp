// SPDX-License-Identifier: MIT
#include "headless/text/text_outlines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "headless/text/layout_cache.h"
#include "tests/headless/scoped_environment.h"
#include "tests/headless/text/outline_bounds.h"

namespace quorvel::headless {
namespace {

// DejaVu Sans, measured from the font file in font units (2048 to the em): the hhea ascender
// and descender, and the glyph "H" (x from 201 to 1339, y from 0 to 1493, advance 1540).
// The bold face's "H" spans x 188 to 1526.
constexpr double kUnitsPerEm = 2048;
constexpr double kAscender = 1901;
constexpr double kDescender = 483;
constexpr double kHLeft = 201;
constexpr double kHRight = 1339;
constexpr double kHHeight = 1493;
constexpr double kHAdvance = 1540;
constexpr double kBoldHLeft = 188;
constexpr double kBoldHRight = 1526;

// Outline points come from FreeType in 1/64 pixel and line positions from pango in 1/1024.
constexpr double kTolerance = 0.05;

double AtSize(double font_units, double size) {
  return font_units * size / kUnitsPerEm;
}

using test::Bounds;
using test::VertexBounds;

TextLayer Layer(const std::string& text, double size = 100) {
  TextLayer layer;
  layer.text = text;
  layer.font_family = "DejaVu Sans";
  layer.font_size = size;
  return layer;
}

bool HasTangent(const PF_PathVertex& vertex) {
  return vertex.tan_in_x != 0 || vertex.tan_in_y != 0 || vertex.tan_out_x != 0 ||
         vertex.tan_out_y != 0;
}

TEST(TextOutlines, HBoundsMatchFontMetrics) {
  const Bounds bounds = VertexBounds(TextOutlinesAt(Layer("H"), 0));
  EXPECT_NEAR(bounds.left, AtSize(kHLeft, 100), kTolerance);               // 9.81
  EXPECT_NEAR(bounds.right, AtSize(kHRight, 100), kTolerance);             // 65.38
  EXPECT_NEAR(bounds.top, AtSize(kAscender - kHHeight, 100), kTolerance);  // 19.92
  EXPECT_NEAR(bounds.bottom, AtSize(kAscender, 100), kTolerance);          // 92.82, the baseline
}

TEST(TextOutlines, HIsOneClosedOutlineOfTwelveStraightSegments) {
  const TextOutlines outlines = TextOutlinesAt(Layer("H"), 0);
  ASSERT_EQ(outlines.size(), 1u);
  EXPECT_TRUE(outlines[0].closed);
  EXPECT_EQ(outlines[0].vertices.size(), 12u);
  EXPECT_EQ(outlines[0].NumSegments(), 12);
  for (const PF_PathVertex& vertex : outlines[0].vertices) EXPECT_FALSE(HasTangent(vertex));
}

TEST(TextOutlines, ClosedOutlineDoesNotRepeatItsFirstVertex) {
  for (const TextOutline& outline : TextOutlinesAt(Layer("HO"), 0)) {
    const PF_PathVertex& first = outline.vertices.front();
    const PF_PathVertex& last = outline.vertices.back();
    EXPECT_FALSE(first.x == last.x && first.y == last.y);
  }
}

TEST(TextOutlines, OHasCurvedTangents) {
  const TextOutlines outlines = TextOutlinesAt(Layer("O"), 0);
  ASSERT_EQ(outlines.size(), 2u);  // the outer and the inner contour
  for (const TextOutline& outline : outlines) {
    EXPECT_TRUE(outline.closed);
    EXPECT_TRUE(std::any_of(outline.vertices.begin(), outline.vertices.end(), HasTangent));
  }
}

TEST(TextOutlines, CurveTangentsAreOffsetsFromTheirVertex) {
  // Each control point of the O lies within its glyph box, so an offset can never be as
  // large as an absolute coordinate of the box's far side.
  const TextLayer layer = Layer("O");
  const Bounds bounds = VertexBounds(TextOutlinesAt(layer, 0));
  for (const TextOutline& outline : TextOutlinesAt(layer, 0)) {
    for (const PF_PathVertex& vertex : outline.vertices) {
      EXPECT_GE(vertex.x + vertex.tan_out_x, bounds.left - kTolerance);
      EXPECT_LE(vertex.x + vertex.tan_out_x, bounds.right + kTolerance);
      EXPECT_GE(vertex.y + vertex.tan_in_y, bounds.top - kTolerance);
      EXPECT_LE(vertex.y + vertex.tan_in_y, bounds.bottom + kTolerance);
    }
  }
}

TEST(TextOutlines, SizeScalesOutlines) {
  const Bounds bounds = VertexBounds(TextOutlinesAt(Layer("H", 50), 0));
  EXPECT_NEAR(bounds.right - bounds.left, AtSize(kHRight - kHLeft, 50), kTolerance);
  EXPECT_NEAR(bounds.bottom - bounds.top, AtSize(kHHeight, 50), kTolerance);
}

TEST(TextOutlines, PositionIsTopLeftOfLayoutBox) {
  TextLayer layer = Layer("H");
  layer.position = Point2{100, 50};
  const Bounds bounds = VertexBounds(TextOutlinesAt(layer, 0));
  EXPECT_NEAR(bounds.left, 100 + AtSize(kHLeft, 100), kTolerance);
  EXPECT_NEAR(bounds.top, 50 + AtSize(kAscender - kHHeight, 100), kTolerance);
}

TEST(TextOutlines, SeveralLinesStackByLineHeight) {
  const TextOutlines outlines = TextOutlinesAt(Layer("H\nH\nH"), 0);
  ASSERT_EQ(outlines.size(), 3u);
  const double line_height = AtSize(kAscender + kDescender, 100);  // 116.41
  for (int line = 0; line < 3; ++line) {
    const Bounds bounds = VertexBounds({outlines[static_cast<size_t>(line)]});
    EXPECT_NEAR(bounds.top, AtSize(kAscender - kHHeight, 100) + line_height * line, kTolerance);
    EXPECT_NEAR(bounds.left, AtSize(kHLeft, 100), kTolerance);
  }
}

TEST(TextOutlines, CenterAlignmentCentresShorterLine) {
  TextLayer layer = Layer("HH\nH");
  layer.alignment = TextAlignment::kCenter;
  const TextOutlines outlines = TextOutlinesAt(layer, 0);
  ASSERT_EQ(outlines.size(), 3u);
  const double half_advance = AtSize(kHAdvance, 100) / 2;  // 37.60
  EXPECT_NEAR(VertexBounds({outlines[2]}).left, AtSize(kHLeft, 100) + half_advance, kTolerance);
}

TEST(TextOutlines, RightAlignmentEndsLinesTogether) {
  TextLayer layer = Layer("HH\nH");
  layer.alignment = TextAlignment::kRight;
  const TextOutlines outlines = TextOutlinesAt(layer, 0);
  ASSERT_EQ(outlines.size(), 3u);
  EXPECT_NEAR(VertexBounds({outlines[2]}).left, VertexBounds({outlines[1]}).left, kTolerance);
}

// The extents of each line's outlines, lines told apart by where their outlines' middles fall.
std::vector<Bounds> LineBounds(const TextOutlines& outlines, double line_height) {
  std::vector<Bounds> lines;
  for (const TextOutline& outline : outlines) {
    const Bounds glyph = VertexBounds({outline});
    const auto line = static_cast<size_t>((glyph.top + glyph.bottom) / 2 / line_height);
    if (lines.size() <= line) lines.resize(line + 1);
    lines[line].left = std::min(lines[line].left, glyph.left);
    lines[line].right = std::max(lines[line].right, glyph.right);
  }
  return lines;
}

// Alignment names the edge that lines keep, for right-to-left lines too (pango would mirror it),
// with either text layer. Both lines of each text end, on the named side, in the same letter.
TEST(TextOutlines, AlignmentNamesTheEdgeOfRightToLeftLines) {
  const struct {
    const char* text;
    TextAlignment alignment;
  } cases[] = {
      {"שלום עולם\nשלום", TextAlignment::kRight},
      {"سلام عليكم\nسلام", TextAlignment::kRight},
      {"שלום עולם\nשלום", TextAlignment::kLeft},
  };
  for (const char* backend : {"pango", "freetype"}) {
    const test::ScopedEnvironment chosen("QUORVEL_TEXT_BACKEND", backend);
    for (const auto& c : cases) {
      TextLayer layer = Layer(c.text);
      layer.alignment = c.alignment;
      const std::vector<Bounds> lines =
          LineBounds(TextOutlinesAt(layer, 0), AtSize(kAscender + kDescender, 100));
      ASSERT_EQ(lines.size(), 2u) << backend << ": " << c.text;
      const bool right = c.alignment == TextAlignment::kRight;
      EXPECT_NEAR(right ? lines[0].right : lines[0].left, right ? lines[1].right : lines[1].left,
                  1.0)
          << backend << ": " << c.text;
      // The shorter second line lies at the named side, not across from it.
      EXPECT_GT(right ? lines[1].left - lines[0].left : lines[0].right - lines[1].right, 50)
          << backend << ": " << c.text;
    }
  }
}

// A caption of many lines, each line a layer of its own, is laid out once for all of them (not
// once per line, which made a long caption's frame quadratic), on both text layers; each layer
// gets its own line where it sits in the whole text.
TEST(TextOutlines, EachLineOfOneLayoutIsLaidOutOnceForAllLines) {
  std::string text;
  constexpr int kLines = 200;
  for (int line = 0; line < kLines; ++line) text += (line == 0 ? "H" : "\nH");
  const double line_height = AtSize(kAscender + kDescender, 100);
  for (const char* backend : {"pango", "freetype"}) {
    const test::ScopedEnvironment chosen("QUORVEL_TEXT_BACKEND", backend);
    TextLayer layer = Layer(text);
    layer.position = Point2{0, 7.25};  // a place no other test lays text out at
    const size_t before = LayoutsMade();
    for (int line = 0; line < kLines; ++line) {
      layer.shown_line = line;
      const TextOutlines outlines = TextOutlinesAt(layer, 0);
      ASSERT_EQ(outlines.size(), 1u) << backend << " line " << line;
      EXPECT_NEAR(VertexBounds(outlines).top,
                  layer.position.At(0).y + AtSize(kAscender - kHHeight, 100) + line_height * line,
                  kTolerance)
          << backend << " line " << line;
    }
    EXPECT_EQ(LayoutsMade() - before, 1u) << backend;
  }
}

// The FreeType layer shapes and orders right-to-left and mixed lines as pango does (HarfBuzz
// under both): the same joined glyphs in the same places.
TEST(TextOutlines, TheFreeTypeLayerShapesAsPangoDoes) {
  for (const char* text : {"سلام عليكم", "שלום עולם", "Ada: שלום 42"}) {
    std::vector<double> lefts[2];
    for (int backend = 0; backend < 2; ++backend) {
      const test::ScopedEnvironment chosen("QUORVEL_TEXT_BACKEND",
                                           backend == 0 ? "pango" : "freetype");
      for (const TextOutline& outline : TextOutlinesAt(Layer(text), 0)) {
        lefts[backend].push_back(VertexBounds({outline}).left);
      }
      std::sort(lefts[backend].begin(), lefts[backend].end());
    }
    ASSERT_FALSE(lefts[1].empty()) << text;
    ASSERT_EQ(lefts[0].size(), lefts[1].size()) << text;
    for (size_t i = 0; i < lefts[0].size(); ++i) EXPECT_NEAR(lefts[0][i], lefts[1][i], 0.1) << text;
  }
}

TEST(TextOutlines, BoldStyleUsesBoldFace) {
  TextLayer layer = Layer("H");
  layer.font_style = "Bold";
  const Bounds bounds = VertexBounds(TextOutlinesAt(layer, 0));
  EXPECT_NEAR(bounds.left, AtSize(kBoldHLeft, 100), kTolerance);
  EXPECT_NEAR(bounds.right, AtSize(kBoldHRight, 100), kTolerance);
}

TEST(TextOutlines, EmptyTextGivesNone) {
  EXPECT_TRUE(TextOutlinesAt(Layer(""), 0).empty());
}

TEST(TextOutlines, BlankTextGivesNone) {
  EXPECT_TRUE(TextOutlinesAt(Layer("  \n \t"), 0).empty());
}

TEST(TextOutlines, UnusableFontSizeGivesNone) {
  EXPECT_TRUE(TextOutlinesAt(Layer("H", 0), 0).empty());
  EXPECT_TRUE(TextOutlinesAt(Layer("H", -10), 0).empty());
  EXPECT_TRUE(TextOutlinesAt(Layer("H", std::nan("")), 0).empty());
  EXPECT_TRUE(TextOutlinesAt(Layer("H", kMaxFontSize * 2), 0).empty());
}

TEST(TextOutlines, InvalidUtf8DoesNotCutTheText) {
  // The bad byte is replaced, so the second H is still laid out after it.
  const TextOutlines outlines = TextOutlinesAt(Layer("H\xffH"), 0);
  ASSERT_GE(outlines.size(), 2u);
  EXPECT_GT(VertexBounds({outlines.back()}).left, AtSize(kHAdvance, 100));
}

TEST(TextOutlines, KeyframedTextChangesBetweenTimes) {
  TextLayer layer = Layer("");
  layer.text.keys = {{0.0, "H"}, {1.0, "HH"}};
  EXPECT_EQ(TextOutlinesAt(layer, 0.5).size(), 1u);
  EXPECT_EQ(TextOutlinesAt(layer, 1.0).size(), 2u);
}

TEST(TextOutlines, KeyframedPositionMovesOutlines) {
  TextLayer layer = Layer("H");
  layer.position.keys = {{0.0, {0, 0}}, {1.0, {40, -20}}};
  const Bounds start = VertexBounds(TextOutlinesAt(layer, 0));
  const Bounds middle = VertexBounds(TextOutlinesAt(layer, 0.5));
  EXPECT_NEAR(middle.left - start.left, 20, kTolerance);
  EXPECT_NEAR(middle.top - start.top, -10, kTolerance);
}

TEST(TextOutlines, ExplicitOutlinesReturnedAsGiven) {
  TextLayer layer = Layer("H");
  layer.position = Point2{500, 500};
  TextOutline square;
  square.vertices = {{10, 20, 0, 0, 0, 0}, {110, 20, 0, 0, 0, 0}, {110, 70, 0, 0, 0, 0}};
  layer.explicit_outlines = TextOutlines{square};
  const TextOutlines outlines = TextOutlinesAt(layer, 3);
  ASSERT_EQ(outlines.size(), 1u);
  ASSERT_EQ(outlines[0].vertices.size(), 3u);
  EXPECT_EQ(outlines[0].vertices[1].x, 110);
  EXPECT_EQ(outlines[0].vertices[2].y, 70);
}

TEST(TextOutlines, ExplicitOutlinesKeyedByTime) {
  TextLayer layer = Layer("H");
  Animated<TextOutlines> keyed;
  keyed.keys = {{0.0, TextOutlines(1)}, {1.0, TextOutlines(2)}};
  layer.explicit_outlines = keyed;
  EXPECT_EQ(TextOutlinesAt(layer, 0.9).size(), 1u);
  EXPECT_EQ(TextOutlinesAt(layer, 1.0).size(), 2u);
}

TEST(TextOutlines, SameOutlinesFromSeveralThreads) {
  const TextLayer layer = Layer("Quorvel\nOutlines");
  const TextOutlines expected = TextOutlinesAt(layer, 0);
  std::vector<TextOutlines> results(4);
  std::vector<std::thread> threads;
  for (TextOutlines& result : results) {
    threads.emplace_back([&layer, &result] {
      for (int repeat = 0; repeat < 5; ++repeat) result = TextOutlinesAt(layer, 0);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const TextOutlines& result : results) {
    ASSERT_EQ(result.size(), expected.size());
    for (size_t i = 0; i < result.size(); ++i) {
      ASSERT_EQ(result[i].vertices.size(), expected[i].vertices.size());
      for (size_t v = 0; v < result[i].vertices.size(); ++v) {
        EXPECT_EQ(result[i].vertices[v].x, expected[i].vertices[v].x);
        EXPECT_EQ(result[i].vertices[v].y, expected[i].vertices[v].y);
      }
    }
  }
}

// --- Layer pixels ---------------------------------------------------------------------------

class LayerPixels : public ::testing::Test {
 protected:
  static constexpr int kWidth = 120;
  static constexpr int kHeight = 120;

  // Renders "H" at 100 px with its layout box at the origin into a buffer with spare bytes
  // at the end of each row, which must stay as they were.
  bool Render(const TextLayer& layer, long rowbytes = kWidth * 4 + 8) {
    rowbytes_ = rowbytes;
    buffer_.assign(static_cast<size_t>(rowbytes * kHeight), 0xAB);
    return RenderLayerPixels(layer, 0, kWidth, kHeight, reinterpret_cast<PF_Pixel*>(buffer_.data()),
                             rowbytes);
  }
  PF_Pixel At(int x, int y) const {
    PF_Pixel pixel;
    std::copy_n(&buffer_[static_cast<size_t>(y * rowbytes_ + x * 4)], 4,
                reinterpret_cast<unsigned char*>(&pixel));
    return pixel;
  }

  std::vector<unsigned char> buffer_;
  long rowbytes_ = 0;
};

// The left stem of "H" at 100 px spans x 9.81 to 19.68 and y 19.92 to 92.82.
constexpr int kInsideStemX = 14;
constexpr int kInsideStemY = 50;

TEST_F(LayerPixels, InsideGlyphIsLayerColour) {
  TextLayer layer = Layer("H");
  layer.color = PF_Pixel{255, 200, 100, 50};
  ASSERT_TRUE(Render(layer));
  const PF_Pixel pixel = At(kInsideStemX, kInsideStemY);
  EXPECT_EQ(pixel.alpha, 255);
  EXPECT_EQ(pixel.red, 200);
  EXPECT_EQ(pixel.green, 100);
  EXPECT_EQ(pixel.blue, 50);
}

TEST_F(LayerPixels, OutsideGlyphIsTransparent) {
  ASSERT_TRUE(Render(Layer("H")));
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{5, 50}, std::pair{40, 10}}) {
    const PF_Pixel pixel = At(x, y);
    EXPECT_EQ(pixel.alpha, 0);
    EXPECT_EQ(pixel.red, 0);
  }
}

TEST_F(LayerPixels, TranslucentColourIsPremultiplied) {
  TextLayer layer = Layer("H");
  layer.color = PF_Pixel{128, 200, 100, 50};
  ASSERT_TRUE(Render(layer));
  const PF_Pixel pixel = At(kInsideStemX, kInsideStemY);
  EXPECT_EQ(pixel.alpha, 128);
  EXPECT_NEAR(pixel.red, 100, 1);  // 200 × 128 / 255
  EXPECT_NEAR(pixel.green, 50, 1);
  EXPECT_NEAR(pixel.blue, 25, 1);
}

TEST_F(LayerPixels, EdgePixelIsAntialiased) {
  // Pixel column 9 is covered from x 9.81 on: about a fifth of it.
  ASSERT_TRUE(Render(Layer("H")));
  const PF_Pixel pixel = At(9, kInsideStemY);
  EXPECT_GT(pixel.alpha, 20);
  EXPECT_LT(pixel.alpha, 80);
}

TEST_F(LayerPixels, SpareRowBytesUntouched) {
  ASSERT_TRUE(Render(Layer("H")));
  for (int y = 0; y < kHeight; ++y) {
    for (long byte = kWidth * 4; byte < rowbytes_; ++byte) {
      ASSERT_EQ(buffer_[static_cast<size_t>(y * rowbytes_ + byte)], 0xAB);
    }
  }
}

TEST_F(LayerPixels, RowsShorterThanWidthRefused) {
  EXPECT_FALSE(Render(Layer("H"), kWidth * 4 - 4));
  EXPECT_EQ(buffer_[0], 0xAB);
}

TEST_F(LayerPixels, ExplicitOutlinesFilled) {
  TextLayer layer = Layer("H");
  TextOutline square;
  square.vertices = {
      {60, 60, 0, 0, 0, 0}, {100, 60, 0, 0, 0, 0}, {100, 100, 0, 0, 0, 0}, {60, 100, 0, 0, 0, 0}};
  layer.explicit_outlines = TextOutlines{square};
  ASSERT_TRUE(Render(layer));
  EXPECT_EQ(At(80, 80).alpha, 255);
  EXPECT_EQ(At(kInsideStemX, kInsideStemY).alpha, 0);  // the text itself is not drawn
  EXPECT_EQ(At(59, 80).alpha, 0);
}

}  // namespace
}  // namespace quorvel::headless
