// SPDX-License-Identifier: MIT
#include "compose/scene/scene_scaling.h"

#include <algorithm>

namespace quorvel::compose {
namespace {

// The effect controls that are lengths or offsets in pixels; the others (percentages, angles,
// colours, choices) keep their values at any frame size.
constexpr const char* kLengthControls[] = {"Expansion Uniform", "Expansion Width",
                                           "Expansion Height", "Border Width", "Position"};

headless::Point2 Scaled(const headless::Point2& point, const FrameFit& fit, bool offset) {
  return {point.x * fit.factor + (offset ? fit.offset.x : 0),
          point.y * fit.factor + (offset ? fit.offset.y : 0)};
}

template <typename T, typename Scale>
void ScaleAnimated(headless::Animated<T>& value, Scale scale) {
  value.constant = scale(value.constant);
  for (auto& key : value.keys) key.value = scale(key.value);
}

// A control's value as the effect object writes it: a number or a point, constant or keyed.
void ScaleControl(Json& value, double factor) {
  const auto scale = [factor](Json& v) {
    if (v.is_number()) {
      v = v.get<double>() * factor;
    } else if (v.is_array()) {
      for (Json& coordinate : v) {
        if (coordinate.is_number()) coordinate = coordinate.get<double>() * factor;
      }
    }
  };
  if (IsKeyframeList(value)) {
    for (Json& key : value) {
      if (key.is_object() && key.contains("v")) scale(key["v"]);
    }
  } else {
    scale(value);
  }
}

}  // namespace

FrameFit FitFrame(int32_t from_width, int32_t from_height, int32_t to_width, int32_t to_height) {
  FrameFit fit;
  fit.factor = std::min(static_cast<double>(to_width) / from_width,
                        static_cast<double>(to_height) / from_height);
  fit.offset = {(to_width - from_width * fit.factor) / 2,
                (to_height - from_height * fit.factor) / 2};
  return fit;
}

void ScaleScene(SceneFile& scene, const FrameFit& fit) {
  for (SceneLayer& layer : scene.layers) {
    if (layer.footage) {
      ScaleAnimated(layer.footage->position,
                    [&](const headless::Point2& point) { return Scaled(point, fit, true); });
      ScaleAnimated(layer.footage->scale, [&](double percent) { return percent * fit.factor; });
      continue;
    }
    headless::TextLayer& text = layer.text;
    text.font_size *= fit.factor;
    text.width *= fit.factor;
    ScaleAnimated(text.position,
                  [&](const headless::Point2& point) { return Scaled(point, fit, true); });
    if (!layer.effect || !layer.effect->is_object()) continue;
    for (const char* control : kLengthControls) {
      if (layer.effect->contains(control)) ScaleControl((*layer.effect)[control], fit.factor);
    }
  }
}

}  // namespace quorvel::compose
