// SPDX-License-Identifier: MIT
// Decoded frames to the host's pixels: libswscale turns any of FFmpeg's pixel formats into
// straight 8-bit alpha, red, green, blue (PF_Pixel's byte order), reading the colour as
// colour_reading.h says.
#pragma once

#include <string>

#include "hostapi/host_api.h"
#include "media/common/ffmpeg_handles.h"
#include "media/footage/colour_reading.h"

namespace quorvel::media {

class FrameConverter {
 public:
  // Converts `frame` to width × height straight pixels in rows `stride` bytes apart (scaled
  // when the frame has another size). False, with the reason, when libswscale cannot.
  bool ToStraight(const AVFrame& frame, AVCodecID codec, A_long width, A_long height,
                  PF_Pixel* rows, int stride, std::string& why);

  // How the last frame's colour was read.
  const ColourReading& reading() const { return reading_; }

 private:
  ScalePtr scale_;
  ColourReading reading_;
  int source_width_ = 0;
  int source_height_ = 0;
  A_long width_ = 0;
  A_long height_ = 0;
};

}  // namespace quorvel::media
