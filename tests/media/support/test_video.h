// SPDX-License-Identifier: MIT
// Videos written through the library as the command line writes them: frames in order, then
// Finish.
#pragma once

#include <filesystem>

#include "media/video/video_output.h"

namespace quorvel::media::test {

enum class Frames { kFlat, kNoise };

// Writes `count` opaque frames of the settings' size: one flat colour, or seeded noise that
// every encoder has to work at.
FileStatus WriteTestVideo(const std::filesystem::path& path, const VideoSettings& settings,
                          int count, Frames frames = Frames::kFlat);

}  // namespace quorvel::media::test
