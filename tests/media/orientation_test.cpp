// SPDX-License-Identifier: MIT
#include "media/footage/orientation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/pixels/world.h"

namespace quorvel::media {
namespace {

constexpr int32_t kOne = 1 << 16;

// Display matrices as QuickTime files hold them (a, b, u, c, d, v, tx, ty, w); a phone held
// upright writes the first turn.
TEST(Orientation, DisplayMatricesGiveTheNearestOfTheEightOrientations) {
  const struct {
    const char* name;
    int32_t matrix[9];
    int rotation;
    bool mirrored;
  } cases[] = {
      {"identity", {kOne, 0, 0, 0, kOne, 0, 0, 0, 1 << 30}, 0, false},
      {"quarter clockwise", {0, kOne, 0, -kOne, 0, 0, 0, 0, 1 << 30}, 90, false},
      {"half", {-kOne, 0, 0, 0, -kOne, 0, 0, 0, 1 << 30}, 180, false},
      {"quarter counter-clockwise", {0, -kOne, 0, kOne, 0, 0, 0, 0, 1 << 30}, 270, false},
      {"mirrored", {-kOne, 0, 0, 0, kOne, 0, 0, 0, 1 << 30}, 0, true},
      {"upside down", {kOne, 0, 0, 0, -kOne, 0, 0, 0, 1 << 30}, 180, true},
      {"transposed", {0, kOne, 0, kOne, 0, 0, 0, 0, 1 << 30}, 90, true},
      {"twice as large, quarter clockwise",
       {0, 2 * kOne, 0, -2 * kOne, 0, 0, 0, 0, 1 << 30},
       90,
       false},
      // cos and sin of 30 and 60 degrees clockwise, to the nearest quarter.
      {"30 degrees", {56756, 32768, 0, -32768, 56756, 0, 0, 0, 1 << 30}, 0, false},
      {"60 degrees", {32768, 56756, 0, -56756, 32768, 0, 0, 0, 1 << 30}, 90, false},
  };
  for (const auto& c : cases) {
    const Orientation orientation = OrientationFromDisplayMatrix(c.matrix);
    EXPECT_EQ(orientation.rotation, c.rotation) << c.name;
    EXPECT_EQ(orientation.mirrored, c.mirrored) << c.name;
  }
}

// A 3x2 frame whose pixels are numbered 1 to 6 (in red), row by row:  1 2 3
//                                                                     4 5 6
TEST(Orientation, EachOrientationLaysThePixelsWhereItSays) {
  const struct {
    Orientation orientation;
    A_long width;
    std::vector<int> rows;  // the numbers on screen, row by row
  } cases[] = {
      {{0, false}, 3, {1, 2, 3, 4, 5, 6}},   {{90, false}, 2, {4, 1, 5, 2, 6, 3}},
      {{180, false}, 3, {6, 5, 4, 3, 2, 1}}, {{270, false}, 2, {3, 6, 2, 5, 1, 4}},
      {{0, true}, 3, {3, 2, 1, 6, 5, 4}},    {{90, true}, 2, {1, 4, 2, 5, 3, 6}},
      {{180, true}, 3, {4, 5, 6, 1, 2, 3}},  {{270, true}, 2, {6, 3, 5, 2, 4, 1}},
  };
  std::vector<PF_Pixel> frame;
  for (int number = 1; number <= 6; ++number) {
    frame.push_back({255, static_cast<A_u_char>(number), 0, 0});
  }
  for (const auto& c : cases) {
    const std::string name =
        std::to_string(c.orientation.rotation) + (c.orientation.mirrored ? " mirrored" : "");
    const OrientedPlacement placement(c.orientation, 3, 2);
    ASSERT_EQ(placement.width(), c.width) << name;
    ASSERT_EQ(placement.height(), 6 / c.width) << name;
    headless::OwnedWorld world(placement.width(), placement.height());
    placement.Lay(frame.data(), 3 * sizeof(PF_Pixel), false, world.world());
    std::vector<int> shown;
    for (A_long y = 0; y < world.height(); ++y) {
      for (A_long x = 0; x < world.width(); ++x) shown.push_back(world.At(x, y).red);
    }
    EXPECT_EQ(shown, c.rows) << name;
  }
}

TEST(Orientation, LayingPremultipliesWhenAsked) {
  const PF_Pixel frame[2] = {{128, 255, 100, 0}, {0, 255, 255, 255}};
  const OrientedPlacement placement({90, false}, 2, 1);
  headless::OwnedWorld world(1, 2);
  placement.Lay(frame, sizeof frame, true, world.world());
  EXPECT_EQ(world.At(0, 0).red, 128);   // 255 × 128 / 255
  EXPECT_EQ(world.At(0, 0).green, 50);  // 100 × 128 / 255 = 50.2
  EXPECT_EQ(world.At(0, 1).alpha, 0);
  EXPECT_EQ(world.At(0, 1).red, 0);
}

}  // namespace
}  // namespace quorvel::media
