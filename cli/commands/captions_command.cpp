// SPDX-License-Identifier: MIT
#include "cli/commands/captions_command.h"

#include <string>
#include <vector>

#include "captions/caption_track.h"
#include "captions/subtitles.h"
#include "cli/commands/render_command.h"
#include "compose/scene/scene_file.h"

namespace quorvel::cli {

using captions::CaptionOptions;
using captions::CaptionScene;
using captions::Cue;
using captions::ReadSubtitles;
using captions::SubtitleFile;
using compose::LoadSceneFile;
using compose::ReadInputFile;
using compose::SceneFile;
using compose::SceneName;

int RunCaptions(const Invocation& invocation, Console& console) {
  OutputFormatOf(invocation.output);  // a usage error before any file is read
  const std::string name = SceneName(invocation.subtitles);
  const SubtitleFile subtitles =
      ReadSubtitles(ReadInputFile(invocation.subtitles, "subtitle file"), name,
                    {std::nullopt, invocation.encoding, invocation.strict});
  SceneFile style = LoadSceneFile(invocation.style, invocation.overrides);
  // Over footage the track lasts as the footage does, unless --duration says otherwise.
  PutOver(invocation, style, console);
  const CaptionOptions options{invocation.per_line, invocation.fade_seconds,
                               invocation.over.empty()
                                   ? invocation.duration_seconds
                                   : std::optional<double>(style.composition.duration_seconds)};
  SceneFile scene = CaptionScene(style, subtitles.cues, options, name);
  // The reader's warnings come first, told (or made errors by --strict) as the scene's are.
  scene.warnings.insert(scene.warnings.begin(), subtitles.warnings.begin(),
                        subtitles.warnings.end());
  return RenderScene(invocation, scene, FramesByDefault::kAll, console);
}

}  // namespace quorvel::cli
