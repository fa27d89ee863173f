// SPDX-License-Identifier: MIT
// Whole measurements through the headless host's text layer, with outlines of exact vertices.
#include <gtest/gtest.h>

#include "tests/unit/text_layer_fixture.h"
#include "text/text_bounds.h"

namespace quorvel {
namespace {

using test_support::ClosedOutline;
using test_support::OpenOutline;
using test_support::RectangleOutline;

class MeasureTextBoundsTest : public test_support::TextLayerTest {
 protected:
  void SetDownsample(A_long num, A_u_long den) {
    in_data_.downsample_x = {num, den};
    in_data_.downsample_y = {num, den};
  }

  TextBounds Measure(ShapeKind shape, bool at_shutter_open = false) {
    TextBounds bounds;
    MeasureTextBounds(&in_data_, motion_blur_, shape, bounds, at_shutter_open, expansion_uniform_,
                      expansion_width_, expansion_height_, border_width_);
    return bounds;
  }

  A_long motion_blur_ = 0;
  double expansion_uniform_ = 0;
  double expansion_width_ = 0;
  double expansion_height_ = 0;
  double border_width_ = 0;
};

TEST_F(MeasureTextBoundsTest, OneVertexGivesAnEmptyBoxAtThatVertex) {
  // An open outline of one segment: only its first vertex is measured.
  SetOutlines({OpenOutline({{10, 20}, {500, 500}})});
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.left, 10);
  EXPECT_EQ(bounds.right, 10);
  EXPECT_EQ(bounds.top, 20);
  EXPECT_EQ(bounds.bottom, 20);
  EXPECT_EQ(bounds.width, 0);
  EXPECT_EQ(bounds.height, 0);
  EXPECT_EQ(bounds.pixel_width, 0);
  EXPECT_EQ(bounds.pixel_height, 0);
}

TEST_F(MeasureTextBoundsTest, AutoGrowsTheTextByTheExpansionOnEachSide) {
  SetOutlines({RectangleOutline(10, 20, 110, 70)});
  expansion_uniform_ = 5;
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.left, 10);
  EXPECT_EQ(bounds.right, 110);
  EXPECT_EQ(bounds.top, 20);
  EXPECT_EQ(bounds.bottom, 70);
  EXPECT_EQ(bounds.width, 110);
  EXPECT_EQ(bounds.height, 60);
  EXPECT_EQ(bounds.pixel_width, 110);
  EXPECT_EQ(bounds.pixel_height, 60);
  EXPECT_TRUE(bounds.wider);
  EXPECT_EQ(bounds.growth_x, 0);
  EXPECT_EQ(bounds.growth_y, 0);
}

TEST_F(MeasureTextBoundsTest, SquareHeightensAWideBox) {
  SetOutlines({RectangleOutline(10, 20, 110, 70)});
  expansion_uniform_ = 5;
  const TextBounds bounds = Measure(ShapeKind::Square);
  EXPECT_EQ(bounds.width, 110);
  EXPECT_EQ(bounds.height, 110);
  EXPECT_EQ(bounds.pixel_width, 110);
  EXPECT_EQ(bounds.pixel_height, 110);
  EXPECT_EQ(bounds.growth_y, -50);
  EXPECT_EQ(bounds.growth_x, 0);
  EXPECT_TRUE(bounds.wider);
}

TEST_F(MeasureTextBoundsTest, SquareWidensATallBox) {
  SetOutlines({RectangleOutline(0, 0, 50, 100)});
  const TextBounds bounds = Measure(ShapeKind::Square);
  EXPECT_EQ(bounds.width, 100);
  EXPECT_EQ(bounds.height, 100);
  EXPECT_EQ(bounds.pixel_width, 100);
  EXPECT_EQ(bounds.growth_x, -50);
  EXPECT_EQ(bounds.growth_y, 0);
  EXPECT_FALSE(bounds.wider);
}

TEST_F(MeasureTextBoundsTest, CircleOnAnEvenBoxChangesNothing) {
  SetOutlines({RectangleOutline(0, 0, 40, 40)});
  const TextBounds bounds = Measure(ShapeKind::Circle);
  EXPECT_FALSE(bounds.wider);
  EXPECT_EQ(bounds.growth_x, 0);
  EXPECT_EQ(bounds.growth_y, 0);
  EXPECT_EQ(bounds.width, 40);
  EXPECT_EQ(bounds.height, 40);
  EXPECT_EQ(bounds.pixel_width, 40);
  EXPECT_EQ(bounds.pixel_height, 40);
}

TEST_F(MeasureTextBoundsTest, WidthAndHeightExpansionsActPerAxis) {
  SetOutlines({RectangleOutline(10, 20, 110, 70)});
  expansion_uniform_ = 1;
  expansion_width_ = 3;
  expansion_height_ = 4;
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.width, 100 + 2 + 6);
  EXPECT_EQ(bounds.height, 50 + 2 + 8);
}

TEST_F(MeasureTextBoundsTest, FractionalSizeGoesUpToWholePixels) {
  SetOutlines({RectangleOutline(0, 0, 30.7, 20.2)});
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.pixel_width, 31);
  EXPECT_EQ(bounds.pixel_height, 21);
}

TEST_F(MeasureTextBoundsTest, BorderWidthIsLimitedToTheTruncatedLargerSide) {
  SetOutlines({RectangleOutline(0, 0, 30.7, 20)});
  border_width_ = 50;
  Measure(ShapeKind::Auto);
  EXPECT_EQ(border_width_, 30);
}

TEST_F(MeasureTextBoundsTest, BorderWidthWithinTheBoxIsKept) {
  SetOutlines({RectangleOutline(0, 0, 30.7, 20)});
  border_width_ = 12.5;
  Measure(ShapeKind::Auto);
  EXPECT_EQ(border_width_, 12.5);
}

TEST_F(MeasureTextBoundsTest, EmptyTextGivesTheExpansionAloneAboutTheOrigin) {
  SetOutlines({});
  expansion_uniform_ = 3;
  expansion_width_ = 1;
  expansion_height_ = 2;
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.top, 0);
  EXPECT_EQ(bounds.width, 8);
  EXPECT_EQ(bounds.height, 10);
}

TEST_F(MeasureTextBoundsTest, EmptyTextWithoutExpansionIsZeroPixels) {
  SetOutlines({});
  const TextBounds bounds = Measure(ShapeKind::Square);
  EXPECT_EQ(bounds.pixel_width, 0);
  EXPECT_EQ(bounds.pixel_height, 0);
}

TEST_F(MeasureTextBoundsTest, NegativeExpansionLargerThanTheTextLeavesNoPixels) {
  SetOutlines({RectangleOutline(0, 0, 20, 10)});
  expansion_uniform_ = -11;
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_LT(bounds.pixel_width, 1);
  EXPECT_LT(bounds.pixel_height, 1);
}

TEST_F(MeasureTextBoundsTest, BoundsStartFromTheFirstVertexThatArrives) {
  SetOutlines({ClosedOutline({}), ClosedOutline({{50, 60}, {70, 80}})});
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.left, 50);
  EXPECT_EQ(bounds.top, 60);
  EXPECT_EQ(bounds.width, 20);
}

TEST_F(MeasureTextBoundsTest, RecordIsClearedBeforeMeasuring) {
  SetOutlines({RectangleOutline(0, 0, 40, 40)});
  TextBounds bounds;
  bounds.growth_x = -99;
  bounds.growth_y = -99;
  MeasureTextBounds(&in_data_, motion_blur_, ShapeKind::Auto, bounds, false, expansion_uniform_,
                    expansion_width_, expansion_height_, border_width_);
  EXPECT_EQ(bounds.growth_x, 0);
  EXPECT_EQ(bounds.growth_y, 0);
}

TEST_F(MeasureTextBoundsTest, PassesTheMotionBlurFlagOn) {
  SetOutlines({RectangleOutline(0, 0, 40, 40)});
  SetMotionBlur(true, true);
  Measure(ShapeKind::Auto);
  EXPECT_EQ(motion_blur_, 1);
}

TEST_F(MeasureTextBoundsTest, GivesBackEverythingItBorrowed) {
  SetOutlines({RectangleOutline(0, 0, 40, 40)});
  Measure(ShapeKind::Auto);
  EXPECT_TRUE(Held().Empty()) << Held().Describe();
}

TEST_F(MeasureTextBoundsTest, MissingSuiteFails) {
  SetOutlines({RectangleOutline(0, 0, 40, 40)});
  RefuseSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1);
  try {
    Measure(ShapeKind::Auto);
    ADD_FAILURE() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_TRUE(Held().Empty()) << Held().Describe();
}

// --- Downsampling ----------------------------------------------------------------------------

TEST_F(MeasureTextBoundsTest, CompleteShutterCloseMeasurementAtHalfResolution) {
  // Before scaling: 114 x 62, wider, squared to 114 x 114 with growth_y -52; the border
  // width 200 is limited to 114.
  SetOutlines({RectangleOutline(10, 20, 110, 70)});
  SetDownsample(1, 2);
  expansion_uniform_ = 5;
  expansion_width_ = 2;
  expansion_height_ = 1;
  border_width_ = 200;
  const TextBounds bounds = Measure(ShapeKind::Square);
  EXPECT_EQ(bounds.left, 5);
  EXPECT_EQ(bounds.right, 55);
  EXPECT_EQ(bounds.top, 10);
  EXPECT_EQ(bounds.bottom, 35);
  EXPECT_EQ(bounds.width, 57);
  EXPECT_EQ(bounds.height, 57);
  EXPECT_EQ(bounds.growth_x, 0);
  EXPECT_EQ(bounds.growth_y, -26);
  EXPECT_EQ(bounds.pixel_width, 57);
  EXPECT_EQ(bounds.pixel_height, 57);
  EXPECT_TRUE(bounds.wider);
  EXPECT_EQ(expansion_uniform_, 2.5);
  EXPECT_EQ(expansion_width_, 1);
  EXPECT_EQ(expansion_height_, 0.5);
  EXPECT_EQ(border_width_, 57);
}

TEST_F(MeasureTextBoundsTest, WholePixelsAreTakenBeforeHalving) {
  // Width 101 at half resolution: width 50.5 but pixel_width 50.
  SetOutlines({RectangleOutline(0, 0, 101, 10)});
  SetDownsample(1, 2);
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.width, 50.5);
  EXPECT_EQ(bounds.pixel_width, 50);
  EXPECT_EQ(bounds.pixel_height, 5);
}

TEST_F(MeasureTextBoundsTest, ThirdResolutionUsesTheSinglePrecisionFactor) {
  SetOutlines({RectangleOutline(0, 0, 101, 10)});
  in_data_.downsample_x = {1, 3};
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(bounds.pixel_width, 33);
  EXPECT_EQ(bounds.right, 101 * 0.3333333432674408);
  EXPECT_EQ(bounds.pixel_height, 10);
}

TEST_F(MeasureTextBoundsTest, UniformExpansionAndBorderFollowTheHorizontalFactor) {
  SetOutlines({RectangleOutline(0, 0, 100, 100)});
  in_data_.downsample_x = {1, 2};
  in_data_.downsample_y = {1, 4};
  expansion_uniform_ = 8;
  expansion_width_ = 8;
  expansion_height_ = 8;
  border_width_ = 8;
  const TextBounds bounds = Measure(ShapeKind::Auto);
  EXPECT_EQ(expansion_uniform_, 4);
  EXPECT_EQ(expansion_width_, 4);
  EXPECT_EQ(expansion_height_, 2);
  EXPECT_EQ(border_width_, 4);
  EXPECT_EQ(bounds.width, (100 + 32) / 2.0);
  EXPECT_EQ(bounds.height, (100 + 32) / 4.0);
}

TEST_F(MeasureTextBoundsTest, ShutterOpenMeasurementWritesNothingBack) {
  SetOutlines({RectangleOutline(10, 20, 110, 70)});
  SetDownsample(1, 2);
  expansion_uniform_ = 5;
  expansion_width_ = 2;
  expansion_height_ = 1;
  border_width_ = 200;
  Measure(ShapeKind::Square, true);
  EXPECT_EQ(expansion_uniform_, 5);
  EXPECT_EQ(expansion_width_, 2);
  EXPECT_EQ(expansion_height_, 1);
  EXPECT_EQ(border_width_, 200);
}

TEST_F(MeasureTextBoundsTest, BothMeasurementsOfAFrameGiveRecordsInTheSameUnits) {
  SetOutlines({RectangleOutline(10, 20, 110, 70)});
  SetDownsample(1, 2);
  expansion_uniform_ = 5;
  expansion_width_ = 2;
  expansion_height_ = 1;
  border_width_ = 200;
  // The render driver keeps the full-resolution values for the second measurement.
  double uniform = expansion_uniform_, width = expansion_width_, height = expansion_height_,
         border = border_width_;
  const TextBounds close = Measure(ShapeKind::Square, false);
  TextBounds open;
  MeasureTextBounds(&in_data_, motion_blur_, ShapeKind::Square, open, true, uniform, width, height,
                    border);
  EXPECT_EQ(open.left, close.left);
  EXPECT_EQ(open.top, close.top);
  EXPECT_EQ(open.width, close.width);
  EXPECT_EQ(open.height, close.height);
  EXPECT_EQ(open.growth_y, close.growth_y);
  EXPECT_EQ(open.pixel_width, close.pixel_width);
}

}  // namespace
}  // namespace quorvel
