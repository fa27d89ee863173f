// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "headless/pixels/transfer.h"
#include "headless/pixels/world.h"
#include "tests/headless/pixel_test_support.h"

namespace quorvel::headless {
namespace {

using test::Argb;
using test::ArgbOf;
using test::Pixel;

PF_CompositeMode Mode(PF_TransferMode xfer, int opacity = 255) {
  PF_CompositeMode mode{};
  mode.xfer = xfer;
  mode.opacity = static_cast<A_u_char>(opacity);
  return mode;
}

// One source pixel onto one destination pixel.
Argb TransferOne(const PF_Pixel& source, const PF_Pixel& dest, PF_TransferMode xfer,
                 PF_ModeFlags flags = PF_MF_Alpha_PREMUL, int opacity = 255) {
  OwnedWorld src(1, 1);
  OwnedWorld dst(1, 1);
  src.At(0, 0) = source;
  dst.At(0, 0) = dest;
  const PF_CompositeMode mode = Mode(xfer, opacity);
  EXPECT_EQ(TransferRect(nullptr, PF_Quality_HI, flags, PF_Field_FRAME, nullptr, src.get(), &mode,
                         nullptr, 0, 0, dst.get()),
            PF_Err_NONE);
  return ArgbOf(dst.At(0, 0));
}

TEST(TransferRectModes, InFrontOfStraightHalfRedOverOpaqueBlue) {
  // Premultiplied red 128; over blue: alpha 128 + 255 × 127/255, blue 255 × 127/255.
  EXPECT_EQ(TransferOne(Pixel(128, 255, 0, 0), Pixel(255, 0, 0, 255), PF_Xfer_IN_FRONT,
                        PF_MF_Alpha_STRAIGHT),
            (Argb{255, 128, 0, 127}));
}

TEST(TransferRectModes, InFrontOfPremultipliedHalfRedOverOpaqueBlue) {
  EXPECT_EQ(TransferOne(Pixel(128, 128, 0, 0), Pixel(255, 0, 0, 255), PF_Xfer_IN_FRONT),
            (Argb{255, 128, 0, 127}));
}

TEST(TransferRectModes, BehindPutsTheSourceUnderTheDestination) {
  // Half red behind half blue: blue stays, red shows through the 127/255 left: 128 × 127/255.
  EXPECT_EQ(TransferOne(Pixel(128, 128, 0, 0), Pixel(128, 0, 0, 128), PF_Xfer_BEHIND),
            (Argb{192, 64, 0, 128}));
}

TEST(TransferRectModes, BehindAnOpaqueDestinationChangesNothing) {
  EXPECT_EQ(TransferOne(Pixel(255, 255, 0, 0), Pixel(255, 0, 255, 0), PF_Xfer_BEHIND),
            (Argb{255, 0, 255, 0}));
}

TEST(TransferRectModes, MultiplyNotAlphaCutsTheSourceOutAndAddsNoColour) {
  // Opaque green times 1 − 64/255 = 191/255.
  EXPECT_EQ(TransferOne(Pixel(64, 64, 64, 64), Pixel(255, 0, 255, 0), PF_Xfer_MULTIPLY_NOT_ALPHA),
            (Argb{191, 0, 191, 0}));
}

TEST(TransferRectModes, MultiplyNotAlphaWithAnOpaqueSourceClears) {
  EXPECT_EQ(
      TransferOne(Pixel(255, 255, 255, 255), Pixel(255, 0, 255, 0), PF_Xfer_MULTIPLY_NOT_ALPHA),
      (Argb{0, 0, 0, 0}));
}

TEST(TransferRectModes, MultiplyAlphaKeepsTheDestinationWhereTheSourceIs) {
  EXPECT_EQ(TransferOne(Pixel(64, 0, 0, 0), Pixel(255, 0, 255, 0), PF_Xfer_MULTIPLY_ALPHA),
            (Argb{64, 0, 64, 0}));
}

TEST(TransferRectModes, CopyReplacesTheDestinationEvenWithTransparency) {
  EXPECT_EQ(TransferOne(Pixel(0, 0, 0, 0), Pixel(255, 0, 255, 0), PF_Xfer_COPY),
            (Argb{0, 0, 0, 0}));
  EXPECT_EQ(TransferOne(Pixel(128, 1, 2, 3), Pixel(255, 0, 255, 0), PF_Xfer_COPY),
            (Argb{128, 1, 2, 3}));
}

TEST(TransferRectModes, StraightSourceIsPremultipliedFirst) {
  EXPECT_EQ(
      TransferOne(Pixel(128, 100, 0, 0), Pixel(0, 0, 0, 0), PF_Xfer_COPY, PF_MF_Alpha_STRAIGHT),
      (Argb{128, 50, 0, 0}));
  EXPECT_EQ(TransferOne(Pixel(128, 100, 0, 0), Pixel(0, 0, 0, 0), PF_Xfer_COPY, PF_MF_Alpha_PREMUL),
            (Argb{128, 100, 0, 0}));
}

TEST(TransferRectModes, StraightCallTakesAPluginWorldAsStraightToo) {
  // Straight half red behind straight half blue: both premultiplied, combined as above
  // (192, 64, 0, 128), and unpremultiplied again: 64 × 255/192 and 128 × 255/192.
  OwnedWorld src(1, 1);
  src.At(0, 0) = Pixel(128, 255, 0, 0);
  test::PluginWorld dst(1, 1);
  dst.At(0, 0) = Pixel(128, 0, 0, 255);
  const PF_CompositeMode mode = Mode(PF_Xfer_BEHIND);
  ASSERT_EQ(TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME, nullptr,
                         src.get(), &mode, nullptr, 0, 0, dst.get()),
            PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{192, 85, 0, 170}));
}

TEST(TransferRectModes, OpacityScalesTheSource) {
  EXPECT_EQ(TransferOne(Pixel(255, 255, 0, 0), Pixel(0, 0, 0, 0), PF_Xfer_IN_FRONT,
                        PF_MF_Alpha_PREMUL, 128),
            (Argb{128, 128, 0, 0}));
}

TEST(TransferRectModes, ZeroOpacityChangesNothing) {
  EXPECT_EQ(TransferOne(Pixel(255, 255, 0, 0), Pixel(255, 0, 0, 255), PF_Xfer_COPY,
                        PF_MF_Alpha_PREMUL, 0),
            (Argb{255, 0, 0, 255}));
}

TEST(TransferRectModes, UnsupportedModeIsAnErrorAndChangesNothing) {
  OwnedWorld src(1, 1);
  OwnedWorld dst(1, 1);
  src.At(0, 0) = Pixel(255, 255, 0, 0);
  const PF_CompositeMode mode = Mode(PF_Xfer_DIFFERENCE);
  EXPECT_EQ(TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, nullptr,
                         src.get(), &mode, nullptr, 0, 0, dst.get()),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{0, 0, 0, 0}));
}

TEST(TransferRectModes, MissingWorldsOrModeAreErrors) {
  OwnedWorld world(1, 1);
  const PF_CompositeMode mode = Mode(PF_Xfer_COPY);
  EXPECT_EQ(TransferRect(nullptr, 0, 0, 0, nullptr, nullptr, &mode, nullptr, 0, 0, world.get()),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(TransferRect(nullptr, 0, 0, 0, nullptr, world.get(), &mode, nullptr, 0, 0, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(
      TransferRect(nullptr, 0, 0, 0, nullptr, world.get(), nullptr, nullptr, 0, 0, world.get()),
      PF_Err_BAD_CALLBACK_PARAM);
}

class TransferRectPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (A_long y = 0; y < 3; ++y) {
      for (A_long x = 0; x < 3; ++x) src.At(x, y) = Pixel(255, 10 * x, 10 * y, 0);
    }
  }
  PF_Err Transfer(const PF_Rect* rect, A_long dest_x, A_long dest_y) {
    return TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, rect, src.get(),
                        &mode, nullptr, dest_x, dest_y, dst.get());
  }
  OwnedWorld src{3, 3};
  OwnedWorld dst{4, 4};
  PF_CompositeMode mode = Mode(PF_Xfer_COPY);
};

TEST_F(TransferRectPlacementTest, PutsTheRectanglesCornerAtTheDestinationPoint) {
  const PF_Rect rect{1, 1, 3, 3};
  ASSERT_EQ(Transfer(&rect, 2, 0), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(2, 0)), (Argb{255, 10, 10, 0}));
  EXPECT_EQ(ArgbOf(dst.At(3, 1)), (Argb{255, 20, 20, 0}));
  EXPECT_EQ(ArgbOf(dst.At(1, 0)), (Argb{0, 0, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(2, 2)), (Argb{0, 0, 0, 0}));
}

TEST_F(TransferRectPlacementTest, ClipsAtTheDestinationsEdges) {
  ASSERT_EQ(Transfer(nullptr, -1, 3), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 3)), (Argb{255, 10, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(1, 3)), (Argb{255, 20, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(2, 3)), (Argb{0, 0, 0, 0}));
}

TEST_F(TransferRectPlacementTest, ClipsARectangleReachingOutsideTheSource) {
  const PF_Rect rect{-1, -1, 2, 2};
  ASSERT_EQ(Transfer(&rect, 0, 0), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{0, 0, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(1, 1)), (Argb{255, 0, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(2, 2)), (Argb{255, 10, 10, 0}));
}

TEST_F(TransferRectPlacementTest, FarAwayPointsDrawNothing) {
  ASSERT_EQ(Transfer(nullptr, 2147483000, -2147483000), PF_Err_NONE);
  EXPECT_TRUE(test::AllPixelsAre(dst, Pixel(0, 0, 0, 0)));
}

TEST(TransferRectSharing, ASourceOverlappingTheDestinationIsReadWhole) {
  OwnedWorld world(3, 1);
  world.At(0, 0) = Pixel(255, 1, 0, 0);
  world.At(1, 0) = Pixel(255, 2, 0, 0);
  world.At(2, 0) = Pixel(255, 3, 0, 0);
  const PF_CompositeMode mode = Mode(PF_Xfer_COPY);
  const PF_Rect rect{0, 0, 2, 1};
  ASSERT_EQ(TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, &rect,
                         world.get(), &mode, nullptr, 1, 0, world.get()),
            PF_Err_NONE);
  EXPECT_EQ(world.At(1, 0).red, 1);
  EXPECT_EQ(world.At(2, 0).red, 2);
}

class TransferRectMaskTest : public ::testing::Test {
 protected:
  PF_Err Transfer(const PF_MaskWorld& mask) {
    return TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, nullptr,
                        src.get(), &mode, &mask, 0, 0, dst.get());
  }
  OwnedWorld src{3, 1};
  OwnedWorld dst{3, 1};
  PF_CompositeMode mode = Mode(PF_Xfer_IN_FRONT);
};

TEST_F(TransferRectMaskTest, TheMasksAlphaLimitsTheSource) {
  test::FillWorld(src, Pixel(255, 255, 0, 0));
  OwnedWorld matte(3, 1);
  matte.At(0, 0) = Pixel(255, 0, 0, 0);
  matte.At(1, 0) = Pixel(128, 0, 0, 0);
  PF_MaskWorld mask{};
  mask.mask = matte.world();
  ASSERT_EQ(Transfer(mask), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{255, 255, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(1, 0)), (Argb{128, 128, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(2, 0)), (Argb{0, 0, 0, 0}));
}

TEST_F(TransferRectMaskTest, AnInvertedMaskUsesOneMinusItsAlpha) {
  test::FillWorld(src, Pixel(255, 255, 0, 0));
  OwnedWorld matte(3, 1);
  matte.At(0, 0) = Pixel(255, 0, 0, 0);
  PF_MaskWorld mask{};
  mask.mask = matte.world();
  mask.what_is_mask = PF_MaskFlag_INVERTED;
  ASSERT_EQ(Transfer(mask), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{0, 0, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(1, 0)), (Argb{255, 255, 0, 0}));
}

TEST_F(TransferRectMaskTest, TheDestinationItselfAsMaskConfinesTheSourceToIt) {
  // The text-matted-to-the-box case: text only where the box is, in front of it.
  test::FillWorld(src, Pixel(255, 255, 0, 0));
  dst.At(0, 0) = Pixel(255, 0, 0, 255);
  PF_MaskWorld mask{};
  mask.mask = dst.world();
  ASSERT_EQ(Transfer(mask), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{255, 255, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(1, 0)), (Argb{0, 0, 0, 0}));
}

TEST_F(TransferRectMaskTest, TheDestinationAsMaskIsReadBeforeAnythingIsWritten) {
  // With the mask one pixel to the right, pixel 2 looks at pixel 1's alpha, which pixel 1's
  // own transfer would otherwise have raised to opaque already.
  test::FillWorld(src, Pixel(255, 255, 0, 0));
  dst.At(0, 0) = Pixel(255, 0, 0, 255);
  PF_MaskWorld mask{};
  mask.mask = dst.world();
  mask.offset = {1, 0};
  ASSERT_EQ(Transfer(mask), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{255, 0, 0, 255}));
  EXPECT_EQ(ArgbOf(dst.At(1, 0)), (Argb{255, 255, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(2, 0)), (Argb{0, 0, 0, 0}));
}

TEST_F(TransferRectMaskTest, ALuminanceMaskIsRefused) {
  PF_MaskWorld mask{};
  mask.mask = dst.world();
  mask.what_is_mask = PF_MaskFlag_LUMINANCE;
  EXPECT_EQ(Transfer(mask), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace quorvel::headless
