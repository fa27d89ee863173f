// SPDX-License-Identifier: MIT
// A scene made for one frame size laid out for another, as subtitle renderers scale their play
// resolution: every length of it scaled alike, so that text is drawn sharp at the new size.
#pragma once

#include "compose/scene/scene_file.h"

namespace quorvel::compose {

// How a frame of `from` size fits one of `to` size: the smaller of the two ratios, so that the
// whole frame fits, and the offset that centres it.
struct FrameFit {
  double factor = 1;
  headless::Point2 offset;
};
FrameFit FitFrame(int32_t from_width, int32_t from_height, int32_t to_width, int32_t to_height);

// Scales the scene's layers by the fit: text sizes, positions (their keys too, then offset),
// footage scales, and the distances of the effects' controls (the expansions, the border
// width and the box's position offset). The composition's own size is left to the caller.
void ScaleScene(SceneFile& scene, const FrameFit& fit);

}  // namespace quorvel::compose
