// SPDX-License-Identifier: MIT
#include "headless/composition/scene.h"

#include <algorithm>
#include <limits>

namespace quorvel::headless {

A_long TextOutline::NumSegments() const {
  const size_t count = closed ? vertices.size() : (vertices.empty() ? 0 : vertices.size() - 1);
  const auto limit = static_cast<size_t>(std::numeric_limits<A_long>::max());
  return static_cast<A_long>(std::min(count, limit));
}

}  // namespace quorvel::headless
