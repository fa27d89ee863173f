// SPDX-License-Identifier: MIT
// The box a caption style's effect draws behind a cue, measured before any frame renders, so that
// a cue whose box the host cannot hold is named up front rather than failing its frames.
#pragma once

#include <optional>
#include <string>

#include "compose/scene/scene_file.h"

namespace quorvel::captions {

struct BoxSize {
  double width = 0;
  double height = 0;
};

// The least size of the box behind `text` (or one line of it) in the style's layer: the text's
// outline bounds, grown by the expansions and the border the style's effect sets (keyframed
// values at their largest; a control left out at its default of 0), made square for the
// "Square" and "Circle" shapes.
BoxSize LeastBoxSize(const compose::SceneLayer& style, const std::string& text,
                     std::optional<int> line);

// A SceneError naming the cue ("talk.srt:12: this cue's box would be 356003 px wide, past the
// host's 30000 px: ...") when the box behind it, or behind one of its lines with `per_line`,
// is larger than the host's largest world.
void CheckCueBox(const compose::SceneLayer& style, const std::string& text, bool per_line,
                 const std::string& place);

}  // namespace quorvel::captions
