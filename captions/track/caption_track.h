// SPDX-License-Identifier: MIT
// A caption track as a composition: a style scene's one text layer, its text and opacity keyed
// so that each cue shows on its frames and nothing shows between cues.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "captions/reading/subtitles.h"
#include "compose/scene/scene_file.h"

namespace quorvel::captions {

struct CaptionOptions {
  bool per_line = false;                   // one layer, and so one box, per line of a cue
  double fade_seconds = 0;                 // each cue fades in and out over this time
  std::optional<double> duration_seconds;  // else the last cue's end
};

// The first frame whose time is at or after `ms` (frame f is at f × frame_duration / time_scale
// seconds), computed in whole numbers so that a cue's edges fall on the frames a host shows.
int64_t FirstFrameAtOrAfter(int64_t ms, const headless::Composition& composition);

// The style's composition (its duration replaced) and its one layer, once, or once for each line
// of the longest cue with `per_line`, the layers' text and opacity replaced by the cues'. The
// cue frames are [FirstFrameAtOrAfter(start), FirstFrameAtOrAfter(end)); a shorter duration
// leaves out the cues after it and cuts one across it. Throws SceneError (a
// style with several layers, cues past what a composition may last); cues that fall between two
// frames, and characters the font lacks, become warnings naming `subtitles_file` and the line.
compose::SceneFile CaptionScene(const compose::SceneFile& style, const std::vector<Cue>& cues,
                                const CaptionOptions& options, const std::string& subtitles_file);

}  // namespace quorvel::captions
