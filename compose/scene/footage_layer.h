// SPDX-License-Identifier: MIT
// A footage layer of a scene: a video or still image file laid into the composition.
#pragma once

#include <string>

#include "compose/document/json_place.h"
#include "headless/composition/keyframes.h"
#include "headless/composition/scene.h"

namespace quorvel::compose {

// How the footage's frame is sized to the composition before its own scale applies: at its
// own size, fitted inside (the smaller ratio) or covering (the larger), both keeping its
// proportions, or stretched to the composition's width and height.
enum class FootageFit { kNone, kContain, kCover, kStretch };

struct FootageLayer {
  std::string path;          // the file, a relative path taken from the scene file's folder
  std::string given;         // as the scene names it, for messages
  double start_seconds = 0;  // where in the composition the footage's first frame sits
  double in_seconds = 0;     // the time in the footage that plays first
  // Where the anchor point of the (fitted, scaled) frame sits, in composition pixels; the
  // composition's centre unless given.
  headless::Animated<headless::Point2> position;
  headless::TextAnchor anchor{0.5, 0.5};
  headless::Animated<double> scale{100.0};    // percent, both ways
  headless::Animated<double> opacity{100.0};  // percent
  FootageFit fit = FootageFit::kNone;

  // The footage time shown at a composition time.
  double FootageSeconds(double composition_seconds) const {
    return composition_seconds - start_seconds + in_seconds;
  }
};

// The keys a footage layer takes.
bool IsFootageLayer(const Json& layer);

// Reads {"footage": "clip.mp4", "start", "in", "position", "anchor", "scale", "opacity", "fit"}.
// Throws SceneError naming the place; the file itself is opened when the scene is set up.
FootageLayer ReadFootageLayer(const JsonPlace& place, const headless::Composition& composition);

}  // namespace quorvel::compose
