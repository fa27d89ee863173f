// SPDX-License-Identifier: MIT
// The parts of the outline measurement that need no host: the accumulator and the unit
// conversions. Whole measurements through the headless host's text layer are in
// measure_text_bounds_test.cpp.
#include "text/text_bounds.h"

#include <gtest/gtest.h>

#include <limits>

namespace quorvel {
namespace {

constexpr A_long kNoPixels = std::numeric_limits<A_long>::min();

TEST(TextBoundsAccumulator, FirstVertexSetsAllFourBounds) {
  TextBounds bounds;
  TextBoundsAccumulator accumulator(bounds);
  accumulator.Vertex(10, 20, true);
  EXPECT_EQ(bounds.left, 10);
  EXPECT_EQ(bounds.right, 10);
  EXPECT_EQ(bounds.top, 20);
  EXPECT_EQ(bounds.bottom, 20);
}

TEST(TextBoundsAccumulator, FirstVertexReplacesWhateverWasThere) {
  // Bounds start from the first vertex that arrives, not from 0.
  TextBounds bounds;
  TextBoundsAccumulator accumulator(bounds);
  accumulator.Vertex(50, 60, true);
  accumulator.Vertex(70, 65, false);
  EXPECT_EQ(bounds.left, 50);
  EXPECT_EQ(bounds.right, 70);
  EXPECT_EQ(bounds.top, 60);
  EXPECT_EQ(bounds.bottom, 65);
}

TEST(TextBoundsAccumulator, LaterVerticesOnlyWidenTheBounds) {
  TextBounds bounds;
  TextBoundsAccumulator accumulator(bounds);
  accumulator.Vertex(30, 40, true);
  accumulator.Vertex(10, 70, false);
  accumulator.Vertex(110, 20, false);
  accumulator.Vertex(50, 50, false);
  EXPECT_EQ(bounds.left, 10);
  EXPECT_EQ(bounds.right, 110);
  EXPECT_EQ(bounds.top, 20);
  EXPECT_EQ(bounds.bottom, 70);
}

TEST(TextBoundsAccumulator, NegativeCoordinatesAreKept) {
  TextBounds bounds;
  TextBoundsAccumulator accumulator(bounds);
  accumulator.Vertex(-5, -7, true);
  accumulator.Vertex(-1, -9, false);
  EXPECT_EQ(bounds.left, -5);
  EXPECT_EQ(bounds.right, -1);
  EXPECT_EQ(bounds.top, -9);
  EXPECT_EQ(bounds.bottom, -7);
}

TEST(TextBoundsAccumulator, TouchesNoOtherField) {
  TextBounds bounds;
  bounds.width = 3;
  bounds.pixel_height = 4;
  TextBoundsAccumulator accumulator(bounds);
  accumulator.Vertex(1, 2, true);
  EXPECT_EQ(bounds.width, 3);
  EXPECT_EQ(bounds.pixel_height, 4);
}

TEST(TextBounds, StartsAllZero) {
  const TextBounds bounds;
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.right, 0);
  EXPECT_EQ(bounds.top, 0);
  EXPECT_EQ(bounds.bottom, 0);
  EXPECT_EQ(bounds.width, 0);
  EXPECT_EQ(bounds.height, 0);
  EXPECT_EQ(bounds.growth_x, 0);
  EXPECT_EQ(bounds.growth_y, 0);
  EXPECT_EQ(bounds.pixel_width, 0);
  EXPECT_EQ(bounds.pixel_height, 0);
  EXPECT_FALSE(bounds.wider);
}

TEST(DownsampleFactor, HalfIsExact) {
  EXPECT_EQ(DownsampleFactor({1, 2}), 0.5);
}

TEST(DownsampleFactor, ThirdIsDividedInSinglePrecision) {
  EXPECT_EQ(DownsampleFactor({1, 3}), 0.3333333432674408);
}

TEST(DownsampleFactor, FullResolutionIsOne) {
  EXPECT_EQ(DownsampleFactor({1, 1}), 1.0);
}

TEST(DownsampleFactor, ZeroDenominatorCountsAsFullResolution) {
  EXPECT_EQ(DownsampleFactor({1, 0}), 1.0);
  EXPECT_EQ(DownsampleFactor({0, 0}), 1.0);
}

TEST(WholePixels, WholeValueIsUnchanged) {
  EXPECT_EQ(WholePixels(110), 110);
}

TEST(WholePixels, FractionGoesUpTowardPlusInfinity) {
  EXPECT_EQ(WholePixels(30.7), 31);
  EXPECT_EQ(WholePixels(0.001), 1);
  EXPECT_EQ(WholePixels(-2.5), -2);
}

TEST(WholePixels, OutOfRangeBecomesMostNegative) {
  EXPECT_EQ(WholePixels(3e9), kNoPixels);
  EXPECT_EQ(WholePixels(-3e9), kNoPixels);
  EXPECT_EQ(WholePixels(std::numeric_limits<double>::infinity()), kNoPixels);
  EXPECT_EQ(WholePixels(2147483647.5), kNoPixels);
}

TEST(WholePixels, NaNBecomesMostNegative) {
  EXPECT_EQ(WholePixels(std::numeric_limits<double>::quiet_NaN()), kNoPixels);
}

TEST(WholePixels, EdgesOfTheRangeAreKept) {
  EXPECT_EQ(WholePixels(2147483647.0), 2147483647);
  EXPECT_EQ(WholePixels(-2147483647.5), -2147483647);
}

TEST(ScaleWholePixels, HalfOfAnOddWidthTruncates) {
  EXPECT_EQ(ScaleWholePixels(101, 0.5), 50);
}

TEST(ScaleWholePixels, ThirdUsesTheSinglePrecisionFactor) {
  EXPECT_EQ(ScaleWholePixels(101, DownsampleFactor({1, 3})), 33);
}

TEST(ScaleWholePixels, NegativeTruncatesTowardZero) {
  EXPECT_EQ(ScaleWholePixels(-3, 0.5), -1);
}

TEST(ScaleWholePixels, OutOfRangeProductBecomesMostNegative) {
  EXPECT_EQ(ScaleWholePixels(2000000000, 2.0), kNoPixels);
  EXPECT_EQ(ScaleWholePixels(kNoPixels, 0.5), -1073741824);
}

}  // namespace
}  // namespace quorvel
