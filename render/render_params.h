// SPDX-License-Identifier: MIT
// The parameter values of one render call, turned from host records into plain values.
#pragma once

#include "hostapi/host_api.h"
#include "params/param_index.h"
#include "render/box_geometry.h"

namespace quorvel {

struct RenderParams {
  ShapeKind shape = ShapeKind::Auto;
  double roundness_factor = 0;   // Roundness through RemapRoundness; 0 keeps square corners
  double expansion_uniform = 0;  // pixels at full resolution, as read
  double expansion_width = 0;
  double expansion_height = 0;
  PF_Pixel fill_color{};
  double fill_opacity = 0;         // 0..1
  TransformSample open_sample{};   // the transform values at the shutter-open instant
  TransformSample close_sample{};  // and at the shutter-close instant
  A_long uniform_scale = 0;
  AnchorX anchor_x = AnchorX::Center;
  AnchorY anchor_y = AnchorY::Center;
  A_long matte_text = 0;
  A_long subtract_text = 0;
  A_long border_enabled = 0;
  double border_width = 0;  // pixels at full resolution, as read
  PF_Pixel border_color{};
  double border_opacity = 0;     // 0..1
  PF_EffectWorld input_layer{};  // the input layer's world record, not its pixels
};

// Reads every value the render uses. The six transform parameters (Position, Rotation, Scale
// Width, Scale Height, Skew X, Skew Y) are checked out from the host at the shutter-open and at
// the shutter-close instant and checked back in; the others come from `params` as given.
void ReadRenderParams(PF_InData* in_data, PF_ParamDef* params[], RenderParams& render_params);

}  // namespace quorvel
