// SPDX-License-Identifier: MIT
// Scene files: a composition, its text layers with their effects' parameters, and the host's
// settings, written as JSON (docs/scene-format.md describes every key).
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/json_place.h"
#include "cli/output_path.h"
#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"

namespace quorvel::cli {

// One layer of a scene file: a text layer and, optionally, the effect on it.
struct SceneLayer {
  headless::TextLayer text;
  // The "effect" object as written: its names and values can only be checked against the
  // parameters a module registers, so they are applied to an instance later. Absent: the
  // layer is plain text.
  std::optional<Json> effect;
  std::string effect_path;  // where the effect object is, for messages ("layers[1].effect")
};

struct SceneFile {
  std::string file;  // the name it was given by, for messages
  headless::Composition composition;
  headless::InstanceOptions options;
  // Top layer first, as a timeline lists them. The one-layer form ("layer" and "effect" at the
  // top level) is one layer that always has the effect.
  std::vector<SceneLayer> layers;
  // What renders, but not as the file asks ("...: the font ... has no glyph for U+4E2D"),
  // each naming the file and the place; --strict makes them errors.
  std::vector<std::string> warnings;
};

// Tells the scene's warnings on the console ("quorvel-render: warning: ..."). With `strict` they
// are errors: a SceneError of the first, after telling the others.
void ReportSceneWarnings(const SceneFile& scene_file, bool strict, std::ostream& err);

// Reads and checks everything but the effect parameters. Throws SceneError.
SceneFile LoadSceneFile(const std::filesystem::path& path);
SceneFile ParseSceneFile(const std::string& text, const std::string& file);

// The number of frames of the composition; frames are numbered from 0.
A_long FrameCount(const headless::Composition& composition);

// The range, when every frame of it is inside the composition; else a SceneError.
FrameRange CheckFramesInScene(const SceneFile& scene_file, const FrameRange& range);

}  // namespace quorvel::cli
