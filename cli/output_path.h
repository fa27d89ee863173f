// SPDX-License-Identifier: MIT
// Output file names for frames: "out/demo.png", or a pattern with the frame number in it,
// "out/frame_%04d.png".
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "hostapi/host_api.h"
#include "media/image/file_output.h"
#include "media/video/video_output.h"

namespace quorvel::cli {

class OutputPattern {
 public:
  // At most one frame number field: "%d", or "%0Nd" zero-padded to N digits (N from 1 to 9);
  // "%%" is a percent sign. Anything else after a percent sign is a UsageError.
  explicit OutputPattern(const std::string& text);

  const std::string& text() const { return text_; }
  bool HasFrameNumber() const { return has_field_; }
  // The name of one frame (the pattern itself, percent signs resolved, when it has no field).
  std::filesystem::path ForFrame(A_long frame) const;

 private:
  std::string text_;
  std::string before_;
  std::string after_;
  bool has_field_ = false;
  int width_ = 0;
};

// Where an output goes (media::ResolveOutput), checked for writing before any rendering
// starts (missing folders are made); CliError when it cannot be written.
media::OutputTarget CheckedOutput(const std::filesystem::path& path);

// What an output name asks for: PNG images (files named .png, devices, standard output, none
// returned) or a video by its extension (.mov, .webm, .mp4); a UsageError names the formats for
// anything else.
std::optional<media::VideoFormat> OutputFormatOf(const std::string& name);

// True for "-o -": standard output.
inline bool IsStandardOutput(const std::string& output) {
  return output == "-";
}

// An inclusive range of frame numbers, "12-40" or a single "7".
struct FrameRange {
  A_long first = 0;
  A_long last = 0;

  A_long Count() const { return last - first + 1; }
};

// Throws UsageError naming `option` for anything but "A-B" with 0 <= A <= B, or "N".
FrameRange ParseFrameRange(const std::string& text, const std::string& option);
// A frame number, 0 or more. Throws UsageError naming `option`.
A_long ParseFrameNumber(const std::string& text, const std::string& option);

}  // namespace quorvel::cli
