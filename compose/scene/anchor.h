// SPDX-License-Identifier: MIT
// A layer's anchor as scene files name it.
#pragma once

#include "compose/document/json_place.h"
#include "headless/composition/scene.h"

namespace quorvel::compose {

// "bottom-center" and the eight other points of a three-by-three grid ("center" is the middle):
// the point of a layer's block that sits at its position.
headless::TextAnchor ReadAnchor(const JsonPlace& place);

}  // namespace quorvel::compose
