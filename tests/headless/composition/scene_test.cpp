// SPDX-License-Identifier: MIT
#include "headless/composition/scene.h"

#include <gtest/gtest.h>

namespace quorvel::headless {
namespace {

Animated<double> TenToThirtyOverTwoSeconds() {
  Animated<double> value;
  value.keys = {{0.0, 10.0}, {2.0, 30.0}};
  return value;
}

TEST(InterpolateNumber, ConstantWithoutKeys) {
  EXPECT_EQ(Interpolate(Animated<double>(7.5), 3.0), 7.5);
}

TEST(InterpolateNumber, LinearBetweenKeys) {
  EXPECT_DOUBLE_EQ(Interpolate(TenToThirtyOverTwoSeconds(), 0.5), 15.0);
  EXPECT_DOUBLE_EQ(Interpolate(TenToThirtyOverTwoSeconds(), 1.0), 20.0);
}

TEST(InterpolateNumber, KeyValueAtKeyTime) {
  EXPECT_EQ(Interpolate(TenToThirtyOverTwoSeconds(), 0.0), 10.0);
  EXPECT_EQ(Interpolate(TenToThirtyOverTwoSeconds(), 2.0), 30.0);
}

TEST(InterpolateNumber, ClampedOutsideKeys) {
  EXPECT_EQ(Interpolate(TenToThirtyOverTwoSeconds(), -1.0), 10.0);
  EXPECT_EQ(Interpolate(TenToThirtyOverTwoSeconds(), 5.0), 30.0);
}

TEST(InterpolateNumber, EachSpanBetweenItsOwnKeys) {
  Animated<double> value;
  value.keys = {{0.0, 0.0}, {1.0, 100.0}, {3.0, 0.0}};
  EXPECT_DOUBLE_EQ(Interpolate(value, 0.25), 25.0);
  EXPECT_DOUBLE_EQ(Interpolate(value, 2.0), 50.0);
}

TEST(InterpolatePoint, BothCoordinatesLinear) {
  Animated<Point2> value;
  value.keys = {{0.0, {0.0, 0.0}}, {1.0, {100.0, -50.0}}};
  const Point2 point = Interpolate(value, 0.25);
  EXPECT_DOUBLE_EQ(point.x, 25.0);
  EXPECT_DOUBLE_EQ(point.y, -12.5);
}

TEST(InterpolatePoint, ClampedOutsideKeys) {
  Animated<Point2> value;
  value.keys = {{1.0, {10.0, 20.0}}, {2.0, {30.0, 40.0}}};
  EXPECT_EQ(Interpolate(value, 0.0).x, 10.0);
  EXPECT_EQ(Interpolate(value, 9.0).y, 40.0);
}

TEST(InterpolateText, HoldsLastKeyAtOrBeforeTime) {
  Animated<std::string> text;
  text.keys = {{0.0, "A"}, {1.0, "B"}};
  EXPECT_EQ(Interpolate(text, 0.999), "A");
  EXPECT_EQ(Interpolate(text, 1.0), "B");
  EXPECT_EQ(Interpolate(text, 7.0), "B");
}

TEST(InterpolateText, FirstKeyBeforeIt) {
  Animated<std::string> text;
  text.keys = {{1.0, "A"}, {2.0, "B"}};
  EXPECT_EQ(Interpolate(text, 0.0), "A");
}

TEST(InterpolateText, ConstantWithoutKeys) {
  EXPECT_EQ(Interpolate(Animated<std::string>(std::string("Quorvel")), 4.0), "Quorvel");
}

TEST(InterpolateOutlines, HeldLikeText) {
  Animated<TextOutlines> outlines;
  outlines.keys = {{0.0, TextOutlines(1)}, {1.0, TextOutlines(3)}};
  EXPECT_EQ(Interpolate(outlines, 0.5).size(), 1u);
  EXPECT_EQ(Interpolate(outlines, 1.5).size(), 3u);
}

TEST(TextOutlineSegments, ClosedHasOnePerVertex) {
  TextOutline outline;
  outline.vertices.resize(3);
  EXPECT_EQ(outline.NumSegments(), 3);
}

TEST(TextOutlineSegments, OpenHasOneFewerThanVertices) {
  TextOutline outline;
  outline.closed = false;
  outline.vertices.resize(3);
  EXPECT_EQ(outline.NumSegments(), 2);
}

TEST(TextOutlineSegments, EmptyHasNone) {
  TextOutline open;
  open.closed = false;
  EXPECT_EQ(open.NumSegments(), 0);
  EXPECT_EQ(TextOutline{}.NumSegments(), 0);
}

}  // namespace
}  // namespace quorvel::headless
