// SPDX-License-Identifier: MIT
#include "media/video/video_size.h"

#include <gtest/gtest.h>

namespace quorvel::media {
namespace {

// Each limit held and passed by the least step: a pixel, or a macroblock row for H.264.
TEST(VideoSize, EachFormatTakesFramesUpToItsLimits) {
  const struct {
    VideoFormat format;
    A_long width;
    A_long height;
    bool fits;
  } cases[] = {
      {VideoFormat::kProRes4444, 8192, 8192, true},
      {VideoFormat::kProRes4444, 8192, 8193, false},
      {VideoFormat::kProRes4444, 30000, 2236, true},  // 67,080,000 pixels
      {VideoFormat::kProRes4444, 30000, 2237, false},
      {VideoFormat::kProRes4444, 641, 361, true},
      {VideoFormat::kVp9WithAlpha, 16384, 2176, true},
      {VideoFormat::kVp9WithAlpha, 2176, 16384, true},
      {VideoFormat::kVp9WithAlpha, 16384, 2177, false},
      {VideoFormat::kVp9WithAlpha, 16385, 16, false},
      {VideoFormat::kVp9WithAlpha, 641, 361, true},
      {VideoFormat::kH264, 8192, 4352, true},
      {VideoFormat::kH264, 4352, 8192, true},
      {VideoFormat::kH264, 8192, 4354, false},  // 512 x 273 macroblocks
      {VideoFormat::kH264, 8176, 4368, false},  // 511 x 273
      {VideoFormat::kH264, 8194, 16, false},
      {VideoFormat::kH264, 2, 2, true},
      {VideoFormat::kH264, 641, 360, false},
      {VideoFormat::kH264, 640, 361, false},
      {VideoFormat::kH264, 1, 1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckVideoSize(c.format, c.width, c.height).ok, c.fits)
        << static_cast<int>(c.format) << " " << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace quorvel::media
