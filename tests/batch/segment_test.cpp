// SPDX-License-Identifier: MIT
// Segments: consecutive runs that cover the frames once, as even as whole frames allow.
#include <gtest/gtest.h>

#include <vector>

#include "batch/split/segment.h"

namespace quorvel::batch {
namespace {

using compose::FrameRange;

TEST(Segment, SplitsTheFramesIntoConsecutiveRunsOfNearlyEqualLength) {
  const struct {
    FrameRange frames;
    int count;
    std::vector<FrameRange> runs;
  } cases[] = {
      {{0, 9}, 3, {{0, 2}, {3, 5}, {6, 9}}},
      {{30, 59}, 3, {{30, 39}, {40, 49}, {50, 59}}},
      {{0, 4}, 5, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}},
      {{5, 5}, 1, {{5, 5}}},
      {{0, 6}, 4, {{0, 0}, {1, 2}, {3, 4}, {5, 6}}},
  };
  for (const auto& c : cases) {
    for (int index = 1; index <= c.count; ++index) {
      const FrameRange run = SegmentOf(c.frames, index, c.count);
      const FrameRange& expected = c.runs[static_cast<size_t>(index - 1)];
      EXPECT_EQ(run.first, expected.first) << index << "/" << c.count;
      EXPECT_EQ(run.last, expected.last) << index << "/" << c.count;
    }
  }
}

// A day at 24 000 frames a second split 100 000 ways: the product of the run's number and the
// frame count is past 32 bits.
TEST(Segment, LongCompositionsSplitManyWaysEndOnTheirLastFrame) {
  const FrameRange frames{0, 2'073'599'999};
  EXPECT_EQ(SegmentOf(frames, 100'000, 100'000).last, frames.last);
  EXPECT_EQ(SegmentOf(frames, 50'000, 100'000).first, 1'036'779'264);
}

}  // namespace
}  // namespace quorvel::batch
