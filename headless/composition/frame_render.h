// SPDX-License-Identifier: MIT
// The host's render command: one frame of the scene through the effect, as a host renders it.
#pragma once

#include <optional>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {

struct FrameRequest {
  A_long frame = 0;
  // When set, the output world is filled with this colour before the command, so that a
  // caller can tell whether the effect wrote it at all.
  std::optional<PF_Pixel> output_fill;
  // The composition's shutter whatever the motion blur switches say, as a host other than After
  // Effects may pass it: for tests of what the effect does with it.
  bool shutter_regardless_of_switches = false;
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
// The instants a frame's layer pixels are drawn at: the frame's own time, or, with a shutter
// (both motion blur switches on), kMotionBlurSamples instants spread evenly across the
// effect's shutter interval, as the host spreads a motion-blurred placement. In seconds.
std::vector<double> ShutterSamples(const FrameTimes& times);
// The layer's pixels as a frame shows them: under a shutter the average of its samples when
// the text, its position or its outlines move across it (one drawing when they do not), else
// LayerPixels at the frame's time.
OwnedWorld LayerPixelsAtFrame(const Composition& composition, const TextLayer& layer,
                              const InstanceOptions& options, const FrameTimes& times);
OwnedWorld LayerPixelsAtFrame(const Composition& composition, const TextLayer& layer,
                              const InstanceOptions& options, A_long frame);

// The first and last instant, in seconds, at which rendering a frame with these times samples
// the layer and the effect's values: the frame's time and, under a shutter, the effect's open
// and close instants (the layer's own samples lie between them).
struct SampledInstants {
  double first;
  double last;
};
SampledInstants InstantsSampled(const FrameTimes& times);

// The span around a time over which what the layer draws stays the same: its text, its
// position and its outlines (not its opacity, which applies when it is laid over).
ConstantSpan DrawingConstantAround(const TextLayer& layer, double seconds);

// The layer's opacity at a frame's time as a composite takes it, 0 (not shown) to 255.
A_u_char OpacityAtFrame(const Composition& composition, const TextLayer& layer, A_long frame);

// Lays `upper` over `lower` (premultiplied) at an opacity, as a composition stacks layers, its
// top-left pixel at (left, top) of `lower`.
void LayOver(const PF_EffectWorld& upper, PF_EffectWorld& lower, A_u_char opacity = 255,
             A_long left = 0, A_long top = 0);

// Renders one frame: the text layer's own pixels at the instance's downsampling become the
// input world (parameter 0), the parameters take their values at the frame's time, and the
// output world is the layer's size. Safe to call from several threads at once on one instance.
// Throws std::invalid_argument for a scene the host cannot render (a size out of range).
RenderedFrame RenderFrame(EffectInstance& instance, const FrameRequest& request);

}  // namespace quorvel::headless
