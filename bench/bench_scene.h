// SPDX-License-Identifier: MIT
// The scenes the benchmarks render: an effect instance on the linked plug-in whose text layer's
// outlines are given exactly, so that the box has the size a benchmark asks for.
#pragma once

#include <memory>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"
#include "headless/pixels/world.h"
#include "hostapi/host_api.h"

namespace quorvel::bench {

struct BoxScene {
  A_long width = 400;  // the box world's size; the composition has the same size
  A_long height = 120;
  bool border = false;
  bool motion_blur = false;  // two matrices: the rotation turns during the frame
};

// The border width the bordered scenes use (pixels).
inline constexpr double kBorderWidth = 16;
// The frame every benchmark renders; the rotation's keys lie on either side of it.
inline constexpr A_long kFrame = 30;

// One closed outline through the four corners of a rectangle, without tangents.
headless::TextOutlines RectangleOutline(double left, double top, double width, double height);

// An instance whose layer's outlines are one rectangle sized so that the box world (the border
// world when the border is on) is exactly width × height, placed over the whole composition.
// Global and parameter set-up have run.
std::unique_ptr<headless::EffectInstance> MakeBoxInstance(const BoxScene& scene);

// Everything a render command of kFrame needs, made once, so that repeated commands measure
// the command alone. The input layer is transparent; the output is the composition's size.
class PreparedFrame {
 public:
  explicit PreparedFrame(headless::EffectInstance& instance);
  headless::CommandResult Render();
  const PF_EffectWorld& output() const { return output_.world(); }

 private:
  headless::EffectInstance& instance_;
  headless::FrameTimes times_;
  headless::OwnedWorld input_;
  headless::OwnedWorld output_;
  std::vector<PF_ParamDef> params_;
  std::vector<PF_ParamDef*> pointers_;
};

// The plug-in's own share of a command: the entry point's time less the host's resampling and
// compositing (transform_world, transfer_rect), in seconds.
double PluginSeconds(const headless::CommandTiming& timing);

}  // namespace quorvel::bench
