// SPDX-License-Identifier: MIT
#include "media/footage/colour_reading.h"

#include <gtest/gtest.h>

namespace quorvel::media {
namespace {

// Tags are taken as they are; untagged frames are read as players read them.
TEST(ColourReading, TaggedAsTaggedUntaggedByFrameSize) {
  const struct {
    const char* name;
    AVPixelFormat format;
    AVColorSpace space;
    AVColorRange range;
    AVCodecID codec;
    int width, height;
    AVPixelFormat read_as;
    ColourMatrix matrix;
    bool full_range;
    bool assumed;
  } cases[] = {
      {"tagged BT.709, SD", AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, AV_CODEC_ID_H264,
       640, 360, AV_PIX_FMT_YUV420P, ColourMatrix::kBt709, false, false},
      {"tagged BT.601, HD", AV_PIX_FMT_YUV420P, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_UNSPECIFIED,
       AV_CODEC_ID_H264, 1920, 1080, AV_PIX_FMT_YUV420P, ColourMatrix::kBt601, false, false},
      {"tagged BT.2020", AV_PIX_FMT_YUV420P10LE, AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG,
       AV_CODEC_ID_HEVC, 3840, 2160, AV_PIX_FMT_YUV420P10LE, ColourMatrix::kBt2020, false, false},
      {"untagged 720 lines", AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED,
       AV_CODEC_ID_H264, 960, 720, AV_PIX_FMT_YUV420P, ColourMatrix::kBt709, false, true},
      {"untagged cropped HD", AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED,
       AV_CODEC_ID_H264, 1280, 544, AV_PIX_FMT_YUV420P, ColourMatrix::kBt709, false, true},
      {"untagged 576 lines", AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED,
       AV_CODEC_ID_H264, 1024, 576, AV_PIX_FMT_YUV420P, ColourMatrix::kBt601, false, true},
      {"yuvj, untagged range", AV_PIX_FMT_YUVJ420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED,
       AV_CODEC_ID_H264, 1920, 1080, AV_PIX_FMT_YUV420P, ColourMatrix::kBt601, true, true},
      {"JPEG at HD size", AV_PIX_FMT_YUV444P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_JPEG,
       AV_CODEC_ID_MJPEG, 4000, 3000, AV_PIX_FMT_YUV444P, ColourMatrix::kBt601, true, true},
      {"RGB", AV_PIX_FMT_RGBA, AVCOL_SPC_RGB, AVCOL_RANGE_UNSPECIFIED, AV_CODEC_ID_PNG, 1920, 1080,
       AV_PIX_FMT_RGBA, ColourMatrix::kNone, true, false},
  };
  for (const auto& c : cases) {
    const ColourReading reading =
        ReadColour(c.format, c.space, c.range, c.codec, c.width, c.height);
    EXPECT_EQ(reading.format, c.read_as) << c.name;
    EXPECT_EQ(reading.matrix, c.matrix) << c.name;
    EXPECT_EQ(reading.full_range, c.full_range) << c.name;
    EXPECT_EQ(reading.assumed, c.assumed) << c.name;
  }
}

}  // namespace
}  // namespace quorvel::media
