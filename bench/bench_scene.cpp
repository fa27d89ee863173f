// SPDX-License-Identifier: MIT
#include "bench/bench_scene.h"

#include <stdexcept>
#include <string>

#include "host/entry_point.h"

namespace quorvel::bench {

headless::TextOutlines RectangleOutline(double left, double top, double width, double height) {
  headless::TextOutline outline;
  const double corners[4][2] = {
      {left, top}, {left + width, top}, {left + width, top + height}, {left, top + height}};
  for (const auto& corner : corners) {
    PF_PathVertex vertex{};
    vertex.x = corner[0];
    vertex.y = corner[1];
    outline.vertices.push_back(vertex);
  }
  outline.closed = true;
  return {outline};
}

std::unique_ptr<headless::EffectInstance> MakeBoxInstance(const BoxScene& box) {
  auto instance = std::make_unique<headless::EffectInstance>(&EntryPointFunc);
  headless::Scene& scene = instance->mutable_scene();
  scene.composition.width = box.width;
  scene.composition.height = box.height;
  scene.composition.motion_blur = box.motion_blur;
  scene.layer.motion_blur = box.motion_blur;
  // The border world is the fill world grown by the border width; the border's outer edge then
  // meets the composition's edges.
  const double inset = box.border ? kBorderWidth / 2 : 0;
  const double outline_width = static_cast<double>(box.width) - 2 * inset;
  const double outline_height = static_cast<double>(box.height) - 2 * inset;
  scene.layer.explicit_outlines = headless::Animated<headless::TextOutlines>(
      RectangleOutline(inset, inset, outline_width, outline_height));
  if (instance->GlobalSetup().err != PF_Err_NONE || instance->ParamsSetup().err != PF_Err_NONE) {
    throw std::runtime_error("the plug-in refused its set-up");
  }
  instance->SetConstant("Fill Color", headless::ParamValue::Color(PF_Pixel{255, 228, 87, 46}));
  if (box.border) {
    instance->SetConstant("Enable Border", headless::ParamValue::Boolean(true));
    instance->SetConstant("Border Width", headless::ParamValue::Number(kBorderWidth));
    instance->SetConstant("Border Color",
                          headless::ParamValue::Color(PF_Pixel{255, 255, 255, 255}));
  }
  if (box.motion_blur) {
    const double frame_seconds = static_cast<double>(kFrame) *
                                 static_cast<double>(scene.composition.frame_duration) /
                                 static_cast<double>(scene.composition.time_scale);
    instance->SetKeys("Rotation", {{frame_seconds - 1, headless::ParamValue::Number(-15)},
                                   {frame_seconds + 1, headless::ParamValue::Number(15)}});
  }
  return instance;
}

PreparedFrame::PreparedFrame(headless::EffectInstance& instance)
    : instance_(instance),
      times_(headless::FrameTimesAt(instance.scene().composition, instance.scene().layer, kFrame)),
      input_(instance.scene().composition.width, instance.scene().composition.height),
      output_(instance.scene().composition.width, instance.scene().composition.height),
      params_(instance.ParamsAt(headless::Seconds(times_.current_time, times_.time_scale))) {
  times_.extent_hint = {0, 0, output_.width(), output_.height()};
  const A_long dephault = params_[0].u.ld.dephault;
  params_[0].u.ld = input_.world();
  params_[0].u.ld.dephault = dephault;
  for (PF_ParamDef& param : params_) pointers_.push_back(&param);
}

headless::CommandResult PreparedFrame::Render() {
  return instance_.RunCommand(PF_Cmd_RENDER, pointers_.data(), output_.get(), times_);
}

double PluginSeconds(const headless::CommandTiming& timing) {
  return static_cast<double>(timing.entry_point_ns - timing.transform_world_ns -
                             timing.transfer_rect_ns) *
         1e-9;
}

}  // namespace quorvel::bench
