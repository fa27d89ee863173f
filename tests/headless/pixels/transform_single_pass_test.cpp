// SPDX-License-Identifier: MIT
// A single IN_FRONT placement at full opacity is composited in one pass through a window of the
// source's rows; an all-opaque mask sends the same placement down the general path (resampled
// layer, then composited), which must give the same pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "headless/pixels/transform.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

// Row vectors, translation in the third row: scale, then turn, then move.
PF_FloatMatrix Placement(double degrees, double scale, double dx, double dy) {
  const double radians = degrees * 3.14159265358979323846 / 180;
  PF_FloatMatrix m{};
  m.mat[0][0] = scale * std::cos(radians);
  m.mat[0][1] = scale * std::sin(radians);
  m.mat[1][0] = -scale * std::sin(radians);
  m.mat[1][1] = scale * std::cos(radians);
  m.mat[2][0] = dx;
  m.mat[2][1] = dy;
  m.mat[2][2] = 1;
  return m;
}

// Straight colour with an alpha ramp and a soft edge, so that every sample differs.
OwnedWorld Source(A_long width, A_long height) {
  OwnedWorld world(width, height);
  for (A_long y = 0; y < height; ++y) {
    for (A_long x = 0; x < width; ++x) {
      world.At(x, y) =
          PF_Pixel{static_cast<A_u_char>((x * 7 + y * 3) % 256), static_cast<A_u_char>(x % 256),
                   static_cast<A_u_char>(y % 256), static_cast<A_u_char>((x + y) % 256)};
    }
  }
  return world;
}

OwnedWorld Background(A_long width, A_long height) {
  OwnedWorld world(width, height);
  for (A_long y = 0; y < height; ++y) {
    for (A_long x = 0; x < width; ++x) world.At(x, y) = PF_Pixel{200, 20, 100, 180};
  }
  return world;
}

int DifferingPixels(const OwnedWorld& a, const OwnedWorld& b) {
  int differing = 0;
  for (A_long y = 0; y < a.height(); ++y) {
    for (A_long x = 0; x < a.width(); ++x) {
      const PF_Pixel& p = a.At(x, y);
      const PF_Pixel& q = b.At(x, y);
      if (p.alpha != q.alpha || p.red != q.red || p.green != q.green || p.blue != q.blue) {
        ++differing;
      }
    }
  }
  return differing;
}

void ExpectSinglePassMatchesGeneralPath(const PF_FloatMatrix& matrix, PF_Quality quality,
                                        PF_ModeFlags flags) {
  const OwnedWorld source = Source(300, 170);
  OwnedWorld single_pass = Background(400, 320);
  OwnedWorld general = Background(400, 320);
  OwnedWorld opaque(400, 320);
  for (A_long y = 0; y < opaque.height(); ++y) {
    for (A_long x = 0; x < opaque.width(); ++x) opaque.At(x, y).alpha = 255;
  }
  PF_MaskWorld mask{};
  mask.mask = opaque.world();
  mask.what_is_mask = PF_MaskFlag_NONE;
  const PF_CompositeMode mode{PF_Xfer_IN_FRONT, 0, 255, 0, 0};
  ASSERT_EQ(TransformWorld(nullptr, quality, flags, PF_Field_FRAME, source.get(), &mode, nullptr,
                           &matrix, 1, 1, nullptr, single_pass.get()),
            PF_Err_NONE);
  ASSERT_EQ(TransformWorld(nullptr, quality, flags, PF_Field_FRAME, source.get(), &mode, &mask,
                           &matrix, 1, 1, nullptr, general.get()),
            PF_Err_NONE);
  EXPECT_EQ(DifferingPixels(single_pass, general), 0);
}

TEST(TransformSinglePass, MatchesTheGeneralPathForAStraightSourceTurnedAndScaled) {
  ExpectSinglePassMatchesGeneralPath(Placement(7, 1.3, 40.25, 12.5), PF_Quality_HI,
                                     PF_MF_Alpha_STRAIGHT);
}

TEST(TransformSinglePass, MatchesTheGeneralPathForAQuarterTurn) {
  ExpectSinglePassMatchesGeneralPath(Placement(90, 1, 320, 10), PF_Quality_HI,
                                     PF_MF_Alpha_STRAIGHT);
}

TEST(TransformSinglePass, MatchesTheGeneralPathForAPremultipliedSourceShrunk) {
  ExpectSinglePassMatchesGeneralPath(Placement(-33, 0.6, 150, 140), PF_Quality_HI,
                                     PF_MF_Alpha_PREMUL);
}

TEST(TransformSinglePass, MatchesTheGeneralPathAtLowQuality) {
  ExpectSinglePassMatchesGeneralPath(Placement(12, 1.1, 20.7, 30.3), PF_Quality_LO,
                                     PF_MF_Alpha_STRAIGHT);
}

TEST(TransformSinglePass, MatchesTheGeneralPathForAPlacementPartlyOutside) {
  ExpectSinglePassMatchesGeneralPath(Placement(180, 1.5, 250, 200), PF_Quality_HI,
                                     PF_MF_Alpha_STRAIGHT);
}

}  // namespace
}  // namespace quorvel::headless
