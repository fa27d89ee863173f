// SPDX-License-Identifier: MIT
// The box a caption style's effect draws behind a cue, measured before any frame renders, so that
// a cue whose box the host cannot hold is named up front rather than failing its frames.
#pragma once

#include <optional>
#include <string>

#include "compose/scene/scene_file.h"
#include "headless/composition/scene.h"

namespace quorvel::captions {

struct BoxSize {
  double width = 0;
  double height = 0;
};

// A rectangle of the frame, in pixels; empty when it has no area.
struct BoxRect {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;

  bool Empty() const { return !(right > left && bottom > top); }
  bool Overlaps(const BoxRect& other) const {
    return !Empty() && !other.Empty() && left < other.right && other.left < right &&
           top < other.bottom && other.top < bottom;
  }
  BoxRect Moved(double dx, double dy) const {
    return {left + dx, top + dy, right + dx, bottom + dy};
  }
};

// Where the box the style's effect draws behind a text layer lies in the frame at time 0: the
// text's ink grown by the effect's expansions and border (as LeastBoxSize), about the ink's
// centre; empty when the text has no ink.
BoxRect BoxAround(const compose::SceneLayer& style, const headless::TextLayer& layer);

// The least size of the box behind `text` (or one line of it) in the style's layer: the text's
// outline bounds, grown by the expansions and the border the style's effect sets (keyframed
// values at their largest; a control left out at its default of 0), made square for the
// "Square" and "Circle" shapes; nothing for text without ink.
BoxSize LeastBoxSize(const compose::SceneLayer& style, const std::string& text,
                     std::optional<int> line);

// A SceneError naming the cue ("talk.srt:12: this cue's box would be 356003 px wide, past the
// host's 30000 px: ...") when the box behind it, or behind one of its `per_line_boxes` lines
// (0: one box for the whole cue), is larger than the host's largest world.
void CheckCueBox(const compose::SceneLayer& style, const std::string& text, size_t per_line_boxes,
                 const std::string& place);

// How much the box reaches past the text on its left and on its right: the expansions across and
// the border's outer half (for the "Auto" shape).
double SideGrowth(const compose::SceneLayer& style);

}  // namespace quorvel::captions
