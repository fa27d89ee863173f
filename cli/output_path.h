// SPDX-License-Identifier: MIT
// What an output name asks for, and frame numbers as the command line gives them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "compose/scene/frame_range.h"
#include "hostapi/host_api.h"
#include "media/video/video_output.h"

namespace quorvel::cli {

// What an output name asks for: PNG images (files named .png, devices, standard output, none
// returned) or a video by its extension (.mov, .webm, .mp4); a UsageError names the formats for
// anything else.
std::optional<media::VideoFormat> OutputFormatOf(const std::string& name);

// True for "-o -": standard output.
inline bool IsStandardOutput(const std::string& output) {
  return output == "-";
}

using compose::FrameRange;

// Throws UsageError naming `option` for anything but "A-B" with 0 <= A <= B, or "N".
compose::FrameRange ParseFrameRange(const std::string& text, const std::string& option);
// A frame number, 0 or more. Throws UsageError naming `option`.
A_long ParseFrameNumber(const std::string& text, const std::string& option);

}  // namespace quorvel::cli
