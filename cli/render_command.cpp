// SPDX-License-Identifier: MIT
#include "cli/render_command.h"

#include <filesystem>
#include <system_error>

#include "cli/cli_error.h"
#include "cli/effect_session.h"
#include "cli/frame_jobs.h"
#include "cli/interrupt.h"
#include "cli/progress.h"
#include "cli/scene_file.h"
#include "headless/image/png_output.h"
#include "headless/pixels/memory_budget.h"

namespace quorvel::cli {
namespace {

// Makes the folder a file is to be written in; a failure shows when the file is written.
void MakeFolderFor(const std::filesystem::path& path) {
  if (!path.has_parent_path()) return;
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
}

}  // namespace

int RunRender(const Invocation& invocation, Console& console) {
  const SceneFile scene_file = LoadSceneFile(invocation.scene);
  ReportSceneWarnings(scene_file, invocation.strict, console.err);
  if (invocation.max_memory) headless::SetMemoryBudget(*invocation.max_memory);
  const A_long single = invocation.frame.value_or(0);
  const FrameRange range =
      CheckFramesInScene(scene_file, invocation.frames.value_or(FrameRange{single, single}));
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
                     "'out/frame_%04d.png'");
  }

  // Before any rendering: an 8K frame should not render only to find its folder unwritable.
  CheckedOutput(output.ForFrame(range.first));

  EffectSession session(invocation.module.empty() ? DefaultModulePath() : invocation.module,
                        scene_file);
  const PF_Pixel background = scene_file.composition.background;
  const bool sequence = range.Count() > 1;
  Progress progress(console.err, console.err_is_terminal, range.Count());

  const FrameJobsOutcome outcome =
      RunFrameJobs(range, invocation.jobs.value_or(DefaultJobs()), [&](A_long frame) {
        const std::filesystem::path path = output.ForFrame(frame);
        const headless::OwnedWorld image = session.RenderChecked(frame);
        if (StopRequested()) return std::string("interrupted");  // discarded, not written
        MakeFolderFor(path);
        // Over the background: an opaque one gives an opaque image, a transparent one
        // leaves the frame's own alpha (straight in the file).
        const headless::FileStatus written = headless::WritePng(image.world(), path, background);
        if (!written) return written.message;
        if (sequence) progress.FrameDone(frame, path.string());
        return std::string();
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

}  // namespace quorvel::cli
