// SPDX-License-Identifier: MIT
#include "render/render_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "headless/composition/frame_render.h"
#include "params/param_index.h"
#include "tests/support/in_process_host.h"
#include "tests/unit/render_test_host.h"
#include "tests/unit/text_layer_fixture.h"

namespace quorvel {
namespace {

using headless::FailingCall;
using headless::ParamValue;
using headless::SuiteFaultMode;
using render_test::SamePixel;

const PF_Pixel kClear{0, 0, 0, 0};
const PF_Pixel kMarker{255, 1, 2, 3};
const PF_Pixel kRed{255, 255, 0, 0};
const PF_Pixel kBlue{255, 0, 0, 255};
const PF_Pixel kWhite{255, 255, 255, 255};

// A 200 x 100 layer whose "text" is one rectangle from (50, 30) to (110, 60), drawn invisibly
// (transparent) so that the box alone shows in the output unless a test makes it visible. With
// Expansion Uniform 10 the box runs from (40, 20) to (120, 70).
class RenderDriverTest : public test_support::InstanceTest {
 protected:
  RenderDriverTest() {
    headless::Scene& scene = instance_.mutable_scene();
    scene.composition.width = 200;
    scene.composition.height = 100;
    scene.layer.explicit_outlines = headless::Animated<headless::TextOutlines>(
        headless::TextOutlines{test_support::RectangleOutline(50, 30, 110, 60)});
    scene.layer.color = kClear;
    Checked(instance_.ParamsSetup());
    instance_.SetConstant("Fill Color", ParamValue::Color(kRed));
    instance_.SetConstant("Expansion Uniform", ParamValue::Number(10));
  }

  // Renders one frame over an output filled with the marker colour.
  headless::RenderedFrame Render(A_long frame = 0) {
    log_.Clear();
    headless::FrameRequest request;
    request.frame = frame;
    request.output_fill = kMarker;
    request.shutter_regardless_of_switches = shutter_regardless_of_switches_;
    headless::RenderedFrame rendered = headless::RenderFrame(instance_, request);
    test_support::ExpectHoldsNothing(rendered.result);
    return rendered;
  }

  bool shutter_regardless_of_switches_ = false;

  std::vector<std::string> Calls(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> kept;
    for (const std::string& entry : log_.Entries()) {
      for (const std::string& prefix : prefixes) {
        if (entry.compare(0, prefix.size(), prefix) == 0) {
          kept.push_back(entry);
          break;
        }
      }
    }
    return kept;
  }

  // Frame 1 of a 30 fps composition counted in 3000ths of a second, half-open shutter
  // (angle 180, phase -90): the shutter opens at 75 and closes at 125.
  void UseFineTimeScale() {
    headless::Composition& composition = instance_.mutable_scene().composition;
    composition.time_scale = 3000;
    composition.frame_duration = 100;
    composition.shutter_angle_degrees = 180;
    composition.shutter_phase_degrees = -90;
  }

  // The text at the shutter-open instant as given, and 20 pixels to the right by the close.
  void MoveTextBetweenTheInstants() {
    UseFineTimeScale();
    headless::Animated<headless::TextOutlines> moving;
    moving.keys = {{0.0, {test_support::RectangleOutline(50, 30, 110, 60)}},
                   {110.0 / 3000.0, {test_support::RectangleOutline(70, 30, 130, 60)}}};
    instance_.mutable_scene().layer.explicit_outlines = moving;
  }
};

// --- Which layers and boxes are drawn -----------------------------------------------------

TEST_F(RenderDriverTest, NonTextLayerLeavesTheOutputUntouchedAndReturnsZero) {
  instance_.mutable_scene().layer.object_type = AEGP_ObjectType_AV;
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(render_test::EveryPixelIs(frame.output.world(), kMarker));
  EXPECT_TRUE(Calls({"PF_NewWorld", "fill", "checkout_param"}).empty());
}

TEST_F(RenderDriverTest, EmptyTextWithoutExpansionLeavesTheOutputUntouched) {
  instance_.mutable_scene().layer.explicit_outlines = headless::TextOutlines{};
  instance_.SetConstant("Expansion Uniform", ParamValue::Number(0));
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(render_test::EveryPixelIs(frame.output.world(), kMarker));
  EXPECT_TRUE(Calls({"PF_NewWorld"}).empty());
}

TEST_F(RenderDriverTest, EmptyTextWithExpansionDrawsTheBoxAroundTheOriginMovedByPosition) {
  // 2 x 10 by 2 x 10 about (0, 0), then moved by (50, 40): from (40, 30) to (60, 50).
  instance_.mutable_scene().layer.explicit_outlines = headless::TextOutlines{};
  instance_.SetConstant("Position", ParamValue::Point(50, 40));
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(SamePixel(frame.output.At(40, 30), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(59, 49), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(39, 40), kClear));
  EXPECT_TRUE(SamePixel(frame.output.At(60, 40), kClear));
  EXPECT_EQ(Calls({"PF_NewWorld"}), std::vector<std::string>{"PF_NewWorld 20x20"});
}

// --- The box in the output ----------------------------------------------------------------

TEST_F(RenderDriverTest, BoxSurroundsTheTextByTheExpansionOnAClearedOutput) {
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(SamePixel(frame.output.At(40, 20), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(119, 69), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(39, 45), kClear));  // the marker is gone
  EXPECT_TRUE(SamePixel(frame.output.At(120, 45), kClear));
  EXPECT_TRUE(SamePixel(frame.output.At(80, 19), kClear));
  EXPECT_EQ(Calls({"PF_NewWorld", "PF_DisposeWorld"}),
            (std::vector<std::string>{"PF_NewWorld 80x50", "PF_DisposeWorld"}));
}

TEST_F(RenderDriverTest, TextLiesInFrontOfTheBox) {
  instance_.mutable_scene().layer.color = kWhite;
  const headless::RenderedFrame frame = Render();

  EXPECT_TRUE(SamePixel(frame.output.At(80, 45), kWhite));
  EXPECT_TRUE(SamePixel(frame.output.At(45, 25), kRed));
}

TEST_F(RenderDriverTest, ColourAlphaIsIgnoredAndOpacityMakesTheBoxTransparent) {
  instance_.SetConstant("Fill Color", ParamValue::Color(PF_Pixel{0, 255, 0, 0}));
  const headless::RenderedFrame opaque = Render();
  EXPECT_TRUE(SamePixel(opaque.output.At(45, 25), kRed));

  instance_.SetConstant("Fill Opacity", ParamValue::Number(50));
  const headless::RenderedFrame half = Render();
  EXPECT_NEAR(half.output.At(45, 25).alpha, 128, 1);
}

TEST_F(RenderDriverTest, BorderWorldIsOneBorderWidthLargerAndItsBorderStraddlesTheEdge) {
  // Border 10 wide: an 90 x 60 border world placed at (35, 15), the stroke 10 pixels deep.
  instance_.SetConstant("Enable Border", ParamValue::Boolean(true));
  instance_.SetConstant("Border Width", ParamValue::Number(10));
  instance_.SetConstant("Border Color", ParamValue::Color(PF_Pixel{0, 0, 0, 255}));
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_EQ(Calls({"PF_NewWorld", "PF_DisposeWorld"}),
            (std::vector<std::string>{"PF_NewWorld 80x50", "PF_NewWorld 90x60", "PF_DisposeWorld",
                                      "PF_DisposeWorld"}));
  EXPECT_TRUE(SamePixel(frame.output.At(35, 45), kBlue));
  EXPECT_TRUE(SamePixel(frame.output.At(44, 45), kBlue));
  EXPECT_EQ(frame.output.At(45, 45).alpha, 255);  // the fill shows inside the stroke
  EXPECT_EQ(frame.output.At(45, 45).red, 255);
  EXPECT_TRUE(SamePixel(frame.output.At(34, 45), kClear));
  EXPECT_TRUE(SamePixel(frame.output.At(124, 74), kBlue));
}

TEST_F(RenderDriverTest, UniformScaleAppliesScaleWidthToTheHeight) {
  // Scale Width 50 % about the centre (80, 45): 40 x 25, from (60, 32.5) to (100, 57.5).
  instance_.SetConstant("Uniform Scale", ParamValue::Boolean(true));
  instance_.SetConstant("Scale Width", ParamValue::Number(50));
  instance_.SetConstant("Scale Height", ParamValue::Number(100));
  const headless::RenderedFrame frame = Render();

  EXPECT_TRUE(SamePixel(frame.output.At(61, 45), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(59, 45), kClear));
  EXPECT_TRUE(SamePixel(frame.output.At(80, 34), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(80, 31), kClear));
}

TEST_F(RenderDriverTest, RotationInDegreesTurnsTheBoxAboutItsCentre) {
  // A quarter turn about (80, 45): 50 wide and 80 tall, from (55, 5) to (105, 85).
  instance_.SetConstant("Rotation", ParamValue::Number(90));
  const headless::RenderedFrame frame = Render();

  EXPECT_TRUE(SamePixel(frame.output.At(56, 6), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(104, 84), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(53, 45), kClear));
  EXPECT_TRUE(SamePixel(frame.output.At(80, 3), kClear));
}

TEST_F(RenderDriverTest, SkewSliderIsATenthOfTheShearFactor) {
  // Skew X 5 shears by 0.5 about the centre's row 45: the top row (20) moves 12.5 left.
  instance_.SetConstant("Skew X", ParamValue::Number(5));
  const headless::RenderedFrame frame = Render();

  EXPECT_TRUE(SamePixel(frame.output.At(29, 20), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(26, 20), kClear));
  EXPECT_TRUE(SamePixel(frame.output.At(106, 20), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(109, 20), kClear));
}

TEST_F(RenderDriverTest, CircleShapeDrawsACircleInTheSquaredBox) {
  // The 80 x 50 box squared to 80 x 80 about the same centre: a circle of radius 40 at (80, 45).
  instance_.SetConstant("Shape", ParamValue::Integer(ShapeKind::Circle));
  const headless::RenderedFrame frame = Render();

  EXPECT_TRUE(SamePixel(frame.output.At(80, 45), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(80, 6), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(42, 8), kClear));  // the square's corner stays empty
  EXPECT_EQ(Calls({"PF_NewWorld"}), std::vector<std::string>{"PF_NewWorld 80x80"});
}

// --- Parameters at the two instants, and motion blur --------------------------------------

TEST_F(RenderDriverTest, TransformParametersAreCheckedOutAtBothInstantsAndBackInOrder) {
  UseFineTimeScale();
  shutter_regardless_of_switches_ = true;
  Render(1);

  const std::vector<std::string> ids = {"9", "10", "12", "13", "14", "15"};
  std::vector<std::string> expected;
  for (const char* time : {"75", "125"}) {
    for (const std::string& id : ids) expected.push_back("checkout_param " + id + " " + time);
    for (const std::string& id : ids) expected.push_back("checkin_param " + id);
  }
  EXPECT_EQ(Calls({"checkout_param", "checkin_param"}), expected);
}

TEST_F(RenderDriverTest, MotionBlurOnLayerAndCompositionBlursBetweenBothPlacements) {
  // The box is at x 40..120 at shutter open and 60..140 at close: only the overlap is opaque.
  MoveTextBetweenTheInstants();
  instance_.mutable_scene().layer.motion_blur = true;
  instance_.mutable_scene().composition.motion_blur = true;
  const headless::RenderedFrame frame = Render(1);

  EXPECT_EQ(Calls({"transform_world"}),
            std::vector<std::string>{"transform_world xfer=2 flags=1 mask=no matrices=2"});
  EXPECT_EQ(frame.output.At(90, 45).alpha, 255);
  EXPECT_GT(frame.output.At(45, 45).alpha, 0);
  EXPECT_LT(frame.output.At(45, 45).alpha, 255);
  EXPECT_GT(frame.output.At(135, 45).alpha, 0);
  EXPECT_LT(frame.output.At(135, 45).alpha, 255);
  // Only the shutter-close measurement sizes the worlds.
  EXPECT_EQ(Calls({"PF_NewWorld"}), std::vector<std::string>{"PF_NewWorld 80x50"});
}

TEST_F(RenderDriverTest, MotionBlurOnTheLayerAloneUsesOneSharpPlacementAtShutterClose) {
  MoveTextBetweenTheInstants();
  shutter_regardless_of_switches_ = true;
  instance_.mutable_scene().layer.motion_blur = true;
  const headless::RenderedFrame frame = Render(1);

  EXPECT_EQ(Calls({"transform_world"}),
            std::vector<std::string>{"transform_world xfer=2 flags=1 mask=no matrices=1"});
  EXPECT_TRUE(SamePixel(frame.output.At(60, 45), kRed));
  EXPECT_TRUE(SamePixel(frame.output.At(59, 45), kClear));
}

// --- Host failures ------------------------------------------------------------------------

TEST_F(RenderDriverTest, FillWorldTheHostCannotMakeIsReportedWithTheOutputCleared) {
  instance_.faults().FailCall(FailingCall::kNewWorld, 1, PF_Err_OUT_OF_MEMORY);
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(render_test::EveryPixelIs(frame.output.world(), kClear));
  EXPECT_TRUE(Calls({"iterate", "transform_world", "transfer_rect"}).empty());
}

TEST_F(RenderDriverTest, BorderWorldTheHostCannotMakeIsReportedAndTheFillWorldDisposed) {
  instance_.SetConstant("Enable Border", ParamValue::Boolean(true));
  instance_.faults().FailCall(FailingCall::kNewWorld, 2, PF_Err_OUT_OF_MEMORY);
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(render_test::EveryPixelIs(frame.output.world(), kClear));
  EXPECT_EQ(Calls({"PF_DisposeWorld"}), std::vector<std::string>{"PF_DisposeWorld"});
}

TEST_F(RenderDriverTest, WorldSuiteGivenAsNullIsAMissingSuite) {
  instance_.faults().RefuseSuite(kPFWorldSuite, kPFWorldSuiteVersion2,
                                 SuiteFaultMode::kNullPointer);
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, A_Err_MISSING_SUITE);
  EXPECT_NE(frame.result.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
  EXPECT_STREQ(frame.result.out_data.return_msg, "Not able to acquire AEFX Suite.");
  EXPECT_TRUE(render_test::EveryPixelIs(frame.output.world(), kMarker));
}

TEST_F(RenderDriverTest, FillMatteSuiteGivenAsNullIsAMissingSuite) {
  instance_.faults().RefuseSuite(kPFFillMatteSuite, kPFFillMatteSuiteVersion2,
                                 SuiteFaultMode::kNullPointer);
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, A_Err_MISSING_SUITE);
  EXPECT_STREQ(frame.result.out_data.return_msg, "Not able to acquire AEFX Suite.");
  EXPECT_TRUE(render_test::EveryPixelIs(frame.output.world(), kMarker));
}

TEST_F(RenderDriverTest, RefusedFillMatteSuiteReleasesTheWorldSuite) {
  instance_.faults().RefuseSuite(kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, A_Err_MISSING_SUITE);
  EXPECT_NE(frame.result.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
  EXPECT_EQ(Calls({"AcquireSuite", "ReleaseSuite"}),
            (std::vector<std::string>{"AcquireSuite PF World Suite 2",
                                      "AcquireSuite PF Fill Matte Suite 2",
                                      "ReleaseSuite PF World Suite 2"}));
}

TEST_F(RenderDriverTest, MissingWorldTransformSuiteEndsTheRenderAndDisposesTheWorlds) {
  instance_.faults().RefuseSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
  const headless::RenderedFrame frame = Render();

  EXPECT_EQ(frame.result.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Calls({"PF_DisposeWorld"}), std::vector<std::string>{"PF_DisposeWorld"});
}

TEST_F(RenderDriverTest, ScopedSuitesAreReleasedInReverseAfterTheWorlds) {
  Render();

  const std::vector<std::string> calls =
      Calls({"AcquireSuite PF World Suite", "AcquireSuite PF Fill Matte",
             "ReleaseSuite PF World Suite", "ReleaseSuite PF Fill Matte", "PF_DisposeWorld"});
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "AcquireSuite PF World Suite 2", "AcquireSuite PF Fill Matte Suite 2",
                       "PF_DisposeWorld", "ReleaseSuite PF Fill Matte Suite 2",
                       "ReleaseSuite PF World Suite 2"}));
}

// --- Hosts --------------------------------------------------------------------------------

TEST(RenderDriverHosts, PremiereProGetsTheSameCallsAsAfterEffects) {
  std::vector<std::vector<std::string>> calls;
  for (A_long application :
       {headless::kApplicationAfterEffects, headless::kApplicationPremierePro}) {
    headless::InstanceOptions options;
    options.application = application;
    headless::EffectInstance instance(&EntryPointFunc, options);
    headless::CallLog log;
    instance.SetCallLog(&log);
    instance.mutable_scene().composition.width = 200;
    instance.mutable_scene().composition.height = 100;
    instance.mutable_scene().layer.explicit_outlines = headless::Animated<headless::TextOutlines>(
        headless::TextOutlines{test_support::RectangleOutline(50, 30, 110, 60)});
    instance.ParamsSetup();
    log.Clear();
    const headless::RenderedFrame frame = headless::RenderFrame(instance, {});
    test_support::ExpectHoldsNothing(frame.result);
    calls.push_back(log.Entries());
  }
  EXPECT_EQ(calls[0], calls[1]);
}

}  // namespace
}  // namespace quorvel
