// SPDX-License-Identifier: MIT
// The caption styles that ship with the program (scenes/styles/*.json, built in), found by name,
// and the style used when none is given.
#pragma once

#include <string>
#include <vector>

#include "compose/document/scene_overrides.h"
#include "compose/scene/scene_file.h"

namespace quorvel::captions {

// The style captions take when none is named: white text on a rounded translucent dark box,
// bottom centre inside the safe area, made for 1920x1080 and scaled to footage it goes over.
inline constexpr const char* kDefaultStyle = "boxed";

// The names of the built-in styles, sorted.
std::vector<std::string> NamedStyles();

// The style `-s` names: a scene file, or, when no file has that name and the name has no folder
// or extension, a built-in style; the built-in default for an empty name. The overrides apply as
// to any scene. Throws SceneError, naming the built-in styles for a name that is neither.
compose::SceneFile LoadCaptionStyle(const std::string& name,
                                    const std::vector<compose::SceneOverride>& overrides);

}  // namespace quorvel::captions
