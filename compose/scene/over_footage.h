// SPDX-License-Identifier: MIT
// A scene rendered over a video (or still image): the footage at the bottom of its composition,
// which takes the footage's size, exact frame rate and length.
#pragma once

#include <optional>
#include <string>

#include "compose/scene/scene_file.h"
#include "media/footage/footage_info.h"

namespace quorvel::compose {

// What the footage under a composition is, read once for every scene that goes over it.
struct OverFootage {
  std::string path;
  media::FootageInfo info;
};

// Opens the file to learn what it is; RenderError naming it when it cannot be read.
OverFootage ReadOverFootage(const std::string& path);

// Puts the footage at the bottom of the scene's layers and gives the composition its size, its
// frame rate and its length (`duration_seconds` when given; a still image has no length of its
// own and needs one, else ArgumentError). A scene made for another frame size is laid out for
// the footage's (ScaleScene with FitFrame); the returned note says so, empty when not.
std::string PutOverFootage(SceneFile& scene, const OverFootage& footage,
                           std::optional<double> duration_seconds);

}  // namespace quorvel::compose
