// SPDX-License-Identifier: MIT
// Output file names for frames: "out/demo.png", or a pattern with the frame number in it,
// "out/frame_%04d.png".
#pragma once

#include <filesystem>
#include <string>

#include "hostapi/host_api.h"
#include "media/image/file_output.h"

namespace quorvel::compose {

class OutputPattern {
 public:
  // At most one frame number field: "%d", or "%0Nd" zero-padded to N digits (N from 1 to 9);
  // "%%" is a percent sign. Anything else after a percent sign is an ArgumentError.
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
// starts (missing folders are made); RenderError when it cannot be written.
media::OutputTarget CheckedOutput(const std::filesystem::path& path);

}  // namespace quorvel::compose
