// SPDX-License-Identifier: MIT
// What a footage file holds, as the reader found it when it opened the file.
#pragma once

#include <cstdint>
#include <string>

#include "hostapi/host_api.h"
#include "media/common/colour_matrix.h"
#include "media/common/native_format.h"

namespace quorvel::media {

struct FootageInfo {
  // The frame as displayed: after its rotation.
  A_long width = 0;
  A_long height = 0;
  // Frames a second, exact (24000/1001); 0/1 for a still.
  int64_t rate_numerator = 0;
  int64_t rate_denominator = 1;
  // Seconds from the footage's start to its end; infinite for a still, 0 when unknown.
  double duration = 0;
  // Where the footage's time zero lies on the file's own clock, in seconds: the first timestamp
  // of its video, to which its sound is aligned.
  double start = 0;
  bool still = false;  // one frame that lasts forever
  bool alpha = false;  // its pixels carry alpha
  bool audio = false;  // the file has an audio stream too
  // How its colour is read: the matrix and range of its first frame (assumed as players assume
  // them when untagged), and its primaries by FFmpeg's name ("bt709"), which are kept as they are.
  ColourMatrix matrix = ColourMatrix::kNone;
  bool full_range = true;
  bool colour_assumed = false;  // the matrix was not tagged
  std::string primaries;
  // The first frame as the decoder gave it, for FootageReader::NativeFrameAt.
  NativeFormat native;
  // Turned clockwise by `rotation` degrees (0, 90, 180, 270), then mirrored left to right.
  int rotation = 0;
  bool mirrored = false;
  std::string codec;  // FFmpeg's name of the decoder used: "h264", "libvpx-vp9"
  // The memory the reader takes for one frame in the host: its world, and for turned footage
  // the upright frame it is turned from.
  uint64_t frame_bytes = 0;
};

}  // namespace quorvel::media
