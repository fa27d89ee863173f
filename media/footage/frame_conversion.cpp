// SPDX-License-Identifier: MIT
// Only with FFmpeg's libraries; a build without them reads no footage.
#if QUORVEL_HAVE_FFMPEG

#include "media/footage/frame_conversion.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace quorvel::media {
namespace {

// Measured against testsrc2's own RGB (160x90, through lossless H.264 in BT.709, 4:2:0 and
// 4:2:2): libswscale's default conversion, the ffmpeg tool's, is 1.7 and 1.0 code values off on
// average; its exact arithmetic (accurate rounding, each pixel converted by itself) 0.7 and 0.4.
// Interpolating chroma there (bicubic, bilinear) rings at colour edges, 3 to 7 off on average
// and up to 230, so chroma is taken from its nearest sample, as the default conversion takes it.
constexpr int kExactFlags = SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_BITEXACT;
constexpr int kSameSizeFlags = SWS_POINT | kExactFlags;
// A frame of another size than the footage's first (a stream that changes size) is scaled.
constexpr int kScalingFlags = SWS_BICUBIC | kExactFlags;

bool SameReading(const ColourReading& a, const ColourReading& b) {
  return a.format == b.format && a.matrix == b.matrix && a.full_range == b.full_range;
}

}  // namespace

bool FrameConverter::ToStraight(const AVFrame& frame, AVCodecID codec, A_long width, A_long height,
                                PF_Pixel* rows, int stride, std::string& why) {
  const ColourReading reading =
      ReadColour(static_cast<AVPixelFormat>(frame.format), frame.colorspace, frame.color_range,
                 codec, frame.width, frame.height);
  if (!scale_ || !SameReading(reading, reading_) || frame.width != source_width_ ||
      frame.height != source_height_ || width != width_ || height != height_) {
    const bool same_size = frame.width == width && frame.height == height;
    scale_.reset(sws_getContext(frame.width, frame.height, reading.format, width, height,
                                AV_PIX_FMT_ARGB, same_size ? kSameSizeFlags : kScalingFlags,
                                nullptr, nullptr, nullptr));
    if (!scale_) {
      const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame.format));
      why = std::string("no conversion from its pixel format ") + (name != nullptr ? name : "?");
      return false;
    }
    if (reading.matrix != ColourMatrix::kNone) {
      // Into full-range RGB; the output's matrix is not used for RGB.
      const int* matrix = sws_getCoefficients(SwscaleColourspace(reading.matrix));
      sws_setColorspaceDetails(scale_.get(), matrix, reading.full_range ? 1 : 0, matrix, 1, 0,
                               1 << 16, 1 << 16);
    }
    reading_ = reading;
    source_width_ = frame.width;
    source_height_ = frame.height;
    width_ = width;
    height_ = height;
  }
  uint8_t* const planes[4] = {reinterpret_cast<uint8_t*>(rows), nullptr, nullptr, nullptr};
  const int strides[4] = {stride, 0, 0, 0};
  if (sws_scale(scale_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) !=
      height) {
    why = "the pixel conversion failed";
    return false;
  }
  return true;
}

}  // namespace quorvel::media

#endif
