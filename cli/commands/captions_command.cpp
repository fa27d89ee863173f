// SPDX-License-Identifier: MIT
#include "cli/commands/captions_command.h"

#include <string>
#include <vector>

#include "captions/caption_track.h"
#include "captions/named_styles.h"
#include "captions/subtitles.h"
#include "cli/commands/render_command.h"
#include "compose/scene/scene_file.h"

namespace quorvel::cli {

using captions::CaptionOptions;
using captions::CaptionScene;
using captions::Cue;
using captions::LoadCaptionStyle;
using captions::ParseSubtitles;
using captions::SubtitleFormatOf;
using compose::ReadInputFile;
using compose::SceneFile;
using compose::SceneName;

int RunCaptions(const Invocation& invocation, Console& console) {
  OutputFormatOf(invocation.output);  // a usage error before any file is read
  const std::string name = SceneName(invocation.subtitles);
  const std::string text = ReadInputFile(invocation.subtitles, "subtitle file");
  const std::vector<Cue> cues =
      ParseSubtitles(text, SubtitleFormatOf(invocation.subtitles, text), name);
  SceneFile style = LoadCaptionStyle(invocation.style, invocation.overrides);
  // Over footage the track lasts as the footage does, unless --duration says otherwise.
  PutOver(invocation, style, console);
  const CaptionOptions options{invocation.per_line, invocation.fade_seconds,
                               invocation.over.empty()
                                   ? invocation.duration_seconds
                                   : std::optional<double>(style.composition.duration_seconds)};
  return RenderScene(invocation, CaptionScene(style, cues, options, name), FramesByDefault::kAll,
                     console);
}

}  // namespace quorvel::cli
