// SPDX-License-Identifier: MIT
// Scene files: a composition, its text layers with their effects' parameters, and the host's
// settings, written as JSON (docs/scene-format.md describes every key).
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "compose/document/input_file.h"
#include "compose/document/json_place.h"
#include "compose/document/scene_overrides.h"
#include "compose/scene/footage_layer.h"
#include "compose/scene/frame_range.h"
#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"

namespace quorvel::compose {

// The longest text a layer takes, in bytes.
inline constexpr size_t kMaxTextBytes = 10000;

// One layer of a scene file: a text layer and, optionally, the effect on it; or footage.
struct SceneLayer {
  headless::TextLayer text;
  // Set for a footage layer, which has no text and no effect.
  std::optional<FootageLayer> footage;
  // The "effect" object as written: its names and values can only be checked against the
  // parameters a module registers, so they are applied to an instance later. Absent: the
  // layer is plain text.
  std::optional<Json> effect;
  std::string effect_path;  // where the effect object is, for messages ("layers[1].effect")
  // The group the layer belongs to (an index of SceneFile::groups), or none.
  std::optional<size_t> group;
};

// Layers drawn together and laid over what is below as one, at the group's opacity: the
// translucent boxes of one caption's lines, which would darken where they overlap if each were
// laid over on its own. The members of a group are next to each other in the list of layers.
struct LayerGroup {
  headless::Animated<double> opacity{100.0};  // percent, as a layer's
};

// A caption style's box behind the word being spoken: its own effect, the spoken word's text
// colour and the colour of the words already spoken, and how the box goes from word to word.
struct WordHighlight {
  Json effect = Json::object();  // as a layer's "effect"
  std::optional<PF_Pixel> color;
  std::optional<PF_Pixel> spoken_color;
  double travel_seconds = 0;  // 0: the box jumps to the next word as it starts
  Json travel_easing = "ease";
  bool motion_blur = false;  // the box's travel is blurred, under the composition's shutter
};

struct SceneFile {
  std::string file;  // the name it was given by, for messages
  headless::Composition composition;
  headless::InstanceOptions options;
  // Top layer first, as a timeline lists them. The one-layer form ("layer" and "effect" at the
  // top level) is one layer that always has the effect.
  std::vector<SceneLayer> layers;
  std::vector<LayerGroup> groups;
  // A caption style's: the fraction of the frame, centred, that each cue's box keeps inside.
  double safe_area = 0.9;
  // A caption style's "highlight".
  std::optional<WordHighlight> highlight;
  // What renders, but not as the file asks ("...: the font ... has no glyph for U+4E2D"),
  // each naming the file and the place; --strict makes them errors.
  std::vector<std::string> warnings;
};

// Tells the scene's warnings on the console ("quorvel-render: warning: ..."). With `strict` they
// are errors: a SceneError of the first, after telling the others.
void ReportSceneWarnings(const SceneFile& scene_file, bool strict, std::ostream& err);

// A scene file's JSON with the overrides applied. Throws SceneError.
Json ReadSceneDocument(const std::string& path, const std::vector<SceneOverride>& overrides);

// Reads and checks everything but the effect parameters. Throws SceneError. `file` names the
// scene in messages, and relative font paths are taken from its folder.
SceneFile SceneFromDocument(const Json& document, const std::string& file);
SceneFile LoadSceneFile(const std::string& path, const std::vector<SceneOverride>& overrides = {});
SceneFile ParseSceneFile(const std::string& text, const std::string& file);

// "WHERE: the font "F" has no glyph for U+4E2D; they show as boxes" for the characters of
// `texts` that the layer's font lacks, or empty when it has them all.
std::string MissingGlyphsWarning(const headless::TextLayer& layer,
                                 const std::vector<std::string>& texts, const std::string& where);

// Sets the composition's frame rate, numerator/denominator frames a second (a video stream's
// rate), in time units the host counts in.
void SetFrameRate(headless::Composition& composition, int64_t numerator, int64_t denominator);

// The longest a composition at its frame rate may last, in seconds.
double LongestDuration(const headless::Composition& composition);

// The number of frames of the composition; frames are numbered from 0.
A_long FrameCount(const headless::Composition& composition);

// The range, when every frame of it is inside the composition; else a SceneError.
FrameRange CheckFramesInScene(const SceneFile& scene_file, const FrameRange& range);

}  // namespace quorvel::compose
