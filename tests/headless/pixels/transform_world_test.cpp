// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "headless/pixels/transform.h"
#include "headless/pixels/world.h"
#include "tests/headless/pixel_test_support.h"

namespace quorvel::headless {
namespace {

using test::Argb;
using test::ArgbOf;
using test::Pixel;

// Row-vector matrices: x' = x·m[0][0] + y·m[1][0] + m[2][0], y' = x·m[0][1] + y·m[1][1] + m[2][1].
PF_FloatMatrix Matrix(double m00, double m01, double m10, double m11, double tx, double ty) {
  PF_FloatMatrix matrix{};
  matrix.mat[0][0] = m00;
  matrix.mat[0][1] = m01;
  matrix.mat[1][0] = m10;
  matrix.mat[1][1] = m11;
  matrix.mat[2][0] = tx;
  matrix.mat[2][1] = ty;
  matrix.mat[2][2] = 1;
  return matrix;
}

PF_FloatMatrix Translation(double tx, double ty) {
  return Matrix(1, 0, 0, 1, tx, ty);
}

PF_CompositeMode Mode(PF_TransferMode xfer) {
  PF_CompositeMode mode{};
  mode.xfer = xfer;
  mode.opacity = 255;
  return mode;
}

PF_Err Transform(const OwnedWorld& src, OwnedWorld& dst, const PF_FloatMatrix* matrices,
                 A_long count, PF_TransferMode xfer = PF_Xfer_IN_FRONT,
                 PF_ModeFlags flags = PF_MF_Alpha_PREMUL, const PF_Rect* dest_rect = nullptr,
                 PF_Boolean src2dst = 1, const PF_MaskWorld* mask = nullptr) {
  const PF_CompositeMode mode = Mode(xfer);
  return TransformWorld(nullptr, PF_Quality_HI, flags, PF_Field_FRAME, src.get(), &mode, mask,
                        matrices, count, src2dst, dest_rect, dst.get());
}

// A source whose neighbouring pixels differ: premultiplied, alpha 200 or 255.
OwnedWorld Pattern(A_long width, A_long height) {
  OwnedWorld world(width, height);
  for (A_long y = 0; y < height; ++y) {
    for (A_long x = 0; x < width; ++x) {
      const int alpha = (x + y) % 2 == 0 ? 255 : 200;
      world.At(x, y) = Pixel(alpha, (20 * x + 5) % 201, (30 * y + 7) % 201, alpha / 2);
    }
  }
  return world;
}

bool SameWorlds(const OwnedWorld& a, const OwnedWorld& b) {
  for (A_long y = 0; y < a.height(); ++y) {
    for (A_long x = 0; x < a.width(); ++x) {
      if (!(ArgbOf(a.At(x, y)) == ArgbOf(b.At(x, y)))) return false;
    }
  }
  return true;
}

// A world placed into itself lands as if it were placed from a copy of itself, both in the
// one-pass path (one matrix, IN_FRONT) and in the banded one (two matrices).
TEST(TransformWorld, ASourceThatIsTheDestinationIsReadBeforeItIsWritten) {
  for (const A_long count : {A_long{1}, A_long{2}}) {
    OwnedWorld world = Pattern(40, 200);
    const OwnedWorld copy = Pattern(40, 200);
    OwnedWorld expected = Pattern(40, 200);
    const PF_FloatMatrix down[2] = {Translation(3, 70), Translation(5, 90)};
    ASSERT_EQ(Transform(copy, expected, down, count), PF_Err_NONE);
    ASSERT_EQ(Transform(world, world, down, count), PF_Err_NONE);
    EXPECT_TRUE(SameWorlds(world, expected)) << count << " matrices";
  }
}

TEST(TransformWorld, IdentityCopiesTheSource) {
  const OwnedWorld src = Pattern(4, 3);
  OwnedWorld dst(4, 3);
  const PF_FloatMatrix identity = Translation(0, 0);
  ASSERT_EQ(Transform(src, dst, &identity, 1), PF_Err_NONE);
  EXPECT_TRUE(SameWorlds(src, dst));
}

TEST(TransformWorld, WholePixelTranslationShiftsExactly) {
  const OwnedWorld src = Pattern(3, 2);
  OwnedWorld dst(6, 4);
  const PF_FloatMatrix shift = Translation(2, 1);
  ASSERT_EQ(Transform(src, dst, &shift, 1), PF_Err_NONE);
  for (A_long y = 0; y < 4; ++y) {
    for (A_long x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
      const Argb expected = inside ? ArgbOf(src.At(x - 2, y - 1)) : Argb{0, 0, 0, 0};
      EXPECT_EQ(ArgbOf(dst.At(x, y)), expected) << "at " << x << ", " << y;
    }
  }
}

TEST(TransformWorld, DestinationToSourceMatrixIsTheInverseMapping) {
  const OwnedWorld src = Pattern(3, 2);
  OwnedWorld forward(6, 4);
  OwnedWorld backward(6, 4);
  const PF_FloatMatrix to_dest = Translation(2, 1);
  const PF_FloatMatrix to_source = Translation(-2, -1);
  ASSERT_EQ(Transform(src, forward, &to_dest, 1), PF_Err_NONE);
  ASSERT_EQ(
      Transform(src, backward, &to_source, 1, PF_Xfer_IN_FRONT, PF_MF_Alpha_PREMUL, nullptr, 0),
      PF_Err_NONE);
  EXPECT_TRUE(SameWorlds(forward, backward));
}

TEST(TransformWorld, QuarterTurnClockwiseMapsTheCorners) {
  // (x, y) -> (2 - y, x): a 3 × 2 source becomes 2 × 3, turned clockwise on screen.
  OwnedWorld src(3, 2);
  src.At(0, 0) = Pixel(255, 1, 0, 0);
  src.At(2, 0) = Pixel(255, 2, 0, 0);
  src.At(0, 1) = Pixel(255, 3, 0, 0);
  src.At(2, 1) = Pixel(255, 4, 0, 0);
  OwnedWorld dst(2, 3);
  const PF_FloatMatrix turn = Matrix(0, 1, -1, 0, 2, 0);
  ASSERT_EQ(Transform(src, dst, &turn, 1), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(1, 0)), (Argb{255, 1, 0, 0}));  // top left to top right
  EXPECT_EQ(ArgbOf(dst.At(1, 2)), (Argb{255, 2, 0, 0}));  // top right to bottom right
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{255, 3, 0, 0}));  // bottom left to top left
  EXPECT_EQ(ArgbOf(dst.At(0, 2)), (Argb{255, 4, 0, 0}));  // bottom right to bottom left
}

TEST(TransformWorld, LargeSourceShiftsExactlyAcrossManyRows) {
  // Large enough that the layer is resampled in several bands of rows.
  const OwnedWorld src = Pattern(300, 250);
  OwnedWorld dst(310, 260);
  const PF_FloatMatrix shift = Translation(3, 7);
  ASSERT_EQ(Transform(src, dst, &shift, 1), PF_Err_NONE);
  for (A_long y = 0; y < 250; ++y) {
    for (A_long x = 0; x < 300; ++x) {
      ASSERT_EQ(ArgbOf(dst.At(x + 3, y + 7)), ArgbOf(src.At(x, y))) << "at " << x << ", " << y;
    }
  }
  EXPECT_EQ(ArgbOf(dst.At(2, 100)), (Argb{0, 0, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(100, 6)), (Argb{0, 0, 0, 0}));
}

TEST(TransformWorld, HalfPixelShiftBlendsNeighboursBilinearly) {
  OwnedWorld src(1, 1);
  src.At(0, 0) = Pixel(255, 255, 255, 255);
  OwnedWorld dst(3, 1);
  const PF_FloatMatrix shift = Translation(0.5, 0);
  ASSERT_EQ(Transform(src, dst, &shift, 1), PF_Err_NONE);
  EXPECT_NEAR(dst.At(0, 0).alpha, 128, 1);
  EXPECT_NEAR(dst.At(1, 0).alpha, 128, 1);
  EXPECT_EQ(dst.At(2, 0).alpha, 0);
}

TEST(TransformWorld, TwoEqualMatricesGiveTheSameAsOne) {
  const OwnedWorld src = Pattern(5, 4);
  OwnedWorld once(12, 12);
  OwnedWorld twice(12, 12);
  const double angle = 30.0 * std::acos(-1.0) / 180.0;
  const PF_FloatMatrix turn =
      Matrix(std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 5.25, 1.5);
  const PF_FloatMatrix pair[2] = {turn, turn};
  ASSERT_EQ(Transform(src, once, &turn, 1), PF_Err_NONE);
  ASSERT_EQ(Transform(src, twice, pair, 2), PF_Err_NONE);
  EXPECT_TRUE(SameWorlds(once, twice));
}

TEST(TransformWorld, TwoEqualMatricesGiveTheSameAsOneOnALargeWorld) {
  const OwnedWorld src = Pattern(260, 200);
  OwnedWorld once(400, 400);
  OwnedWorld twice(400, 400);
  const double angle = -20.0 * std::acos(-1.0) / 180.0;
  const PF_FloatMatrix turn =
      Matrix(std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 60.5, 140.25);
  const PF_FloatMatrix pair[2] = {turn, turn};
  ASSERT_EQ(Transform(src, once, &turn, 1), PF_Err_NONE);
  ASSERT_EQ(Transform(src, twice, pair, 2), PF_Err_NONE);
  EXPECT_GE(once.At(216, 189).alpha, 200);  // where the source's centre lands
  EXPECT_TRUE(SameWorlds(once, twice));
}

TEST(TransformWorld, MotionBlurSpreadsTheSourceEvenlyAlongThePath) {
  // One opaque pixel moving 16 pixels right: 16 placements at 0.5, 1.5, ... 15.5 each cover
  // two pixels by half, so the inner pixels get 255/16 and the two ends half of that.
  OwnedWorld src(1, 1);
  src.At(0, 0) = Pixel(255, 255, 255, 255);
  OwnedWorld dst(20, 1);
  const PF_FloatMatrix path[2] = {Translation(0, 0), Translation(16, 0)};
  ASSERT_EQ(Transform(src, dst, path, 2), PF_Err_NONE);
  EXPECT_NEAR(dst.At(0, 0).alpha, 8, 1);
  for (A_long x = 1; x < 16; ++x) EXPECT_NEAR(dst.At(x, 0).alpha, 16, 1) << "at " << x;
  EXPECT_NEAR(dst.At(16, 0).alpha, 8, 1);
  EXPECT_EQ(dst.At(17, 0).alpha, 0);
}

TEST(TransformWorld, MotionBlurOfAShrunkSourceTravellingFarDrawsEveryPlacement) {
  // 100 × 100 shrunk to 5 × 5 and moved 2000 pixels: the placements lie 125 pixels apart, so
  // each one shows alone at 1/16 of full alpha, the first at x 62.5 and the last at 1937.5.
  OwnedWorld src(100, 100);
  test::FillWorld(src, Pixel(255, 255, 255, 255));
  OwnedWorld dst(2100, 6);
  const PF_FloatMatrix path[2] = {Matrix(0.05, 0, 0, 0.05, 0, 0),
                                  Matrix(0.05, 0, 0, 0.05, 2000, 0)};
  ASSERT_EQ(Transform(src, dst, path, 2), PF_Err_NONE);
  EXPECT_NEAR(dst.At(65, 2).alpha, 16, 1);
  EXPECT_NEAR(dst.At(1940, 2).alpha, 16, 1);
  EXPECT_EQ(dst.At(1000, 2).alpha, 0);
}

TEST(TransformWorld, StraightSourceIsPremultipliedFirst) {
  OwnedWorld src(1, 1);
  src.At(0, 0) = Pixel(128, 200, 100, 0);
  OwnedWorld dst(1, 1);
  const PF_FloatMatrix identity = Translation(0, 0);
  ASSERT_EQ(Transform(src, dst, &identity, 1, PF_Xfer_IN_FRONT, PF_MF_Alpha_STRAIGHT), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{128, 100, 50, 0}));
}

TEST(TransformWorld, StraightCallKeepsAPluginWorldStraight) {
  OwnedWorld src(1, 1);
  src.At(0, 0) = Pixel(128, 255, 0, 0);
  test::PluginWorld dst(1, 1);
  const PF_FloatMatrix identity = Translation(0, 0);
  const PF_CompositeMode mode = Mode(PF_Xfer_IN_FRONT);
  ASSERT_EQ(TransformWorld(nullptr, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME, src.get(),
                           &mode, nullptr, &identity, 1, 1, nullptr, dst.get()),
            PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{128, 255, 0, 0}));
}

TEST(TransformWorld, FillBehindAStraightBorderWorldKeepsBothColours) {
  // The border world holds straight colour, with the border's colour even where its alpha
  // is 0; taken as premultiplied it would add red to the blue fill.
  OwnedWorld fill(2, 1);
  test::FillWorld(fill, Pixel(255, 0, 0, 255));
  test::PluginWorld border(2, 1);
  border.At(0, 0) = Pixel(0, 255, 0, 0);
  border.At(1, 0) = Pixel(128, 255, 0, 0);
  const PF_FloatMatrix identity = Translation(0, 0);
  const PF_CompositeMode mode = Mode(PF_Xfer_BEHIND);
  ASSERT_EQ(TransformWorld(nullptr, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME, fill.get(),
                           &mode, nullptr, &identity, 1, 1, nullptr, border.get()),
            PF_Err_NONE);
  EXPECT_EQ(ArgbOf(border.At(0, 0)), (Argb{255, 0, 0, 255}));
  // Half red over blue: red 128, blue 255 × 127/255, opaque, so straight as it stands.
  EXPECT_EQ(ArgbOf(border.At(1, 0)), (Argb{255, 128, 0, 127}));
}

TEST(TransformWorld, BehindPutsTheSourceUnderTheDestination) {
  OwnedWorld src(1, 1);
  src.At(0, 0) = Pixel(128, 128, 0, 0);
  OwnedWorld dst(1, 1);
  dst.At(0, 0) = Pixel(128, 0, 0, 128);
  const PF_FloatMatrix identity = Translation(0, 0);
  ASSERT_EQ(Transform(src, dst, &identity, 1, PF_Xfer_BEHIND), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{192, 64, 0, 128}));
}

TEST(TransformWorld, WritesOnlyInsideTheDestinationRectangle) {
  OwnedWorld src(4, 4);
  test::FillWorld(src, Pixel(255, 255, 0, 0));
  OwnedWorld dst(4, 4);
  const PF_FloatMatrix identity = Translation(0, 0);
  const PF_Rect rect{1, 1, 3, 3};
  ASSERT_EQ(Transform(src, dst, &identity, 1, PF_Xfer_IN_FRONT, PF_MF_Alpha_PREMUL, &rect),
            PF_Err_NONE);
  for (A_long y = 0; y < 4; ++y) {
    for (A_long x = 0; x < 4; ++x) {
      const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(dst.At(x, y).alpha, inside ? 255 : 0) << "at " << x << ", " << y;
    }
  }
}

TEST(TransformWorld, CopyClearsTheRectangleAroundThePlacedSource) {
  OwnedWorld src(1, 1);
  src.At(0, 0) = Pixel(255, 255, 0, 0);
  OwnedWorld dst(3, 2);
  test::FillWorld(dst, Pixel(255, 0, 255, 0));
  const PF_FloatMatrix identity = Translation(0, 0);
  ASSERT_EQ(Transform(src, dst, &identity, 1, PF_Xfer_COPY), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(dst.At(0, 0)), (Argb{255, 255, 0, 0}));
  EXPECT_EQ(ArgbOf(dst.At(2, 1)), (Argb{0, 0, 0, 0}));
}

TEST(TransformWorld, MaskLimitsThePlacedSource) {
  OwnedWorld src(2, 1);
  test::FillWorld(src, Pixel(255, 255, 0, 0));
  OwnedWorld matte(2, 1);
  matte.At(1, 0) = Pixel(255, 0, 0, 0);
  PF_MaskWorld mask{};
  mask.mask = matte.world();
  OwnedWorld dst(2, 1);
  const PF_FloatMatrix identity = Translation(0, 0);
  ASSERT_EQ(
      Transform(src, dst, &identity, 1, PF_Xfer_IN_FRONT, PF_MF_Alpha_PREMUL, nullptr, 1, &mask),
      PF_Err_NONE);
  EXPECT_EQ(dst.At(0, 0).alpha, 0);
  EXPECT_EQ(dst.At(1, 0).alpha, 255);
}

class TransformWorldInputTest : public ::testing::Test {
 protected:
  void SetUp() override { test::FillWorld(src, Pixel(255, 255, 255, 255)); }
  bool Untouched() const { return test::AllPixelsAre(dst, Pixel(0, 0, 0, 0)); }
  OwnedWorld src{2, 2};
  OwnedWorld dst{4, 4};
};

TEST_F(TransformWorldInputTest, NoMatricesIsAnError) {
  const PF_FloatMatrix identity = Translation(0, 0);
  EXPECT_EQ(Transform(src, dst, nullptr, 1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Transform(src, dst, &identity, 0), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Transform(src, dst, &identity, -3), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(Untouched());
}

TEST_F(TransformWorldInputTest, TooManyMatricesIsAnError) {
  const std::vector<PF_FloatMatrix> many(kMaxTransformMatrices + 1, Translation(0, 0));
  EXPECT_EQ(Transform(src, dst, many.data(), kMaxTransformMatrices + 1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(Untouched());
}

TEST_F(TransformWorldInputTest, NonFiniteMatrixIsAnError) {
  const PF_FloatMatrix nan_shift = Translation(std::numeric_limits<double>::quiet_NaN(), 0);
  const PF_FloatMatrix infinite_scale =
      Matrix(std::numeric_limits<double>::infinity(), 0, 0, 1, 0, 0);
  EXPECT_EQ(Transform(src, dst, &nan_shift, 1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Transform(src, dst, &infinite_scale, 1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(Untouched());
}

TEST_F(TransformWorldInputTest, ProjectiveMatrixIsAnError) {
  PF_FloatMatrix projective = Translation(0, 0);
  projective.mat[0][2] = 0.01;
  EXPECT_EQ(Transform(src, dst, &projective, 1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(Untouched());
}

TEST_F(TransformWorldInputTest, SingularMatrixDrawsNothing) {
  const PF_FloatMatrix squashed = Matrix(0, 0, 0, 0, 1, 1);
  EXPECT_EQ(Transform(src, dst, &squashed, 1), PF_Err_NONE);
  EXPECT_TRUE(Untouched());
}

TEST_F(TransformWorldInputTest, FarAwayPlacementDrawsNothing) {
  const PF_FloatMatrix far_shift = Translation(1e12, -1e300);
  EXPECT_EQ(Transform(src, dst, &far_shift, 1), PF_Err_NONE);
  EXPECT_TRUE(Untouched());
}

TEST_F(TransformWorldInputTest, MissingWorldsAreErrors) {
  const PF_FloatMatrix identity = Translation(0, 0);
  const PF_CompositeMode mode = Mode(PF_Xfer_IN_FRONT);
  EXPECT_EQ(TransformWorld(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, nullptr,
                           &mode, nullptr, &identity, 1, 1, nullptr, dst.get()),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(TransformWorld(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, src.get(),
                           &mode, nullptr, &identity, 1, 1, nullptr, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace quorvel::headless
