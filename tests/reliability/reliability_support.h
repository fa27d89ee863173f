// SPDX-License-Identifier: MIT
// Scenes and pixel checks shared by the reliability tests.
#pragma once

#include <string>

#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"
#include "headless/pixels/world.h"
#include "hostapi/host_api.h"

namespace quorvel::reliability {

// What the host hands over as output, so that an untouched frame can be told apart.
inline constexpr PF_Pixel kHandedOver{255, 12, 34, 56};

// A frame inside the keyframed move of UseMotionBlur.
inline constexpr A_long kMotionFrame = 3;

// A small composition, so that hundreds of frames stay quick under the sanitizers.
inline void UseSmallTextScene(headless::Scene& scene) {
  scene.composition.width = 160;
  scene.composition.height = 80;
  scene.layer.text = std::string("Hi");
  scene.layer.font_size = 36;
  scene.layer.position = headless::Point2{50, 20};
  scene.layer.color = PF_Pixel{255, 255, 255, 255};
}

// Layer and composition motion blur on, the box moving 4 pixels a frame.
inline void UseMotionBlur(headless::EffectInstance& instance) {
  headless::Scene& scene = instance.mutable_scene();
  scene.composition.motion_blur = true;
  scene.layer.motion_blur = true;
  scene.composition.shutter_angle_degrees = 180;
  scene.composition.shutter_phase_degrees = 0;
  instance.SetKeys("Position", {{0, headless::ParamValue::Point(0, 0)},
                                {1, headless::ParamValue::Point(120, 0)}});
}

inline bool SamePixel(const PF_Pixel& a, const PF_Pixel& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

inline bool AllPixelsAre(const PF_EffectWorld& world, const PF_Pixel& colour) {
  for (A_long y = 0; y < world.height; ++y) {
    for (A_long x = 0; x < world.width; ++x) {
      if (!SamePixel(headless::PixelAt(world, x, y), colour)) return false;
    }
  }
  return true;
}

inline bool SameWorlds(const PF_EffectWorld& a, const PF_EffectWorld& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (A_long y = 0; y < a.height; ++y) {
    for (A_long x = 0; x < a.width; ++x) {
      if (!SamePixel(headless::PixelAt(a, x, y), headless::PixelAt(b, x, y))) return false;
    }
  }
  return true;
}

}  // namespace quorvel::reliability
