// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "headless/pixels/fill.h"
#include "headless/pixels/world.h"
#include "tests/headless/pixel_test_support.h"

namespace quorvel::headless {
namespace {

using test::Argb;
using test::ArgbOf;
using test::Pixel;

class FillTest : public ::testing::Test {
 protected:
  void SetUp() override { test::FillWorld(world, Pixel(255, 9, 9, 9)); }
  OwnedWorld world{4, 3};
};

TEST_F(FillTest, NoColourAndNoRectangleClearTheWholeWorld) {
  EXPECT_EQ(Fill(nullptr, nullptr, nullptr, world.get()), PF_Err_NONE);
  EXPECT_TRUE(test::AllPixelsAre(world, Pixel(0, 0, 0, 0)));
}

TEST_F(FillTest, FillsOnlyInsideTheRectangle) {
  const PF_Pixel red = Pixel(255, 255, 0, 0);
  const PF_Rect rect{1, 1, 3, 2};  // left, top, right, bottom
  EXPECT_EQ(Fill(nullptr, &red, &rect, world.get()), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(world.At(1, 1)), (Argb{255, 255, 0, 0}));
  EXPECT_EQ(ArgbOf(world.At(2, 1)), (Argb{255, 255, 0, 0}));
  EXPECT_EQ(ArgbOf(world.At(0, 1)), (Argb{255, 9, 9, 9}));
  EXPECT_EQ(ArgbOf(world.At(3, 1)), (Argb{255, 9, 9, 9}));
  EXPECT_EQ(ArgbOf(world.At(1, 0)), (Argb{255, 9, 9, 9}));
  EXPECT_EQ(ArgbOf(world.At(1, 2)), (Argb{255, 9, 9, 9}));
}

TEST_F(FillTest, ClipsARectangleReachingOutsideTheWorld) {
  const PF_Pixel blue = Pixel(255, 0, 0, 255);
  const PF_Rect rect{-5, 2, 100, 50};
  EXPECT_EQ(Fill(nullptr, &blue, &rect, world.get()), PF_Err_NONE);
  for (A_long x = 0; x < 4; ++x) {
    EXPECT_EQ(ArgbOf(world.At(x, 2)), (Argb{255, 0, 0, 255}));
    EXPECT_EQ(ArgbOf(world.At(x, 1)), (Argb{255, 9, 9, 9}));
  }
}

TEST_F(FillTest, ARectangleWhollyOutsideChangesNothing) {
  const PF_Rect rect{10, 10, 20, 20};
  EXPECT_EQ(Fill(nullptr, nullptr, &rect, world.get()), PF_Err_NONE);
  EXPECT_TRUE(test::AllPixelsAre(world, Pixel(255, 9, 9, 9)));
}

TEST_F(FillTest, LeavesTheBytesBetweenRowsAlone) {
  // Rows are 32 bytes for 16 bytes of pixels; the padding after each row must stay.
  auto* bytes = reinterpret_cast<unsigned char*>(world.world().data);
  bytes[16] = 0x5A;
  EXPECT_EQ(Fill(nullptr, nullptr, nullptr, world.get()), PF_Err_NONE);
  EXPECT_EQ(bytes[16], 0x5A);
}

TEST_F(FillTest, AWorldWithoutPixelsIsAnError) {
  PF_EffectWorld empty{};
  EXPECT_EQ(Fill(nullptr, nullptr, nullptr, &empty), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Fill(nullptr, nullptr, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace quorvel::headless
