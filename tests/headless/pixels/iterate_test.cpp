// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "headless/pixels/iterate.h"
#include "headless/pixels/world.h"
#include "tests/headless/pixel_test_support.h"

namespace quorvel::headless {
namespace {

using test::Argb;
using test::ArgbOf;
using test::Pixel;

struct Visit {
  A_long x, y;
  PF_Pixel in;
  bool in_is_out;
};

struct Recorder {
  std::vector<Visit> visits;
  A_long fail_x = -1, fail_y = -1;
  PF_Err failure = PF_Err_NONE;
};

// Records each call and writes (255, x, y, in.red + 1) to out.
PF_Err RecordAndWrite(void* refcon, A_long x, A_long y, PF_Pixel* in, PF_Pixel* out) {
  auto& recorder = *static_cast<Recorder*>(refcon);
  recorder.visits.push_back({x, y, *in, in == out});
  if (x == recorder.fail_x && y == recorder.fail_y) return recorder.failure;
  *out = Pixel(255, x, y, in->red + 1);
  return PF_Err_NONE;
}

TEST(Iterate, InPlaceVisitsEveryPixelOnceInRowOrderWithInBeingOut) {
  OwnedWorld world(3, 2);
  world.At(2, 1) = Pixel(9, 7, 0, 0);
  Recorder recorder;
  ASSERT_EQ(Iterate(nullptr, 0, 2, nullptr, nullptr, &recorder, RecordAndWrite, world.get()),
            PF_Err_NONE);
  ASSERT_EQ(recorder.visits.size(), 6u);
  const std::pair<A_long, A_long> order[] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(recorder.visits[i].x, order[i].first);
    EXPECT_EQ(recorder.visits[i].y, order[i].second);
    EXPECT_TRUE(recorder.visits[i].in_is_out);
  }
  EXPECT_EQ(recorder.visits[5].in.red, 7);
  EXPECT_EQ(ArgbOf(world.At(2, 1)), (Argb{255, 2, 1, 8}));
}

TEST(Iterate, WithASourceReadsTheSourcePixelAndWritesTheDestination) {
  OwnedWorld src(2, 2);
  OwnedWorld dst(2, 2);
  src.At(1, 0) = Pixel(255, 40, 0, 0);
  Recorder recorder;
  ASSERT_EQ(Iterate(nullptr, 0, 0, src.get(), nullptr, &recorder, RecordAndWrite, dst.get()),
            PF_Err_NONE);
  ASSERT_EQ(recorder.visits.size(), 4u);
  EXPECT_FALSE(recorder.visits[1].in_is_out);
  EXPECT_EQ(ArgbOf(dst.At(1, 0)), (Argb{255, 1, 0, 41}));
  EXPECT_EQ(ArgbOf(src.At(1, 0)), (Argb{255, 40, 0, 0}));
}

TEST(Iterate, VisitsOnlyTheAreaClippedToTheWorld) {
  OwnedWorld world(4, 4);
  const PF_Rect area{2, 3, 9, 9};
  Recorder recorder;
  ASSERT_EQ(Iterate(nullptr, 0, 0, nullptr, &area, &recorder, RecordAndWrite, world.get()),
            PF_Err_NONE);
  ASSERT_EQ(recorder.visits.size(), 2u);
  EXPECT_EQ(recorder.visits[0].x, 2);
  EXPECT_EQ(recorder.visits[0].y, 3);
  EXPECT_EQ(recorder.visits[1].x, 3);
  EXPECT_EQ(ArgbOf(world.At(1, 3)), (Argb{0, 0, 0, 0}));
}

TEST(Iterate, StopsAtTheFirstErrorAndReturnsIt) {
  OwnedWorld world(3, 3);
  Recorder recorder;
  recorder.fail_x = 1;
  recorder.fail_y = 1;
  recorder.failure = PF_Interrupt_CANCEL;
  EXPECT_EQ(Iterate(nullptr, 0, 0, nullptr, nullptr, &recorder, RecordAndWrite, world.get()),
            PF_Interrupt_CANCEL);
  EXPECT_EQ(recorder.visits.size(), 5u);
  EXPECT_EQ(ArgbOf(world.At(2, 1)), (Argb{0, 0, 0, 0}));
}

TEST(Iterate, ASmallerSourceReadsTransparentBlackOutsideIt) {
  OwnedWorld src(1, 1);
  OwnedWorld dst(2, 1);
  src.At(0, 0) = Pixel(255, 50, 0, 0);
  Recorder recorder;
  ASSERT_EQ(Iterate(nullptr, 0, 0, src.get(), nullptr, &recorder, RecordAndWrite, dst.get()),
            PF_Err_NONE);
  ASSERT_EQ(recorder.visits.size(), 2u);
  EXPECT_EQ(ArgbOf(recorder.visits[0].in), (Argb{255, 50, 0, 0}));
  EXPECT_EQ(ArgbOf(recorder.visits[1].in), (Argb{0, 0, 0, 0}));
}

TEST(Iterate, NoFunctionOrNoDestinationIsAnError) {
  OwnedWorld world(2, 2);
  Recorder recorder;
  EXPECT_EQ(Iterate(nullptr, 0, 0, nullptr, nullptr, &recorder, nullptr, world.get()),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Iterate(nullptr, 0, 0, nullptr, nullptr, &recorder, RecordAndWrite, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(recorder.visits.empty());
}

}  // namespace
}  // namespace quorvel::headless
