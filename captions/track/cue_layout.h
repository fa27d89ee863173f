// SPDX-License-Identifier: MIT
// Where each cue of a caption track shows, as subtitle renderers place them: at the style's
// place, or at the point of the safe area its {\anN} names; moved inside the safe area; and
// clear of the cues still showing when it starts, stacked as players stack overlapping cues.
#pragma once

#include <string>
#include <vector>

#include "captions/reading/subtitles.h"
#include "captions/track/cue_boxes.h"
#include "compose/scene/scene_file.h"
#include "headless/composition/scene.h"

namespace quorvel::captions {

// How a cue's layer is set: its anchor, line alignment and position, and its box there.
struct CuePlacement {
  headless::TextAnchor anchor;
  headless::TextAlignment alignment = headless::TextAlignment::kLeft;
  headless::Point2 position;
  BoxRect box;  // empty for a cue without ink
};

// The centred part of the frame that boxes keep inside, `fraction` of its width and height.
BoxRect SafeArea(const headless::Composition& composition, double fraction);

// Places the cues, sorted by their starts, in the style's layer `caption`: a cue keeps its place
// while it shows, and one that starts while others show is stacked clear of them.
// A cue moved inward, or one that cannot be kept clear of the others inside the safe area, adds
// one warning (the first such cue named).
std::vector<CuePlacement> PlaceCues(const compose::SceneLayer& caption,
                                    const std::vector<const Cue*>& cues,
                                    const headless::Composition& composition, double safe_area,
                                    const std::string& file, std::vector<std::string>& warnings);

}  // namespace quorvel::captions
