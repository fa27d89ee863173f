// SPDX-License-Identifier: MIT
// Frames out to PNG files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "hostapi/host_api.h"

namespace quorvel::headless {

// The outcome of reading or writing an image file: ok, or the reason it failed.
struct [[nodiscard]] FileStatus {
  bool ok = true;
  std::string message;

  static FileStatus Failure(std::string why) { return {false, std::move(why)}; }
  explicit operator bool() const { return ok; }
};

// Writes a world (premultiplied colour) as an 8-bit PNG: red, green, blue and straight
// (unpremultiplied) alpha; or, given a background colour (straight, with its own alpha),
// composited over it first, so that an opaque background gives an opaque image. Fully opaque
// images are stored without an alpha channel.
// The file is written under a temporary name in the same folder and renamed into place when
// complete: the path holds either what it held before or the whole new image, never a part.
FileStatus WritePng(const PF_EffectWorld& world, const std::filesystem::path& path,
                    const std::optional<PF_Pixel>& background = std::nullopt);

}  // namespace quorvel::headless
