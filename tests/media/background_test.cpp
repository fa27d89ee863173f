// SPDX-License-Identifier: MIT
#include "media/image/background.h"

#include <gtest/gtest.h>

#include "tests/headless/pixel_test_support.h"

namespace quorvel::media {
namespace {

using headless::test::Argb;
using headless::test::ArgbOf;
using headless::test::Pixel;

// Worked by hand: #20406080 premultiplied is (128, 16, 32, 48); white at half alpha is
// (128, 128, 128, 128) premultiplied, (128, 255, 255, 255) straight.
TEST(Background, APixelIsLaidOverTheBackgroundAndOverBlackWhereTheFileHasNoAlpha) {
  const PF_Pixel transparent = Pixel(0, 0, 0, 0);
  const PF_Pixel half_blue_grey = Pixel(128, 0x20, 0x40, 0x60);
  const PF_Pixel red = Pixel(255, 255, 0, 0);
  const PF_Pixel half_white = Pixel(128, 128, 128, 128);
  const struct {
    const char* what;
    PF_Pixel pixel;
    PF_Pixel background;
    bool file_has_alpha;
    Argb straight;
  } cases[] = {
      {"half white, transparent, alpha", half_white, transparent, true, {128, 255, 255, 255}},
      {"half white, transparent, no alpha", half_white, transparent, false, {255, 128, 128, 128}},
      {"half white over red", half_white, red, true, {255, 255, 128, 128}},
      {"empty, transparent, no alpha", transparent, transparent, false, {255, 0, 0, 0}},
      {"empty, half background, alpha", transparent, half_blue_grey, true, {128, 32, 64, 96}},
      {"empty, half background, no alpha", transparent, half_blue_grey, false, {255, 16, 32, 48}},
      {"opaque, half background, no alpha", red, half_blue_grey, false, {255, 255, 0, 0}},
  };
  for (const auto& c : cases) {
    const PF_Pixel backdrop = BackdropFor(c.background, c.file_has_alpha);
    EXPECT_EQ(ArgbOf(LaidOverBackdrop(c.pixel, backdrop)), c.straight) << c.what;
  }
}

}  // namespace
}  // namespace quorvel::media
