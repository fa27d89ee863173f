// SPDX-License-Identifier: MIT
// --set key.path=value: one value of a scene document replaced from the command line before
// the scene is read, so that it meets the same checks as the file's own values.
#pragma once

#include <string>
#include <vector>

#include "compose/document/json_place.h"

namespace quorvel::compose {

// NOLINTNEXTLINE(bugprone-exception-escape): the JSON value's moves do not throw
struct SceneOverride {
  // The members and elements on the way: "layers", 0, "text" for "layers[0].text".
  struct Step {
    std::string member;  // empty for an element
    size_t element = 0;
  };
  std::vector<Step> path;
  Json value;
  std::string given;  // as typed, for messages
};

// "layers[0].text=Ada Lovelace", "effect.Fill Color=#102a43", "composition.width=1280": the
// value is read as JSON when it is JSON (a number, true, a list, a quoted string), else taken as
// the text itself. ArgumentError for text without '=' or a path that is not member names and [N].
SceneOverride ParseSceneOverride(const std::string& text);

// Sets each value in turn; objects missing on the way are made. A SceneError names the --set
// for a place that cannot be: a member of something that is not an object, an element of
// something that is not a list or past its end.
void ApplyOverrides(Json& document, const std::vector<SceneOverride>& overrides);

}  // namespace quorvel::compose
