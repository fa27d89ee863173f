// SPDX-License-Identifier: MIT
// PNG files in as worlds (reference images, input layers).
#pragma once

#include <filesystem>
#include <optional>

#include "headless/pixels/world.h"
#include "media/image/file_output.h"

namespace quorvel::media {

struct PngImage {
  FileStatus status;
  std::optional<headless::OwnedWorld> world;  // premultiplied; set when status is ok
};

// Reads a PNG (any colour type cairo reads as 8 bits per channel) into a new world of its
// size. Images without alpha come in opaque.
PngImage ReadPng(const std::filesystem::path& path);

}  // namespace quorvel::media
