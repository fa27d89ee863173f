// SPDX-License-Identifier: MIT
#include "cli/commands/render_command.h"

#include <cctype>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "batch/split/segment.h"
#include "cli/cli_error.h"
#include "cli/frame_report.h"
#include "cli/interrupt.h"
#include "cli/progress.h"
#include "compose/render/footage_pass_through.h"
#include "compose/render/frame_jobs.h"
#include "compose/render/frame_output.h"
#include "compose/render/output_pattern.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/over_footage.h"
#include "compose/scene/scene_file.h"
#include "headless/composition/frame_render.h"
#include "headless/pixels/memory_budget.h"
#include "media/image/png_output.h"
#include "media/video/encoder_settings.h"
#include "media/video/video_output.h"
#include "media/video/video_size.h"

namespace quorvel::cli {

using compose::CheckedOutput;
using compose::CheckFramesInScene;
using compose::DefaultJobs;
using compose::DefaultModulePath;
using compose::FrameCount;
using compose::FrameJobsOutcome;
using compose::FrameRange;
using compose::LoadSceneFile;
using compose::OutputPattern;
using compose::ReportSceneWarnings;
using compose::SceneFile;
using compose::SceneRenderer;

namespace {

int RenderImages(const Invocation& invocation, const SceneFile& scene_file, const FrameRange& range,
                 Console& console) {
  const OutputPattern output(invocation.output);
  const bool to_standard_output = IsStandardOutput(invocation.output);
  if (range.Count() > 1 && to_standard_output) {
    throw UsageError(
        "-o - writes one frame to standard output; frames go to files named with "
        "the frame number, as in 'out/frame_%04d.png'");
  }
  if (range.Count() > 1 && !output.HasFrameNumber()) {
    throw UsageError("-o '" + output.text() +
                     "': frames go to separate files; put the frame number in the name, as in "
                     "'out/frame_%04d.png', or name a video (.mov, .webm, .mp4)");
  }

  // Before any rendering: an 8K frame should not render only to find its folder unwritable.
  CheckedOutput(output.ForFrame(range.first));

  SceneRenderer session(invocation.module.empty() ? DefaultModulePath() : invocation.module,
                        scene_file);
  const PF_Pixel background = scene_file.composition.background;
  const bool sequence = range.Count() > 1;
  Progress progress(console.err, console.err_is_terminal, range.Count());
  if (invocation.progress_json) progress.ReportAsJson();

  const FrameJobsOutcome outcome = compose::RenderImageFrames(
      session, range, output, background, invocation.jobs.value_or(DefaultJobs()),
      [&](A_long frame, const std::string& path) {
        if (sequence) progress.FrameDone(frame, path);
      });
  progress.Finish();

  const int exit_code = ReportFrameJobs(outcome, range.Count(), console);
  if (exit_code != kExitSuccess) return exit_code;
  if (to_standard_output) return kExitSuccess;  // the image itself went to standard output
  if (sequence) {
    console.out << "wrote " << range.Count() << " frames: " << output.ForFrame(range.first).string()
                << " to " << output.ForFrame(range.last).string() << "\n";
  } else {
    console.out << "wrote " << output.ForFrame(range.first).string() << "\n";
  }
  return kExitSuccess;
}

// Frames rendered on the jobs' threads pass to the encoder one at a time, in order.
int RenderVideo(const Invocation& invocation, const SceneFile& scene_file, const FrameRange& range,
                media::VideoFormat format, Console& console) {
  const std::filesystem::path path(invocation.output);
  Progress progress(console.err, console.err_is_terminal, range.Count());
  if (invocation.progress_json) progress.ReportAsJson();
  // The video's settings and file are checked before the module is loaded.
  VideoPlan plan = PlanVideo(invocation, scene_file, format, path, progress);
  const auto module = std::make_shared<const headless::Module>(
      invocation.module.empty() ? DefaultModulePath() : invocation.module);
  const FrameJobsOutcome outcome = WriteVideo(
      invocation, std::move(plan), module, scene_file, range, progress,
      [&](A_long frame, const std::string& detail) { progress.FrameDone(frame, detail); });
  progress.Finish();
  const int exit_code = ReportFrameJobs(outcome, range.Count(), console);
  if (exit_code != kExitSuccess) return exit_code;  // the writer left no partial file
  console.out << "wrote " << path.string() << " (" << range.Count() << " frames)\n";
  return kExitSuccess;
}

}  // namespace

VideoPlan PlanVideo(const Invocation& invocation, const SceneFile& scene_file,
                    media::VideoFormat format, const std::filesystem::path& path,
                    Progress& progress) {
  if (!invocation.prores.empty()) {
    if (format != media::VideoFormat::kProRes4444) {
      throw UsageError("--prores is for .mov, not " + path.filename().string());
    }
    if (invocation.prores == "422hq") format = media::VideoFormat::kProRes422Hq;
  }
  media::VideoSettings settings = compose::VideoSettingsFor(scene_file, format);
  if (invocation.crf) settings.crf = *invocation.crf;
  if (!invocation.preset.empty()) settings.preset = invocation.preset;
  // First: settings, sizes and backgrounds the format cannot take would otherwise show only
  // after the frames' work.
  if (const media::FileStatus takes =
          media::CheckEncoderSettings(format, settings.crf, settings.preset);
      !takes) {
    throw UsageError(path.filename().string() + ": " + takes.message);
  }
  for (const media::FileStatus& fits :
       {media::CheckVideoSize(format, settings.width, settings.height),
        media::CheckVideoBackground(format, settings.background)}) {
    if (!fits) throw CliError(path.filename().string() + ": " + fits.message);
  }
  const media::OutputTarget target = CheckedOutput(path);
  // Footage put under with --over fills the frame: nothing of the black shows.
  if (format == media::VideoFormat::kH264 && settings.background.alpha < 255 &&
      invocation.over.empty()) {
    progress.Message("quorvel-render: note: " + path.filename().string() +
                     " (H.264) has no alpha: the frames are laid over black");
  }

  return {std::move(settings), target};
}

FrameJobsOutcome WriteVideo(const Invocation& invocation, VideoPlan plan,
                            const std::shared_ptr<const headless::Module>& module,
                            const SceneFile& scene_file, const FrameRange& range,
                            Progress& progress, const compose::FrameDone& done) {
  media::VideoSettings& settings = plan.settings;
  const media::VideoFormat format = settings.format;
  SceneRenderer session(module, scene_file);
  if (!invocation.no_audio) settings.audio = session.Sound(range);
  // Over footage that fills the frame, its own frames go to the encoder, the layers above
  // laid into their planes.
  settings.native = compose::PassThroughFormat(session, scene_file, range, format);
  // FFmpeg's warnings come from the encoder's threads, between the progress lines.
  settings.library_messages = [&progress](const std::string& line) {
    progress.Message("quorvel-render: " + line);
  };
  media::FileStatus opened;
  const std::unique_ptr<media::VideoWriter> writer =
      media::VideoWriter::Open(plan.target, settings, opened);
  if (!writer) throw CliError(opened.message);

  FrameJobsOutcome outcome =
      settings.native ? compose::RenderVideoFramesOverFootage(session, range, *writer, done)
                      : compose::RenderVideoFrames(session, range, *writer,
                                                   invocation.jobs.value_or(DefaultJobs()), done);
  if (!outcome.failures.empty() || outcome.interrupted) return outcome;  // no file is left
  if (const media::FileStatus finished = writer->Finish(); !finished) {
    throw CliError(finished.message);
  }
  return outcome;
}

int RenderScene(const Invocation& invocation, const SceneFile& scene_file, FramesByDefault frames,
                Console& console) {
  // The output's format first: a name no format takes is a usage error before any work.
  const std::optional<media::VideoFormat> video = OutputFormatOf(invocation.output);
  ReportSceneWarnings(scene_file, invocation.strict, console.err);
  if (invocation.max_memory) headless::SetMemoryBudget(*invocation.max_memory);
  // A video is the whole composition unless frames are named.
  const A_long single = invocation.frame.value_or(0);
  const FrameRange whole{0, FrameCount(scene_file.composition) - 1};
  const bool all = (video || frames == FramesByDefault::kAll) && !invocation.frame;
  FrameRange range = CheckFramesInScene(
      scene_file, invocation.frames.value_or(all ? whole : FrameRange{single, single}));
  if (invocation.segment) {
    const SegmentChoice segment = *invocation.segment;
    if (!video) {
      throw UsageError("--segment renders a part of a video; name a .mov, .webm or .mp4");
    }
    if (segment.count > range.Count()) {
      throw CliError(scene_file.file + ": --segment " + std::to_string(segment.index) + "/" +
                     std::to_string(segment.count) + ": frames " + std::to_string(range.first) +
                     "-" + std::to_string(range.last) + " make " + std::to_string(range.Count()) +
                     " frames, fewer than the segments");
    }
    range = batch::SegmentOf(range, segment.index, segment.count);
  }
  if (video) return RenderVideo(invocation, scene_file, range, *video, console);
  return RenderImages(invocation, scene_file, range, console);
}

void PutOver(const Invocation& invocation, compose::SceneFile& scene, Console& console) {
  if (invocation.over.empty()) return;
  const compose::OverFootage footage = compose::ReadOverFootage(invocation.over);
  const std::string note = compose::PutOverFootage(scene, footage, invocation.duration_seconds);
  if (!note.empty()) console.err << "quorvel-render: note: " << note << "\n";
}

int RunRender(const Invocation& invocation, Console& console) {
  OutputFormatOf(invocation.output);  // a usage error before the scene is read
  SceneFile scene = LoadSceneFile(invocation.scene, invocation.overrides);
  PutOver(invocation, scene, console);
  return RenderScene(invocation, scene, FramesByDefault::kFirst, console);
}

}  // namespace quorvel::cli
