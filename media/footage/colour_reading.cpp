// SPDX-License-Identifier: MIT
// Only with FFmpeg's libraries; a build without them reads no footage.
#if QUORVEL_HAVE_FFMPEG

#include "media/footage/colour_reading.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace quorvel::media {
namespace {

// The yuv twin of a yuvj format (which differs only in being full range), or the format itself.
AVPixelFormat WithoutJpegRange(AVPixelFormat format, bool& jpeg) {
  jpeg = true;
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
      return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
      return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
      return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
      return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
      return AV_PIX_FMT_YUV411P;
    default:
      jpeg = false;
      return format;
  }
}

bool IsRgb(AVPixelFormat format) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  return descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_RGB) != 0;
}

ColourMatrix TaggedMatrix(AVColorSpace space) {
  switch (space) {
    case AVCOL_SPC_BT709:
      return ColourMatrix::kBt709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return ColourMatrix::kBt601;
    // The constant-luminance variant has the same coefficients; its other transfer is rare
    // enough to read as the usual one.
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return ColourMatrix::kBt2020;
    case AVCOL_SPC_SMPTE240M:
      return ColourMatrix::kSmpte240m;
    case AVCOL_SPC_FCC:
      return ColourMatrix::kFcc;
    default:
      return ColourMatrix::kNone;  // untagged, or a matrix libswscale has not got
  }
}

}  // namespace

ColourReading ReadColour(AVPixelFormat format, AVColorSpace space, AVColorRange range,
                         AVCodecID codec, int width, int height) {
  ColourReading reading;
  bool jpeg = false;
  reading.format = WithoutJpegRange(format, jpeg);
  if (IsRgb(reading.format)) return reading;  // full range, no matrix
  reading.matrix = TaggedMatrix(space);
  if (reading.matrix == ColourMatrix::kNone) {
    reading.assumed = true;
    const bool hd = height >= 720 || width >= 1280;
    reading.matrix =
        hd && !jpeg && codec != AV_CODEC_ID_MJPEG ? ColourMatrix::kBt709 : ColourMatrix::kBt601;
  }
  reading.full_range = jpeg || range == AVCOL_RANGE_JPEG;
  return reading;
}

int SwscaleColourspace(ColourMatrix matrix) {
  switch (matrix) {
    case ColourMatrix::kBt709:
      return SWS_CS_ITU709;
    case ColourMatrix::kBt2020:
      return SWS_CS_BT2020;
    case ColourMatrix::kSmpte240m:
      return SWS_CS_SMPTE240M;
    case ColourMatrix::kFcc:
      return SWS_CS_FCC;
    case ColourMatrix::kBt601:
      return SWS_CS_ITU601;
    case ColourMatrix::kNone:
      break;
  }
  return SWS_CS_DEFAULT;
}

}  // namespace quorvel::media

#endif
