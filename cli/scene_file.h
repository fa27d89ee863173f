// SPDX-License-Identifier: MIT
// Scene files: a composition, its text layer, the host's settings and the effect's parameters,
// written as JSON (docs/scene-format.md describes every key).
#pragma once

#include <filesystem>
#include <string>

#include "cli/json_place.h"
#include "cli/output_path.h"
#include "headless/effect_instance.h"
#include "headless/scene.h"

namespace quorvel::cli {

struct SceneFile {
  std::string file;  // the name it was given by, for messages
  headless::Scene scene;
  headless::InstanceOptions options;
  // The "effect" object as written: its names and values can only be checked against the
  // parameters a module registers, so they are applied to an instance later.
  Json effect = Json::object();
};

// Reads and checks everything but the effect parameters. Throws SceneError.
SceneFile LoadSceneFile(const std::filesystem::path& path);
SceneFile ParseSceneFile(const std::string& text, const std::string& file);

// The number of frames of the composition; frames are numbered from 0.
A_long FrameCount(const headless::Composition& composition);

// The range, when every frame of it is inside the composition; else a SceneError.
FrameRange CheckFramesInScene(const SceneFile& scene_file, const FrameRange& range);

}  // namespace quorvel::cli
