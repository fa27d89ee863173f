// SPDX-License-Identifier: MIT
#include "cli/commands/batch_command.h"

#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "batch/csv_table.h"
#include "batch/output_names.h"
#include "batch/row_renders.h"
#include "batch/row_template.h"
#include "cli/cli_error.h"
#include "cli/commands/render_command.h"
#include "cli/frame_report.h"
#include "cli/interrupt.h"
#include "cli/progress.h"
#include "compose/render/frame_jobs.h"
#include "compose/render/frame_output.h"
#include "compose/render/output_pattern.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/over_footage.h"
#include "compose/scene/scene_file.h"
#include "headless/pixels/memory_budget.h"

namespace quorvel::cli {

using batch::CheckPlaceholders;
using batch::DataTable;
using batch::FillTemplate;
using batch::OutputNameForRow;
using batch::ParseDataTable;
using compose::CheckFramesInScene;
using compose::DefaultJobs;
using compose::DefaultModulePath;
using compose::FrameJobsOutcome;
using compose::FrameRange;
using compose::Json;
using compose::OutputPattern;
using compose::ReadInputFile;
using compose::ReadSceneDocument;
using compose::ReportSceneWarnings;
using compose::RunFrameJobs;
using compose::SceneFile;
using compose::SceneFromDocument;
using compose::SceneName;
using compose::SceneRenderer;

namespace {

// Tells a row's warnings one row at a time: rows are set up on several threads.
void ReportRowWarnings(const SceneFile& scene, bool strict, std::ostream& err) {
  static std::mutex lock;
  const std::lock_guard<std::mutex> one_at_a_time(lock);
  ReportSceneWarnings(scene, strict, err);
}

}  // namespace

int RunBatch(const Invocation& invocation, Console& console) {
  if (OutputFormatOf(invocation.output)) {
    throw UsageError("batch writes PNG images, one per row (or numbered frames with %04d in " +
                     std::string("the name); render a video of one row with render --set"));
  }
  const std::string template_name = SceneName(invocation.scene);
  const Json document = ReadSceneDocument(invocation.scene, invocation.overrides);
  const DataTable table =
      ParseDataTable(ReadInputFile(invocation.data, "data file"), SceneName(invocation.data));
  CheckPlaceholders(document, table, template_name);
  if (invocation.max_memory) headless::SetMemoryBudget(*invocation.max_memory);

  const FrameRange range = invocation.frames.value_or(
      FrameRange{invocation.frame.value_or(0), invocation.frame.value_or(0)});
  batch::CheckRowOutputNames(invocation.output, table, range);
  const auto module = std::make_shared<const headless::Module>(
      invocation.module.empty() ? DefaultModulePath() : invocation.module);

  // One job per frame of each row, row by row.
  const A_long per_row = range.Count();
  const int64_t job_count = static_cast<int64_t>(table.rows.size()) * per_row;
  if (job_count > std::numeric_limits<A_long>::max()) {
    throw UsageError(std::to_string(table.rows.size()) + " rows of " + std::to_string(per_row) +
                     " frames are more frames than one run takes; split the CSV file");
  }
  const auto total = static_cast<A_long>(job_count);
  const auto row_of = [&](A_long job) { return static_cast<size_t>(job / per_row); };
  const auto frame_of = [&](A_long job) { return range.first + job % per_row; };
  const auto name_of = [&](A_long job) {
    return table.RowPlace(row_of(job)) +
           (per_row > 1 ? " frame " + std::to_string(frame_of(job)) : std::string());
  };
  // The footage under every row is read once; the note of a template laid out anew is told once.
  std::optional<compose::OverFootage> over;
  if (!invocation.over.empty()) over = compose::ReadOverFootage(invocation.over);
  std::once_flag noted;
  batch::RowRenders renders(per_row, [&](size_t row) {
    auto prepared = std::make_unique<batch::PreparedRow>(batch::PreparedRow{
        SceneFromDocument(FillTemplate(document, table, row), template_name),
        OutputPattern(OutputNameForRow(invocation.output, table, row)), nullptr});
    if (over) {
      const std::string note =
          compose::PutOverFootage(prepared->scene, *over, invocation.duration_seconds);
      if (!note.empty()) {
        std::call_once(noted, [&] { console.err << "quorvel-render: note: " << note << "\n"; });
      }
    }
    CheckFramesInScene(prepared->scene, range);
    ReportRowWarnings(prepared->scene, invocation.strict, console.err);
    prepared->session = std::make_unique<SceneRenderer>(module, prepared->scene);
    return prepared;
  });

  Progress progress(console.err, console.err_is_terminal, total);
  const FrameJobsOutcome outcome = RunFrameJobs(
      FrameRange{0, total - 1}, invocation.jobs.value_or(DefaultJobs()), [&](A_long job) {
        const size_t row = row_of(job);
        const std::shared_ptr<batch::RowRenders::Slot> slot = renders.Take(row);
        struct Over {
          batch::RowRenders& renders;
          size_t row;
          ~Over() { renders.FrameOver(row); }
        } frame_over{renders, row};
        if (!slot->error.empty()) return slot->error;
        batch::PreparedRow& prepared = *slot->prepared;
        const A_long frame = frame_of(job);
        const std::filesystem::path path = prepared.output.ForFrame(frame);
        if (std::string problem = compose::RenderFrameToPng(*prepared.session, frame, path,
                                                            prepared.scene.composition.background);
            !problem.empty()) {
          return problem;
        }
        progress.ItemDone(name_of(job), path.string());
        return std::string();
      });
  progress.Finish();
  const int exit_code = ReportFrameJobs(outcome, total, console, name_of);
  if (exit_code != kExitSuccess) return exit_code;
  console.out
      << "wrote " << total << (total == 1 ? " file" : " files") << " for " << table.rows.size()
      << (table.rows.size() == 1 ? " row" : " rows") << ": "
      << OutputPattern(OutputNameForRow(invocation.output, table, 0)).ForFrame(range.first).string()
      << " to "
      << OutputPattern(OutputNameForRow(invocation.output, table, table.rows.size() - 1))
             .ForFrame(range.last)
             .string()
      << "\n";
  return kExitSuccess;
}

}  // namespace quorvel::cli
