// SPDX-License-Identifier: MIT
#include "render/box_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "headless/instance/call_context.h"
#include "headless/suites/suite_registry.h"

namespace quorvel {
namespace {

struct Point {
  double x;
  double y;
};

Point Apply(const Matrix3& m, Point p) {
  return Point{p.x * m.m[0] + p.y * m.m[3] + m.m[6], p.x * m.m[1] + p.y * m.m[4] + m.m[7]};
}

// --- Roundness curve -------------------------------------------------------------------------
// The table's values have five significant digits; each tolerance is half a unit of the last.

TEST(RemapRoundness, ZeroKeepsSquareCorners) {
  EXPECT_EQ(RemapRoundness(0), 0.0);
}

TEST(RemapRoundness, HundredGivesHalfTheHeightAsRadius) {
  EXPECT_EQ(RemapRoundness(100), 2.0);
}

TEST(RemapRoundness, FollowsTheCurveBetweenTheEnds) {
  EXPECT_NEAR(RemapRoundness(75), 5.6314, 0.00005);
  EXPECT_NEAR(RemapRoundness(50), 13.954, 0.0005);
  EXPECT_NEAR(RemapRoundness(25), 87.758, 0.0005);
  EXPECT_NEAR(RemapRoundness(10), 331.93, 0.005);
  EXPECT_NEAR(RemapRoundness(1), 1345.5, 0.05);
  EXPECT_NEAR(RemapRoundness(0.01), 2785.1, 0.05);
}

TEST(RemapRoundness, StretchStartsWhereTheSquareReachesFifteen) {
  // About 46.005 puts b at 15, the factor at 16; the stretch of larger b makes no jump there.
  EXPECT_NEAR(RemapRoundness(46.005), 16.0, 0.001);
}

TEST(RemapRoundness, NegativeValuesJumpToTenThousand) {
  EXPECT_EQ(RemapRoundness(-1), 10000.0);
  EXPECT_EQ(RemapRoundness(-0.001), 10000.0);
  EXPECT_EQ(RemapRoundness(-100), 10000.0);
}

TEST(RemapRoundness, FactorAbove3327JumpsToTenThousand) {
  // Tiny positive values come close to cbrt(2000) + 1 squared and stretched: above 3327.
  EXPECT_EQ(RemapRoundness(1e-12), 10000.0);
}

TEST(RemapRoundness, LargerRoundnessGivesSmallerFactor) {
  EXPECT_GT(RemapRoundness(10), RemapRoundness(25));
  EXPECT_GT(RemapRoundness(25), RemapRoundness(75));
}

// --- Anchor point ----------------------------------------------------------------------------

TEST(AnchorOffset, LeftTopIsTheWorldOrigin) {
  const AnchorPoint a = AnchorOffset(AnchorX::Left, AnchorY::Top, 120, 70);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
}

TEST(AnchorOffset, CenterIsHalfTheWorld) {
  const AnchorPoint a = AnchorOffset(AnchorX::Center, AnchorY::Center, 101, 70);
  EXPECT_EQ(a.x, 50.5);
  EXPECT_EQ(a.y, 35);
}

TEST(AnchorOffset, RightBottomIsTheFarCorner) {
  const AnchorPoint a = AnchorOffset(AnchorX::Right, AnchorY::Bottom, 120, 70);
  EXPECT_EQ(a.x, 120);
  EXPECT_EQ(a.y, 70);
}

TEST(AnchorOffset, AxesAreIndependent) {
  const AnchorPoint a = AnchorOffset(AnchorX::Right, AnchorY::Top, 120, 70);
  EXPECT_EQ(a.x, 120);
  EXPECT_EQ(a.y, 0);
}

TEST(AnchorOffset, UnknownPopupValuesCountAsLeftTop) {
  for (const A_long value : {0, 4, -1, 1000}) {
    const AnchorPoint a = AnchorOffset(value, value, 120, 70);
    EXPECT_EQ(a.x, 0) << value;
    EXPECT_EQ(a.y, 0) << value;
  }
}

// --- Placement matrix without rotation: no host service is used -------------------------------

class PlacementWithoutRotation : public ::testing::Test {
 protected:
  PlacementWithoutRotation() { in_data_.pica_basicP = &no_services_; }

  Matrix3 Build(const TransformSample& sample, const TextBounds& bounds, double eu, double ew,
                double eh, double bw, ShapeKind shape, AnchorPoint anchor) {
    return BuildPlacementMatrix(&in_data_, sample, bounds, eu, ew, eh, bw, shape, anchor);
  }

  // A basic suite with no functions at all: any suite acquisition would crash.
  SPBasicSuite no_services_{};
  PF_InData in_data_{};
};

TextBounds TextBox(double left, double top, double width, double height) {
  TextBounds bounds;
  bounds.left = left;
  bounds.top = top;
  bounds.right = left + width;
  bounds.bottom = top + height;
  bounds.width = width;
  bounds.height = height;
  bounds.wider = width > height;
  return bounds;
}

TEST_F(PlacementWithoutRotation, UntransformedIsThePureSumOfTheShifts) {
  TransformSample sample;
  sample.position_x = 7;
  sample.position_y = 8;
  TextBounds bounds = TextBox(10, 20, 100, 50);
  bounds.growth_y = -12;
  // Anchor Center on a 120 x 70 world: steps 1 and 5 cancel.
  const Matrix3 m = Build(sample, bounds, 2, 3, 4, 6, ShapeKind::Square, {60, 35});
  EXPECT_EQ(m.m[0], 1);
  EXPECT_EQ(m.m[1], 0);
  EXPECT_EQ(m.m[3], 0);
  EXPECT_EQ(m.m[4], 1);
  // x: 7 + 10 - 2 - 3 - 6/2; y: 8 + 20 - 2 - 4 - 6/2 - 12/2.
  EXPECT_EQ(m.m[6], 9);
  EXPECT_EQ(m.m[7], 13);
  EXPECT_EQ(m.m[2], 0);
  EXPECT_EQ(m.m[5], 0);
  EXPECT_EQ(m.m[8], 1);
}

TEST_F(PlacementWithoutRotation, ExpansionReachesBeyondTheTextOnEverySide) {
  const TextBounds bounds = TextBox(10, 20, 100, 50);
  const Matrix3 m = Build(TransformSample{}, bounds, 5, 2, 1, 0, ShapeKind::Auto, {});
  const Point corner = Apply(m, {0, 0});
  EXPECT_EQ(corner.x, 10 - 5 - 2);
  EXPECT_EQ(corner.y, 20 - 5 - 1);
}

TEST_F(PlacementWithoutRotation, PositionOffsetsTheWholeBox) {
  TransformSample sample;
  sample.position_x = 100;
  sample.position_y = -40;
  const TextBounds bounds = TextBox(10, 20, 100, 50);
  const Point corner = Apply(Build(sample, bounds, 0, 0, 0, 0, ShapeKind::Auto, {}), {0, 0});
  EXPECT_EQ(corner.x, 110);
  EXPECT_EQ(corner.y, -20);
}

TEST_F(PlacementWithoutRotation, SquareOnAWideTextIsCentredVertically) {
  // Text 100 x 50, no expansion: a 100 x 100 square whose top edge is 25 above the text.
  TextBounds bounds = TextBox(10, 20, 100, 50);
  bounds.height = 100;
  bounds.growth_y = -50;
  const Matrix3 m = Build(TransformSample{}, bounds, 0, 0, 0, 0, ShapeKind::Square, {});
  const Point corner = Apply(m, {0, 0});
  EXPECT_EQ(corner.x, 10);
  EXPECT_EQ(corner.y, -5);
  const Point centre = Apply(m, {50, 50});
  EXPECT_EQ(centre.x, 60);
  EXPECT_EQ(centre.y, 45);
}

TEST_F(PlacementWithoutRotation, SquareOnATallTextIsCentredHorizontally) {
  // Text 50 x 100: the square's left edge is 25 left of the text's left.
  TextBounds bounds = TextBox(10, 20, 50, 100);
  bounds.width = 100;
  bounds.growth_x = -50;
  const Point corner =
      Apply(Build(TransformSample{}, bounds, 0, 0, 0, 0, ShapeKind::Circle, {}), {0, 0});
  EXPECT_EQ(corner.x, -15);
  EXPECT_EQ(corner.y, 20);
}

TEST_F(PlacementWithoutRotation, AutoIgnoresTheGrowthFields) {
  TextBounds bounds = TextBox(10, 20, 100, 50);
  bounds.growth_x = -8;
  bounds.growth_y = -50;
  const Point corner =
      Apply(Build(TransformSample{}, bounds, 0, 0, 0, 0, ShapeKind::Auto, {}), {0, 0});
  EXPECT_EQ(corner.x, 10);
  EXPECT_EQ(corner.y, 20);
}

TEST_F(PlacementWithoutRotation, BorderLeavesTheFillWhereItWouldBeWithoutIt) {
  // Border 10: the box world is 10 larger each way and holds the fill at (5, 5).
  const TextBounds bounds = TextBox(10, 20, 100, 50);
  const Matrix3 bordered = Build(TransformSample{}, bounds, 0, 0, 0, 10, ShapeKind::Auto, {});
  const Point world_corner = Apply(bordered, {0, 0});
  EXPECT_EQ(world_corner.x, 5);
  EXPECT_EQ(world_corner.y, 15);
  const Point fill_corner = Apply(bordered, {5, 5});
  const Point unbordered =
      Apply(Build(TransformSample{}, bounds, 0, 0, 0, 0, ShapeKind::Auto, {}), {0, 0});
  EXPECT_EQ(fill_corner.x, unbordered.x);
  EXPECT_EQ(fill_corner.y, unbordered.y);
}

TEST_F(PlacementWithoutRotation, SkewShearsAboutTheAnchor) {
  TransformSample sample;
  sample.skew_x = 0.5;  // Skew X 5
  const TextBounds bounds = TextBox(0, 0, 100, 50);
  const AnchorPoint anchor{50, 25};
  const Matrix3 m = Build(sample, bounds, 0, 0, 0, 0, ShapeKind::Auto, anchor);
  const Point pivot = Apply(m, {50, 25});
  EXPECT_EQ(pivot.x, 50);
  EXPECT_EQ(pivot.y, 25);
  const Point below = Apply(m, {50, 35});
  EXPECT_EQ(below.x, 55);
  EXPECT_EQ(below.y, 35);
}

TEST_F(PlacementWithoutRotation, ScaleActsAboutTheAnchor) {
  TransformSample sample;
  sample.scale_x = 1.5;
  sample.scale_y = 0.5;
  const TextBounds bounds = TextBox(0, 0, 100, 50);
  const Matrix3 m = Build(sample, bounds, 0, 0, 0, 0, ShapeKind::Auto, {100, 50});
  const Point pivot = Apply(m, {100, 50});
  EXPECT_EQ(pivot.x, 100);
  EXPECT_EQ(pivot.y, 50);
  const Point origin = Apply(m, {0, 0});
  EXPECT_EQ(origin.x, -50);
  EXPECT_EQ(origin.y, 25);
}

TEST_F(PlacementWithoutRotation, VerticalShiftUsesTheUniformExpansionAsGiven) {
  // The uniform expansion arrives rescaled by the horizontal factor and is used as it is in y.
  const TextBounds bounds = TextBox(10, 20, 100, 50);
  const Point corner =
      Apply(Build(TransformSample{}, bounds, 2.5, 0, 0.25, 0, ShapeKind::Auto, {}), {0, 0});
  EXPECT_EQ(corner.y, 20 - 2.5 - 0.25);
}

TEST_F(PlacementWithoutRotation, MotionBlurPairIsOpenThenCloseAndFollowsTheMovement) {
  TransformSample open_sample;
  TransformSample close_sample;
  close_sample.position_x = 1;
  close_sample.position_y = 2;
  const TextBounds open_bounds = TextBox(10, 20, 100, 50);
  const TextBounds close_bounds = TextBox(14, 23, 100, 50);
  const std::array<Matrix3, 2> pair =
      BuildMotionBlurPlacement(&in_data_, open_sample, open_bounds, close_sample, close_bounds, 0,
                               0, 0, 0, ShapeKind::Auto, {});
  EXPECT_EQ(pair[0].m[6], 10);
  EXPECT_EQ(pair[0].m[7], 20);
  EXPECT_EQ(pair[1].m[6], 15);
  EXPECT_EQ(pair[1].m[7], 25);
}

TEST(BuildPlacementMatrix, WithoutBasicSuiteFails) {
  PF_InData in_data{};
  try {
    BuildPlacementMatrix(&in_data, TransformSample{}, TextBounds{}, 0, 0, 0, 0, ShapeKind::Auto,
                         {});
    FAIL() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
}

// --- Placement matrix with rotation, through the headless host ------------------------------

class PlacementWithRotation : public ::testing::Test {
 protected:
  PlacementWithRotation() { in_data_.pica_basicP = headless::HostBasicSuite(); }

  Matrix3 Build(const TransformSample& sample, const TextBounds& bounds, double eu, double ew,
                double eh, double bw, ShapeKind shape, AnchorPoint anchor) {
    return BuildPlacementMatrix(&in_data_, sample, bounds, eu, ew, eh, bw, shape, anchor);
  }

  headless::CallContext context_;
  headless::ScopedCall call_{context_};
  PF_InData in_data_{};
};

TEST_F(PlacementWithRotation, CenterAnchorTurnsAboutTheCentreOfTheText) {
  // Text 10..110 x 20..70 with Eu 5: a 110 x 60 box whose centre is the text's (60, 45).
  TransformSample sample;
  sample.rotation = 90;
  const TextBounds bounds = TextBox(10, 20, 100, 50);
  const Matrix3 m = Build(sample, bounds, 5, 0, 0, 0, ShapeKind::Auto, {55, 30});
  const Point centre = Apply(m, {55, 30});
  EXPECT_NEAR(centre.x, 60, 1e-12);
  EXPECT_NEAR(centre.y, 45, 1e-12);
  // The top-left corner, 55 left of and 30 above the centre, turns clockwise to 30 right of
  // and 55 above it.
  const Point corner = Apply(m, {0, 0});
  EXPECT_NEAR(corner.x, 90, 1e-12);
  EXPECT_NEAR(corner.y, -10, 1e-12);
  EXPECT_TRUE(context_.ledger.Empty()) << context_.ledger.Describe();
}

TEST_F(PlacementWithRotation, LeftTopAnchorTurnsAboutTheBoxCorner) {
  TransformSample sample;
  sample.rotation = 90;
  sample.position_x = 3;
  sample.position_y = 4;
  const TextBounds bounds = TextBox(10, 20, 100, 50);
  const Matrix3 m = Build(sample, bounds, 5, 2, 1, 0, ShapeKind::Auto, {0, 0});
  const Point corner = Apply(m, {0, 0});
  EXPECT_NEAR(corner.x, 10 - 5 - 2 + 3, 1e-12);
  EXPECT_NEAR(corner.y, 20 - 5 - 1 + 4, 1e-12);
  // The box's top edge now runs downwards from the corner.
  const Point along_top = Apply(m, {10, 0});
  EXPECT_NEAR(along_top.x, corner.x, 1e-12);
  EXPECT_NEAR(along_top.y, corner.y + 10, 1e-12);
}

TEST_F(PlacementWithRotation, ScaleAfterRotationSqueezesInOutputAxes) {
  // Rotation 45, Scale Width 50 %, Scale Height 100 %: the box's edges (1, 0) and (0, 1) go to
  // (0.5 c, s) and (-0.5 s, c), whose dot product is 0.75 s c = 0.375: no longer square.
  TransformSample sample;
  sample.rotation = 45;
  sample.scale_x = 0.5;
  const Matrix3 m = Build(sample, TextBox(0, 0, 100, 50), 0, 0, 0, 0, ShapeKind::Auto, {});
  const double dot = m.m[0] * m.m[3] + m.m[1] * m.m[4];
  EXPECT_NEAR(dot, 0.375, 1e-12);
  const double half_sqrt2 = std::sqrt(0.5);
  EXPECT_NEAR(m.m[0], 0.5 * half_sqrt2, 1e-12);
  EXPECT_NEAR(m.m[1], half_sqrt2, 1e-12);
}

TEST_F(PlacementWithRotation, RotationAddsNothingWhenZeroAndNeedsNoAnsiSuite) {
  headless::FaultPlan faults;
  faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  context_.faults = &faults;
  const Matrix3 m =
      Build(TransformSample{}, TextBox(10, 20, 100, 50), 0, 0, 0, 0, ShapeKind::Auto, {});
  EXPECT_EQ(m.m[6], 10);
  EXPECT_EQ(m.m[7], 20);
  context_.faults = nullptr;
}

TEST_F(PlacementWithRotation, MissingAnsiSuiteFailsWhenRotating) {
  headless::FaultPlan faults;
  faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  context_.faults = &faults;
  TransformSample sample;
  sample.rotation = 10;
  try {
    Build(sample, TextBox(10, 20, 100, 50), 0, 0, 0, 0, ShapeKind::Auto, {});
    ADD_FAILURE() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  context_.faults = nullptr;
  EXPECT_TRUE(context_.ledger.Empty()) << context_.ledger.Describe();
}

}  // namespace
}  // namespace quorvel
