// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <limits>

#include "headless/text/text_outlines.h"

namespace quorvel::headless::test {

// The smallest rectangle holding every vertex (tangents left out).
struct Bounds {
  double left = std::numeric_limits<double>::infinity();
  double top = std::numeric_limits<double>::infinity();
  double right = -std::numeric_limits<double>::infinity();
  double bottom = -std::numeric_limits<double>::infinity();
};

inline Bounds VertexBounds(const TextOutlines& outlines) {
  Bounds bounds;
  for (const TextOutline& outline : outlines) {
    for (const PF_PathVertex& vertex : outline.vertices) {
      bounds.left = std::min(bounds.left, vertex.x);
      bounds.right = std::max(bounds.right, vertex.x);
      bounds.top = std::min(bounds.top, vertex.y);
      bounds.bottom = std::max(bounds.bottom, vertex.y);
    }
  }
  return bounds;
}

}  // namespace quorvel::headless::test
