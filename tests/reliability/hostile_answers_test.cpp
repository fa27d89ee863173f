// SPDX-License-Identifier: MIT
// Host answers no sane host gives, through the built module: the render survives them, draws
// no more than the host can hold, and hands back everything it borrowed.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "headless/composition/frame_render.h"
#include "headless/instance/effect_instance.h"
#include "headless/loading/module.h"
#include "tests/reliability/reliability_support.h"

namespace quorvel {
namespace {

using headless::ParamValue;

class HostileAnswers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = std::make_unique<headless::Module>(QUORVEL_MODULE_PATH);
  }
  static void TearDownTestSuite() { module_.reset(); }

  void SetUp() override {
    instance_ = std::make_unique<headless::EffectInstance>(*module_);
    reliability::UseSmallTextScene(instance_->mutable_scene());
    ASSERT_EQ(instance_->GlobalSetup().err, PF_Err_NONE);
    ASSERT_EQ(instance_->ParamsSetup().err, PF_Err_NONE);
  }

  // The layer's outlines: one closed outline through these points.
  void UseOutline(const std::vector<headless::Point2>& points) {
    headless::TextOutline outline;
    for (const headless::Point2& point : points) {
      PF_PathVertex vertex{};
      vertex.x = point.x;
      vertex.y = point.y;
      outline.vertices.push_back(vertex);
    }
    instance_->mutable_scene().layer.explicit_outlines =
        headless::Animated<headless::TextOutlines>(headless::TextOutlines{outline});
  }

  headless::RenderedFrame Render() {
    headless::RenderedFrame frame =
        headless::RenderFrame(*instance_, {0, reliability::kHandedOver});
    EXPECT_TRUE(frame.result.escaped_exception.empty()) << frame.result.escaped_exception;
    EXPECT_TRUE(frame.result.held.Empty()) << frame.result.held.Describe();
    return frame;
  }

  static std::unique_ptr<headless::Module> module_;
  std::unique_ptr<headless::EffectInstance> instance_;
};

std::unique_ptr<headless::Module> HostileAnswers::module_;

TEST_F(HostileAnswers, BoxBeyondTheLargestWorldIsNotDrawnAndTheHostsErrorReturned) {
  UseOutline({{-1e6, -1e6}, {1e6, -1e6}, {1e6, 1e6}});
  const auto frame = Render();
  // The host refuses a world past its largest size; the frame shows nothing.
  EXPECT_EQ(frame.result.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(reliability::AllPixelsAre(frame.output.world(), PF_Pixel{0, 0, 0, 0}));
}

// A box that cannot be measured is under one pixel: nothing is drawn, as for empty text.
TEST_F(HostileAnswers, NotANumberCoordinatesLeaveTheOutputAsHandedOver) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  UseOutline({{nan, 10}, {40, nan}, {40, 40}});
  const auto frame = Render();
  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(reliability::AllPixelsAre(frame.output.world(), reliability::kHandedOver));
}

TEST_F(HostileAnswers, InfiniteCoordinatesLeaveTheOutputAsHandedOver) {
  const double inf = std::numeric_limits<double>::infinity();
  UseOutline({{-inf, 10}, {40, inf}, {40, 40}});
  const auto frame = Render();
  EXPECT_EQ(frame.result.err, PF_Err_NONE);
  EXPECT_TRUE(reliability::AllPixelsAre(frame.output.world(), reliability::kHandedOver));
}

}  // namespace
}  // namespace quorvel
