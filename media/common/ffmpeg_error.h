// SPDX-License-Identifier: MIT
// FFmpeg's words for one of its error codes.
#pragma once

extern "C" {
#include <libavutil/error.h>
}

#include <string>

namespace quorvel::media {

// "Invalid data found when processing input".
inline std::string FfmpegErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

}  // namespace quorvel::media
