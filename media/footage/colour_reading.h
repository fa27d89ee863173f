// SPDX-License-Identifier: MIT
// How a decoded frame's numbers are read as colour: the matrix from luma and chroma to red,
// green and blue, and the range the numbers span. Tagged frames are read as tagged; untagged
// ones as players read them.
#pragma once

#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
}

#include "media/footage/footage_info.h"

namespace quorvel::media {

struct ColourReading {
  AVPixelFormat format = AV_PIX_FMT_NONE;  // the pixels' layout, yuvj formats as their yuv twins
  ColourMatrix matrix = ColourMatrix::kNone;
  bool full_range = true;
  bool assumed = false;  // the matrix was not tagged
};

// Untagged, a frame is BT.709 from HD up (720 lines, or 1280 pixels wide as cropped HD is) and
// BT.601 below, as players take it; JPEG's yuvj frames are BT.601 in full range, as JFIF says.
// yuvj formats are full range; others as tagged, and limited when untagged. Frames stored as RGB
// have no matrix.
ColourReading ReadColour(AVPixelFormat format, AVColorSpace space, AVColorRange range,
                         AVCodecID codec, int width, int height);

// libswscale's SWS_CS_* for the matrix (kNone gives its default).
int SwscaleColourspace(ColourMatrix matrix);

}  // namespace quorvel::media
