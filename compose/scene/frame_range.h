// SPDX-License-Identifier: MIT
// A run of frames of a composition.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel::compose {

// An inclusive range of frame numbers, "12-40" or a single "7".
struct FrameRange {
  A_long first = 0;
  A_long last = 0;

  A_long Count() const { return last - first + 1; }
};

}  // namespace quorvel::compose
