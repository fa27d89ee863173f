// SPDX-License-Identifier: MIT
// A text layer's keys for markup and paragraph width in a scene file: "markup" (true: the text
// holds <b>, <i>, <font color> and the like), "width" (pixels, 0 for point text) and "balanced"
// (true: the wrapped lines as even as they can be).
#pragma once

#include <iterator>
#include <string>
#include <vector>

#include "compose/document/json_place.h"
#include "headless/composition/scene.h"

namespace quorvel::compose {

inline constexpr const char* kTextBlockKeys[] = {"markup", "width", "balanced"};

// Adds kTextBlockKeys to a layer's known keys.
inline void AddTextBlockKeys(std::vector<std::string>& keys) {
  keys.insert(keys.end(), std::begin(kTextBlockKeys), std::end(kTextBlockKeys));
}

// Reads those of the keys the layer gives; a width must be a number from 0 to 100000 pixels.
void ReadTextBlockKeys(const ObjectReader& reader, headless::TextLayer& layer);

}  // namespace quorvel::compose
