// SPDX-License-Identifier: MIT
// The host's render command: one frame of the scene through the effect, as a host renders it.
#pragma once

#include <optional>

#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {

struct FrameRequest {
  A_long frame = 0;
  // When set, the output world is filled with this colour before the command, so that a
  // caller can tell whether the effect wrote it at all.
  std::optional<PF_Pixel> output_fill;
};

struct RenderedFrame {
  OwnedWorld output;
  CommandResult result;
};

// The size of a layer of `full` pixels at a downsample factor (rounded up, at least 1).
A_long DownsampledSize(A_long full, const PF_RationalScale& factor);

// A text layer's own pixels at a time, at the options' resolution: the input world an effect
// on it gets as parameter 0, and all that a layer without an effect shows.
OwnedWorld LayerPixels(const Composition& composition, const TextLayer& layer,
                       const InstanceOptions& options, double seconds);
// LayerPixels at the time of a frame of the composition.
OwnedWorld LayerPixelsAtFrame(const Composition& composition, const TextLayer& layer,
                              const InstanceOptions& options, A_long frame);

// Lays `upper` over `lower` (premultiplied, the same size), as a composition stacks layers.
void LayOver(const PF_EffectWorld& upper, PF_EffectWorld& lower);

// Renders one frame: the text layer's own pixels at the instance's downsampling become the
// input world (parameter 0), the parameters take their values at the frame's time, and the
// output world is the layer's size. Safe to call from several threads at once on one instance.
// Throws std::invalid_argument for a scene the host cannot render (a size out of range).
RenderedFrame RenderFrame(EffectInstance& instance, const FrameRequest& request);

}  // namespace quorvel::headless
