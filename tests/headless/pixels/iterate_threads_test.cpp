// SPDX-License-Identifier: MIT
// Iteration over areas large enough to be split into bands of rows on several threads.
#include <gtest/gtest.h>

#include <atomic>

#include "headless/pixels/iterate.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

// 512 × 512 pixels: four bands' worth, whatever the machine's thread count.
constexpr A_long kSide = 512;

// Counts the visit in alpha and writes where it was into red and green.
PF_Err MarkVisit(void*, A_long x, A_long y, PF_Pixel*, PF_Pixel* out) {
  ++out->alpha;
  out->red = static_cast<A_u_char>(x & 0xFF);
  out->green = static_cast<A_u_char>(y & 0xFF);
  return PF_Err_NONE;
}

TEST(IterateLargeArea, VisitsEveryPixelExactlyOnceWithItsOwnCoordinates) {
  OwnedWorld world(kSide, kSide);
  ASSERT_EQ(Iterate(nullptr, 0, kSide, nullptr, nullptr, nullptr, MarkVisit, world.get()),
            PF_Err_NONE);
  int wrong = 0;
  for (A_long y = 0; y < kSide; ++y) {
    for (A_long x = 0; x < kSide; ++x) {
      const PF_Pixel& pixel = world.At(x, y);
      if (pixel.alpha != 1 || pixel.red != (x & 0xFF) || pixel.green != (y & 0xFF)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(IterateLargeArea, ReadsTheSourceAtEachPixelOfTheDestination) {
  OwnedWorld source(kSide, kSide);
  OwnedWorld destination(kSide, kSide);
  for (A_long y = 0; y < kSide; ++y) {
    for (A_long x = 0; x < kSide; ++x) source.At(x, y).blue = static_cast<A_u_char>((x + y) & 0xFF);
  }
  const auto copy_blue = [](void*, A_long, A_long, PF_Pixel* in, PF_Pixel* out) -> PF_Err {
    out->blue = in->blue;
    return PF_Err_NONE;
  };
  ASSERT_EQ(
      Iterate(nullptr, 0, kSide, source.get(), nullptr, nullptr, copy_blue, destination.get()),
      PF_Err_NONE);
  int wrong = 0;
  for (A_long y = 0; y < kSide; ++y) {
    for (A_long x = 0; x < kSide; ++x) {
      if (destination.At(x, y).blue != ((x + y) & 0xFF)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

// Fails with PF_Interrupt_CANCEL in the top row and PF_Err_OUT_OF_MEMORY in the bottom row.
PF_Err FailTopAndBottom(void*, A_long x, A_long y, PF_Pixel*, PF_Pixel*) {
  if (x == 0 && y == 0) return PF_Interrupt_CANCEL;
  if (x == 0 && y == kSide - 1) return PF_Err_OUT_OF_MEMORY;
  return PF_Err_NONE;
}

TEST(IterateLargeArea, ReturnsTheErrorOfTheTopmostFailingRow) {
  OwnedWorld world(kSide, kSide);
  EXPECT_EQ(Iterate(nullptr, 0, kSide, nullptr, nullptr, nullptr, FailTopAndBottom, world.get()),
            PF_Interrupt_CANCEL);
}

TEST(IterateLargeArea, CallsTheFunctionOncePerPixelInTotal) {
  OwnedWorld world(kSide, kSide);
  std::atomic<int> calls{0};
  const auto count = [](void* refcon, A_long, A_long, PF_Pixel*, PF_Pixel*) -> PF_Err {
    static_cast<std::atomic<int>*>(refcon)->fetch_add(1, std::memory_order_relaxed);
    return PF_Err_NONE;
  };
  ASSERT_EQ(Iterate(nullptr, 0, kSide, nullptr, nullptr, &calls, count, world.get()), PF_Err_NONE);
  EXPECT_EQ(calls.load(), kSide * kSide);
}

}  // namespace
}  // namespace quorvel::headless
