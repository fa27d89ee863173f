// SPDX-License-Identifier: MIT
#include "cli/captions/captions_command.h"

#include <string>
#include <vector>

#include "cli/captions/caption_track.h"
#include "cli/captions/subtitles.h"
#include "cli/render_command.h"
#include "cli/scene_file.h"

namespace quorvel::cli {

int RunCaptions(const Invocation& invocation, Console& console) {
  OutputFormatOf(invocation.output);  // a usage error before any file is read
  const std::string name = SceneName(invocation.subtitles);
  const std::string text = ReadInputFile(invocation.subtitles, "subtitle file");
  const std::vector<Cue> cues =
      ParseSubtitles(text, SubtitleFormatOf(invocation.subtitles, text), name);
  const SceneFile style = LoadSceneFile(invocation.style, invocation.overrides);
  const CaptionOptions options{invocation.per_line, invocation.fade_seconds,
                               invocation.duration_seconds};
  return RenderScene(invocation, CaptionScene(style, cues, options, name), FramesByDefault::kAll,
                     console);
}

}  // namespace quorvel::cli
