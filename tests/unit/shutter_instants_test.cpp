// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <limits>

#include "text/text_outline_query.h"

namespace quorvel {
namespace {

PF_InData Frame(A_long current_time, A_long time_step, PF_Fixed shutter_phase,
                PF_Fixed shutter_angle) {
  PF_InData in_data{};
  in_data.current_time = current_time;
  in_data.time_step = time_step;
  in_data.shutter_phase = shutter_phase;
  in_data.shutter_angle = shutter_angle;
  return in_data;
}

TEST(ComputeShutterInstants, HalfPhaseAndHalfAngleTruncateEachInstant) {
  // open = truncate(1.5) = 1; close = truncate(1.5 + 1) = 2, from the truncated open.
  const ShutterInstants instants = ComputeShutterInstants(Frame(0, 3, 32768, 32768));
  EXPECT_EQ(instants.open, 1);
  EXPECT_EQ(instants.close, 2);
}

TEST(ComputeShutterInstants, NegativeFractionTruncatesTowardZero) {
  // truncate(-1.5) is -1, not -2.
  const ShutterInstants instants = ComputeShutterInstants(Frame(0, 3, -32768, 0));
  EXPECT_EQ(instants.open, -1);
  EXPECT_EQ(instants.close, -1);
}

TEST(ComputeShutterInstants, ZeroPhaseAndAngleGiveTheCurrentTimeTwice) {
  const ShutterInstants instants = ComputeShutterInstants(Frame(120, 4, 0, 0));
  EXPECT_EQ(instants.open, 120);
  EXPECT_EQ(instants.close, 120);
}

TEST(ComputeShutterInstants, CloseBuildsOnTheTruncatedOpen) {
  // open = truncate(10 + 0.75) = 10; close = truncate(10 + 0.75) = 10, where the untruncated
  // sum 10.75 + 0.75 would reach 11.
  const ShutterInstants instants = ComputeShutterInstants(Frame(10, 1, 49152, 49152));
  EXPECT_EQ(instants.open, 10);
  EXPECT_EQ(instants.close, 10);
}

TEST(ComputeShutterInstants, InstantsBeyondTheRangeSaturate) {
  constexpr A_long kMax = std::numeric_limits<A_long>::max();
  constexpr A_long kMin = std::numeric_limits<A_long>::min();
  const ShutterInstants late = ComputeShutterInstants(Frame(kMax, kMax, 65536, 65536));
  EXPECT_EQ(late.open, kMax);
  EXPECT_EQ(late.close, kMax);
  const ShutterInstants early = ComputeShutterInstants(Frame(kMin, kMax, -65536, -65536));
  EXPECT_EQ(early.open, kMin);
  EXPECT_EQ(early.close, kMin);
}

}  // namespace
}  // namespace quorvel
