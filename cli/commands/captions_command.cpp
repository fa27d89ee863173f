// SPDX-License-Identifier: MIT
#include "cli/commands/captions_command.h"

#include <string>
#include <vector>

#include "captions/reading/subtitles.h"
#include "captions/track/caption_track.h"
#include "captions/track/named_styles.h"
#include "captions/words/cue_formation.h"
#include "captions/words/cue_writer.h"
#include "captions/words/transcript.h"
#include "cli/cli_error.h"
#include "cli/commands/render_command.h"
#include "compose/scene/scene_file.h"
#include "media/image/file_output.h"

namespace quorvel::cli {

using captions::CaptionOptions;
using captions::CaptionScene;
using captions::Cue;
using captions::FormedCue;
using captions::LoadCaptionStyle;
using captions::ReadSubtitles;
using captions::SubtitleFile;
using compose::ReadInputFile;
using compose::SceneFile;
using compose::SceneName;

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    const char c = text[text.size() - end.size() + i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != end[i]) return false;
  }
  return true;
}

// Where --cues-out goes, checked before any work.
media::OutputTarget CuesOutput(const std::string& path) {
  if (!EndsWith(path, ".srt") && !EndsWith(path, ".vtt")) {
    throw UsageError("--cues-out " + path + ": write .srt or .vtt");
  }
  media::OutputTarget target;
  for (const media::FileStatus& status :
       {media::ResolveOutput(path, target), media::CheckWritable(target)}) {
    if (!status) throw CliError(status.message);
  }
  return target;
}

// The cues a word-timed transcript is gathered into; written to --cues-out when asked, before
// any frame, so that they can be edited and rendered again.
SubtitleFile TranscriptCues(const Invocation& invocation, const std::string& text,
                            const std::string& name) {
  std::optional<media::OutputTarget> cues_out;
  if (!invocation.cues_out.empty()) cues_out = CuesOutput(invocation.cues_out);
  const captions::Transcript transcript = captions::ParseTranscript(text, name);
  captions::FormationOptions options;
  if (invocation.max_chars) options.max_chars = static_cast<size_t>(*invocation.max_chars);
  if (invocation.max_lines) options.max_lines = static_cast<size_t>(*invocation.max_lines);
  if (invocation.max_duration) options.max_duration_seconds = *invocation.max_duration;
  if (invocation.pause) options.pause_seconds = *invocation.pause;
  const std::vector<FormedCue> formed = captions::FormCues(transcript.words, options);
  if (cues_out) {
    const std::string written = EndsWith(invocation.cues_out, ".vtt")
                                    ? captions::WriteWebVtt(formed)
                                    : captions::WriteSubRip(formed);
    if (const media::FileStatus status = media::WriteOutput(*cues_out, written); !status) {
      throw CliError(status.message);
    }
  }
  SubtitleFile cues{captions::SubtitleFormat::kWebVtt, {}, transcript.warnings};
  cues.cues.reserve(formed.size());
  for (const FormedCue& cue : formed) {
    cues.cues.push_back(cue.cue);
    // Messages name a formed cue by its number, as --cues-out numbers it.
    cues.cues.back().line = cues.cues.size();
  }
  return cues;
}

}  // namespace

int RunCaptions(const Invocation& invocation, Console& console) {
  OutputFormatOf(invocation.output);  // a usage error before any file is read
  const bool transcript = EndsWith(invocation.subtitles, ".json");
  if (!transcript && (invocation.max_chars || invocation.max_lines || invocation.max_duration ||
                      invocation.pause || !invocation.cues_out.empty())) {
    throw UsageError(
        "--max-chars, --max-lines, --max-duration, --pause and --cues-out gather the words of a "
        "transcript (.json) into cues; subtitle files come in cues already");
  }
  const std::string name = SceneName(invocation.subtitles);
  const std::string text = ReadInputFile(invocation.subtitles, "subtitle file");
  const SubtitleFile subtitles =
      transcript
          ? TranscriptCues(invocation, text, name)
          : ReadSubtitles(text, name, {std::nullopt, invocation.encoding, invocation.strict});
  SceneFile style = LoadCaptionStyle(invocation.style, invocation.overrides);
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
