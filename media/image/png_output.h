// SPDX-License-Identifier: MIT
// Frames out to PNG files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "hostapi/host_api.h"
#include "media/image/file_output.h"

namespace quorvel::media {

// Writes a world (premultiplied colour) as an 8-bit PNG: red, green, blue and straight
// (unpremultiplied) alpha; or, given a background colour (straight, with its own alpha),
// composited over it first, so that an opaque background gives an opaque image. Fully opaque
// images are stored without an alpha channel.
// The output is written as file_output.h says: a file under a temporary name in its folder,
// renamed into place when complete (the path holds what it held before or the whole new image,
// never a part), through links, in place for devices, "-" for standard output.
FileStatus WritePng(const PF_EffectWorld& world, const std::filesystem::path& path,
                    const std::optional<PF_Pixel>& background = std::nullopt);

// The PNG file's bytes, as WritePng writes them.
FileStatus EncodePng(const PF_EffectWorld& world, const std::optional<PF_Pixel>& background,
                     std::string& bytes);

}  // namespace quorvel::media
