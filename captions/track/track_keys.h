// SPDX-License-Identifier: MIT
// Keys of a caption track's layers, set at the times of the frames cues show on.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "headless/composition/keyframes.h"
#include "headless/composition/scene.h"

namespace quorvel::captions {

// A frame's time in seconds, as the host computes it (frames within the composition keep
// frame × frame_duration inside the host's 32-bit time values).
inline double FrameSeconds(A_long frame, const headless::Composition& composition) {
  return headless::Seconds(frame * composition.frame_duration, composition.time_scale);
}

// Keys from a map of times: each time once, the value set last at it.
template <typename T>
headless::Animated<T> Keyed(const std::map<double, T>& values, headless::Easing easing) {
  std::vector<typename headless::Animated<T>::Key> keys;
  keys.reserve(values.size());
  for (const auto& [seconds, value] : values) keys.push_back({seconds, value, easing});
  if (keys.empty()) return headless::Animated<T>(T{});
  return headless::Animated<T>::Keyed(std::move(keys));
}

}  // namespace quorvel::captions
