// SPDX-License-Identifier: MIT
// Whole frames through the built module: what a user sees, checked in the output's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "headless/composition/frame_render.h"
#include "headless/instance/effect_instance.h"
#include "headless/loading/module.h"
#include "headless/text/text_outlines.h"

namespace quorvel {
namespace {

using headless::EffectInstance;
using headless::ParamValue;
using headless::Point2;

constexpr PF_Pixel kBlue{255, 0, 0, 255};
constexpr PF_Pixel kRed{255, 255, 0, 0};
constexpr PF_Pixel kPattern{255, 12, 34, 56};  // what the host hands over as output

// Pixel extents of what is drawn, in output pixels; right and bottom exclusive.
struct Extent {
  int left = std::numeric_limits<int>::max();
  int top = std::numeric_limits<int>::max();
  int right = std::numeric_limits<int>::min();
  int bottom = std::numeric_limits<int>::min();
  bool empty() const { return right <= left; }
};

// The text's vertex bounds, as the effect measures them, in full-resolution pixels.
struct Bounds {
  double left, top, right, bottom;
};

template <typename Predicate>
Extent ExtentWhere(const PF_EffectWorld& world, Predicate keep) {
  Extent extent;
  for (int y = 0; y < world.height; ++y) {
    for (int x = 0; x < world.width; ++x) {
      if (!keep(headless::PixelAt(world, x, y))) continue;
      extent.left = std::min(extent.left, x);
      extent.top = std::min(extent.top, y);
      extent.right = std::max(extent.right, x + 1);
      extent.bottom = std::max(extent.bottom, y + 1);
    }
  }
  return extent;
}

Extent OpaqueExtent(const PF_EffectWorld& world) {
  return ExtentWhere(world, [](const PF_Pixel& p) { return p.alpha >= 128; });
}

bool Same(const PF_Pixel& a, const PF_Pixel& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool AllPixelsAre(const PF_EffectWorld& world, const PF_Pixel& colour) {
  for (int y = 0; y < world.height; ++y) {
    for (int x = 0; x < world.width; ++x) {
      if (!Same(headless::PixelAt(world, x, y), colour)) return false;
    }
  }
  return true;
}

bool SameWorlds(const PF_EffectWorld& a, const PF_EffectWorld& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (!Same(headless::PixelAt(a, x, y), headless::PixelAt(b, x, y))) return false;
    }
  }
  return true;
}

// Matches within one pixel: the host resamples the box, so its edges are antialiased.
void ExpectExtentNear(const Extent& actual, double left, double top, double right, double bottom) {
  EXPECT_NEAR(actual.left, left, 1.0);
  EXPECT_NEAR(actual.top, top, 1.0);
  EXPECT_NEAR(actual.right, right, 1.0);
  EXPECT_NEAR(actual.bottom, bottom, 1.0);
}

class RenderedFrames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = std::make_unique<headless::Module>(QUORVEL_MODULE_PATH);
  }
  static void TearDownTestSuite() { module_.reset(); }

  void SetUp() override { instance_ = MakeInstance(headless::kApplicationAfterEffects); }

  static std::unique_ptr<EffectInstance> MakeInstance(A_long application) {
    headless::InstanceOptions options;
    options.application = application;
    auto instance = std::make_unique<EffectInstance>(*module_, options);
    headless::Scene& scene = instance->mutable_scene();
    scene.composition.width = 480;
    scene.composition.height = 240;
    scene.layer.text = std::string("Hi");
    scene.layer.font_size = 60;
    scene.layer.position = Point2{160, 70};
    scene.layer.color = PF_Pixel{255, 255, 255, 255};
    EXPECT_EQ(instance->GlobalSetup().err, PF_Err_NONE);
    EXPECT_EQ(instance->ParamsSetup().err, PF_Err_NONE);
    instance->SetConstant("Fill Color", ParamValue::Color(kBlue));
    return instance;
  }

  Bounds TextBoundsAt(double seconds) const {
    Bounds bounds{1e9, 1e9, -1e9, -1e9};
    for (const auto& outline : headless::TextOutlinesAt(instance_->scene().layer, seconds)) {
      for (const PF_PathVertex& vertex : outline.vertices) {
        bounds.left = std::min(bounds.left, vertex.x);
        bounds.top = std::min(bounds.top, vertex.y);
        bounds.right = std::max(bounds.right, vertex.x);
        bounds.bottom = std::max(bounds.bottom, vertex.y);
      }
    }
    return bounds;
  }

  headless::RenderedFrame Render(A_long frame = 0) {
    headless::RenderedFrame rendered = headless::RenderFrame(*instance_, {frame, kPattern});
    EXPECT_TRUE(rendered.result.held.Empty()) << "held " << rendered.result.held.Describe();
    EXPECT_TRUE(rendered.result.escaped_exception.empty()) << rendered.result.escaped_exception;
    return rendered;
  }

  static std::unique_ptr<headless::Module> module_;
  std::unique_ptr<EffectInstance> instance_;
};

std::unique_ptr<headless::Module> RenderedFrames::module_;

TEST_F(RenderedFrames, BoxCoversTheTextBoundsPlusExpansion) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->SetConstant("Expansion Width", ParamValue::Number(5));
  const auto frame = Render();
  ASSERT_EQ(frame.result.err, PF_Err_NONE);
  const Bounds text = TextBoundsAt(0);
  const double width = std::ceil(text.right - text.left + 30);
  const double height = std::ceil(text.bottom - text.top + 20);
  ExpectExtentNear(OpaqueExtent(frame.output.world()), text.left - 15, text.top - 10,
                   text.left - 15 + width, text.top - 10 + height);
}

TEST_F(RenderedFrames, FillTakesItsColourAndOpacity) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(20));
  instance_->SetConstant("Fill Color", ParamValue::Color(PF_Pixel{7, 200, 100, 50}));
  instance_->SetConstant("Fill Opacity", ParamValue::Number(50));
  const auto frame = Render();
  const Bounds text = TextBoundsAt(0);
  // Inside the expansion, left of the text: box only.
  const PF_Pixel& pixel = headless::PixelAt(frame.output.world(), static_cast<int>(text.left) - 10,
                                            static_cast<int>((text.top + text.bottom) / 2));
  EXPECT_NEAR(pixel.alpha, 128, 1);
  // Premultiplied in the output: half of each channel.
  EXPECT_NEAR(pixel.red, 100, 2);
  EXPECT_NEAR(pixel.green, 50, 2);
  EXPECT_NEAR(pixel.blue, 25, 2);
}

TEST_F(RenderedFrames, TextLiesInFrontOfTheBox) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(20));
  const auto frame = Render();
  const Extent white = ExtentWhere(frame.output.world(), [](const PF_Pixel& p) {
    return p.alpha == 255 && p.red == 255 && p.green == 255 && p.blue == 255;
  });
  ASSERT_FALSE(white.empty());
  const Bounds text = TextBoundsAt(0);
  ExpectExtentNear(white, text.left, text.top, text.right, text.bottom);
}

TEST_F(RenderedFrames, FullRoundnessGivesSemicircularEnds) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->SetConstant("Roundness", ParamValue::Number(100));
  const auto frame = Render();
  const Extent box = OpaqueExtent(frame.output.world());
  const PF_EffectWorld& world = frame.output.world();
  const int middle_y = (box.top + box.bottom) / 2;
  const int radius = (box.bottom - box.top) / 2;
  // Whole at mid-height; the corners cut away along a circle of half the height.
  EXPECT_GE(headless::PixelAt(world, box.left + 1, middle_y).alpha, 128);
  EXPECT_LT(headless::PixelAt(world, box.left + radius / 4, box.top + radius / 4).alpha, 128);
  EXPECT_LT(headless::PixelAt(world, box.right - 1 - radius / 4, box.bottom - 1 - radius / 4).alpha,
            128);
  EXPECT_GE(headless::PixelAt(world, box.left + radius, box.top + 1).alpha, 128);
}

TEST_F(RenderedFrames, SquareAndCircleShareTheTextCentre) {
  const Bounds text = TextBoundsAt(0);
  const double centre_x = (text.left + text.right) / 2;
  const double centre_y = (text.top + text.bottom) / 2;
  const double side = std::max(text.right - text.left, text.bottom - text.top);
  for (const char* shape : {"Square", "Circle"}) {
    SCOPED_TRACE(shape);
    instance_->SetConstant("Shape", ParamValue::Integer(std::string(shape) == "Square" ? 2 : 3));
    const Extent box = OpaqueExtent(Render().output.world());
    EXPECT_NEAR((box.left + box.right) / 2.0, centre_x, 1.5);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, centre_y, 1.5);
    EXPECT_NEAR(box.right - box.left, side, 2.0);
    EXPECT_NEAR(box.bottom - box.top, side, 2.0);
  }
}

TEST_F(RenderedFrames, BorderRingHasItsWidthAndColourWithTheFillBehind) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(20));
  instance_->SetConstant("Enable Border", ParamValue::Boolean(true));
  instance_->SetConstant("Border Width", ParamValue::Number(8));
  instance_->SetConstant("Border Color", ParamValue::Color(kRed));
  const auto frame = Render();
  ASSERT_EQ(frame.result.err, PF_Err_NONE);
  const Bounds text = TextBoundsAt(0);
  const PF_EffectWorld& world = frame.output.world();
  const int row = static_cast<int>((text.top + text.bottom) / 2);
  // The box's edge is at text.left - 20; the ring straddles it, 4 pixels each side.
  const int edge = static_cast<int>(std::floor(text.left - 20));
  const Extent red = ExtentWhere(
      world, [](const PF_Pixel& p) { return p.alpha > 200 && p.red > 200 && p.blue < 60; });
  EXPECT_NEAR(red.left, edge - 4, 1.0);
  EXPECT_TRUE(Same(headless::PixelAt(world, edge, row), kRed));
  EXPECT_TRUE(Same(headless::PixelAt(world, edge - 3, row), kRed));
  EXPECT_TRUE(Same(headless::PixelAt(world, edge + 3, row), kRed));
  EXPECT_TRUE(Same(headless::PixelAt(world, edge + 8, row), kBlue));
  EXPECT_EQ(headless::PixelAt(world, edge - 6, row).alpha, 0);
}

TEST_F(RenderedFrames, RotationTurnsAboutEachAnchor) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  const Extent upright = OpaqueExtent(Render().output.world());
  const double w = upright.right - upright.left;
  const double h = upright.bottom - upright.top;
  const double x0 = upright.left;
  const double y0 = upright.top;
  instance_->SetConstant("Rotation", ParamValue::Number(90));
  struct Case {
    int anchor;
    double left, top, right, bottom;
  };
  // A quarter turn clockwise maps (x, y) about the pivot to (-y, x).
  const Case cases[] = {
      {1, x0 - h, y0, x0, y0 + w},
      {2, x0 + w / 2 - h / 2, y0 + h / 2 - w / 2, x0 + w / 2 + h / 2, y0 + h / 2 + w / 2},
      {3, x0 + w, y0 + h - w, x0 + w + h, y0 + h},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.anchor);
    instance_->SetConstant("Anchor Point X", ParamValue::Integer(c.anchor));
    instance_->SetConstant("Anchor Point Y", ParamValue::Integer(c.anchor));
    // The text stays where it is; only the box (blue) turns.
    ExpectExtentNear(ExtentWhere(Render().output.world(),
                                 [](const PF_Pixel& p) { return p.alpha >= 128 && p.red < 64; }),
                     c.left, c.top, c.right, c.bottom);
  }
}

TEST_F(RenderedFrames, MatteRemovesTextOutsideTheBox) {
  // The box moves right, over the text's right part only.
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->SetConstant("Position", ParamValue::Point(40, 0));
  const Bounds text = TextBoundsAt(0);
  const int x = static_cast<int>(text.left) + 2;  // text here, box not
  auto white_in_column = [&](const PF_EffectWorld& world) {
    for (int y = 0; y < world.height; ++y) {
      if (headless::PixelAt(world, x, y).alpha > 200) return true;
    }
    return false;
  };
  EXPECT_TRUE(white_in_column(Render().output.world()));
  instance_->SetConstant("Matte Text to Fill", ParamValue::Boolean(true));
  const auto matted = Render();
  EXPECT_FALSE(white_in_column(matted.output.world()));
  // Inside the box the text is still drawn.
  EXPECT_FALSE(ExtentWhere(matted.output.world(), [](const PF_Pixel& p) {
                 return p.alpha == 255 && p.red == 255 && p.blue == 255 && p.green == 255;
               }).empty());
}

TEST_F(RenderedFrames, SubtractCutsTheTextOutOfTheBox) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->SetConstant("Subtract Text from Fill", ParamValue::Boolean(true));
  instance_->SetConstant("Matte Text to Fill", ParamValue::Boolean(true));  // Subtract wins
  const auto frame = Render();
  const PF_EffectWorld& world = frame.output.world();
  const Extent text_pixels = ExtentWhere(
      world, [](const PF_Pixel& p) { return p.alpha > 0 && (p.red > 10 || p.green > 10); });
  EXPECT_TRUE(text_pixels.empty()) << "text colour drawn";
  int holes = 0;
  const Extent box = OpaqueExtent(world);
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      if (headless::PixelAt(world, x, y).alpha == 0) ++holes;
    }
  }
  EXPECT_GT(holes, 200);
}

int PartlyCoveredInRow(const PF_EffectWorld& world, int y) {
  int count = 0;
  for (int x = 0; x < world.width; ++x) {
    const int alpha = headless::PixelAt(world, x, y).alpha;
    if (alpha > 20 && alpha < 235) ++count;
  }
  return count;
}

TEST_F(RenderedFrames, MotionBlurSmearsTheBoxOnlyWhenBothSwitchesAreOn) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->SetKeys("Position", {{0, ParamValue::Point(0, 0)}, {1, ParamValue::Point(600, 0)}});
  headless::Scene& scene = instance_->mutable_scene();
  scene.composition.shutter_angle_degrees = 180;
  scene.composition.shutter_phase_degrees = 0;
  scene.layer.motion_blur = true;
  const Bounds text = TextBoundsAt(0);
  const int row = static_cast<int>((text.top + text.bottom) / 2);
  // Sharp: the box's two antialiased edges and the text's, a pixel or two each.
  EXPECT_LE(PartlyCoveredInRow(Render(3).output.world(), row), 8);
  scene.composition.motion_blur = true;
  // 20 px per frame, half a frame of shutter: each edge smears over about 10 pixels.
  EXPECT_GE(PartlyCoveredInRow(Render(3).output.world(), row), 16);
}

// A text layer moving 40 px a frame, a full block (straight sides: its ink in a row spans its
// outline, and its edges smear as a box's do), in a box of 24 px padding, with the default
// shutter (180 degrees, phase -90).
void MoveTextFortyPixelsAFrame(EffectInstance& instance) {
  instance.SetConstant("Expansion Uniform", ParamValue::Number(24));
  headless::Scene& scene = instance.mutable_scene();
  scene.layer.text = std::string("\u2588");
  scene.layer.position = headless::Animated<Point2>::Keyed({{0, {40, 70}}, {1, {1240, 70}}});
}

// The columns of a row where a pixel passes `keep`: first and one past the last.
template <typename Predicate>
std::pair<int, int> ColumnsWhere(const PF_EffectWorld& world, int y, Predicate keep) {
  int first = -1;
  int last = -1;
  for (int x = 0; x < world.width; ++x) {
    if (!keep(headless::PixelAt(world, x, y))) continue;
    if (first < 0) first = x;
    last = x + 1;
  }
  return {first, last};
}

TEST_F(RenderedFrames, WithoutMotionBlurTheBoxPadsMovingTextEquallyOnBothSides) {
  MoveTextFortyPixelsAFrame(*instance_);
  const headless::RenderedFrame frame = Render(3);
  const PF_EffectWorld& world = frame.output.world();
  const int row = 110;
  const auto box = ColumnsWhere(world, row, [](const PF_Pixel& p) { return p.alpha >= 128; });
  const auto text = ColumnsWhere(world, row, [](const PF_Pixel& p) { return p.red >= 128; });
  ASSERT_GE(box.first, 0);
  ASSERT_GE(text.first, 0);
  EXPECT_NEAR(text.first - box.first, box.second - text.second, 1);
}

TEST_F(RenderedFrames, UnderMotionBlurTheTextSmearsAsMuchAsTheBox) {
  MoveTextFortyPixelsAFrame(*instance_);
  headless::Scene& scene = instance_->mutable_scene();
  scene.composition.motion_blur = true;
  scene.layer.motion_blur = true;
  const headless::RenderedFrame frame = Render(3);
  const PF_EffectWorld& world = frame.output.world();
  // 20 px of travel in the shutter: the box's alpha and the text's white ramp over the same
  // width at each of their two edges.
  const int row = 110;
  const auto ramp = [&world, row](auto channel) {
    int count = 0;
    for (int x = 0; x < world.width; ++x) {
      const int value = channel(headless::PixelAt(world, x, row));
      if (value > 20 && value < 235) ++count;
    }
    return count;
  };
  const int box = ramp([](const PF_Pixel& p) { return p.alpha; });
  // Over the box (blue), the text's red channel is the white's coverage; the box's own edge
  // ramps leave red at 0.
  const int text = ramp([](const PF_Pixel& p) { return p.red; });
  EXPECT_GE(box, 30);
  EXPECT_NEAR(text, box, 4);
}

TEST_F(RenderedFrames, HalfResolutionHalvesTheBox) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  const Extent full = OpaqueExtent(Render().output.world());
  instance_->mutable_options().downsample_x = {1, 2};
  instance_->mutable_options().downsample_y = {1, 2};
  const auto half = Render();
  EXPECT_EQ(half.output.width(), 240);
  ExpectExtentNear(OpaqueExtent(half.output.world()), full.left / 2.0, full.top / 2.0,
                   full.right / 2.0, full.bottom / 2.0);
}

TEST_F(RenderedFrames, NonTextLayerLeavesTheOutputAsHandedOver) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->mutable_scene().layer.object_type = AEGP_ObjectType_AV;
  const auto frame = Render();
  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(AllPixelsAre(frame.output.world(), kPattern));
}

TEST_F(RenderedFrames, EmptyTextWithoutExpansionLeavesTheOutputAsHandedOver) {
  instance_->mutable_scene().layer.text = std::string();
  const auto frame = Render();
  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(AllPixelsAre(frame.output.world(), kPattern));
}

TEST_F(RenderedFrames, EmptyTextWithExpansionDrawsABoxAboutTheLayerOrigin) {
  instance_->mutable_scene().layer.text = std::string();
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->SetConstant("Expansion Height", ParamValue::Number(5));
  instance_->SetConstant("Position", ParamValue::Point(100, 60));
  const auto frame = Render();
  ExpectExtentNear(OpaqueExtent(frame.output.world()), 100 - 10, 60 - 15, 100 + 10, 60 + 15);
}

TEST_F(RenderedFrames, PremiereProGivesIdenticalPixels) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(12));
  instance_->SetConstant("Roundness", ParamValue::Number(40));
  instance_->SetConstant("Enable Border", ParamValue::Boolean(true));
  const auto after_effects = Render();
  instance_ = MakeInstance(headless::kApplicationPremierePro);
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(12));
  instance_->SetConstant("Roundness", ParamValue::Number(40));
  instance_->SetConstant("Enable Border", ParamValue::Boolean(true));
  EXPECT_TRUE(SameWorlds(after_effects.output.world(), Render().output.world()));
}

// Every single host fault: no crash, nothing held, and never a success for a frame left as
// the host handed it over.
TEST_F(RenderedFrames, SurvivesEverySingleHostFault) {
  instance_->SetConstant("Expansion Uniform", ParamValue::Number(10));
  instance_->SetConstant("Enable Border", ParamValue::Boolean(true));
  const struct {
    const char* name;
    int32_t version;
  } suites[] = {
      {kPFWorldSuite, 2},       {kPFFillMatteSuite, 2},      {kAEGPPFInterfaceSuite, 1},
      {kAEGPLayerSuite, 11},    {kAEGPLayerSuite, 13},       {kAEGPCompSuite, 19},
      {kAEGPTextLayerSuite, 1}, {kPFPathDataSuite, 1},       {kPFHandleSuite, 2},
      {kPFIterate8Suite, 1},    {kPFWorldTransformSuite, 1}, {kPFANSISuite, 1},
  };
  int cases = 0;
  auto check = [&](const std::string& what) {
    SCOPED_TRACE(what);
    const auto frame = Render();
    ++cases;
    if (frame.result.err == PF_Err_NONE) {
      EXPECT_FALSE(AllPixelsAre(frame.output.world(), kPattern));
    }
    instance_->faults().Clear();
  };
  for (const auto& suite : suites) {
    for (const auto mode :
         {headless::SuiteFaultMode::kError, headless::SuiteFaultMode::kNullPointer}) {
      instance_->faults().RefuseSuite(suite.name, suite.version, mode);
      check(std::string(suite.name) +
            (mode == headless::SuiteFaultMode::kError ? " error" : " null"));
    }
  }
  for (int nth = 1; nth <= 4; ++nth) {
    instance_->faults().FailCall(headless::FailingCall::kNewHandle, nth);
    check("handle " + std::to_string(nth));
    instance_->faults().FailCall(headless::FailingCall::kCheckoutParam, nth,
                                 PF_Err_INTERNAL_STRUCT_DAMAGED);
    check("checkout " + std::to_string(nth));
  }
  for (int nth = 1; nth <= 2; ++nth) {
    instance_->faults().FailCall(headless::FailingCall::kNewWorld, nth);
    check("world " + std::to_string(nth));
  }
  RecordProperty("fault_cases", cases);
}

}  // namespace
}  // namespace quorvel
