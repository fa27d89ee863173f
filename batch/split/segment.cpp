// SPDX-License-Identifier: MIT
#include "batch/split/segment.h"

#include <cstdint>

namespace quorvel::batch {

namespace {

// Where run k starts, counted from the range's first frame; 64 bits, since k * n overflows
// 32 for long compositions split many ways.
A_long RunStart(int64_t k, int64_t frames, int64_t count) {
  return static_cast<A_long>(k * frames / count);
}

}  // namespace

compose::FrameRange SegmentOf(const compose::FrameRange& frames, int index, int count) {
  const int64_t n = frames.Count();
  return {frames.first + RunStart(index - 1, n, count),
          frames.first + RunStart(index, n, count) - 1};
}

}  // namespace quorvel::batch
