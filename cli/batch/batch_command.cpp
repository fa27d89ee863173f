// SPDX-License-Identifier: MIT
#include "cli/batch/batch_command.h"

#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "cli/batch/csv_table.h"
#include "cli/batch/output_names.h"
#include "cli/batch/row_template.h"
#include "cli/cli_error.h"
#include "cli/effect_session.h"
#include "cli/frame_jobs.h"
#include "cli/interrupt.h"
#include "cli/progress.h"
#include "cli/render_command.h"
#include "cli/scene_file.h"
#include "headless/pixels/memory_budget.h"

namespace quorvel::cli {
namespace {

// What a row's turn needs: its scene read from the filled template and a session on it.
struct PreparedRow {
  SceneFile scene;
  OutputPattern output;
  std::unique_ptr<EffectSession> session;
};

// Each row's render is set up when its first frame's turn comes and let go after its last, so
// that the rows in memory are those being rendered, however many the table has.
class RowRenders {
 public:
  struct Slot {
    std::mutex mutex;
    std::unique_ptr<PreparedRow> prepared;
    std::string error;
    A_long frames_over = 0;
  };

  using Prepare = std::function<std::unique_ptr<PreparedRow>(size_t row)>;
  RowRenders(A_long frames_per_row, Prepare prepare)
      : frames_per_row_(frames_per_row), prepare_(std::move(prepare)) {}

  // The row's render, set up on first use; a SceneError or CliError of its set-up is thrown to
  // each of its frames.
  std::shared_ptr<Slot> Take(size_t row) {
    std::shared_ptr<Slot> slot;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      std::shared_ptr<Slot>& held = slots_[row];
      if (!held) held = std::make_shared<Slot>();
      slot = held;
    }
    const std::lock_guard<std::mutex> setting_up(slot->mutex);
    if (!slot->prepared && slot->error.empty()) {
      try {
        slot->prepared = prepare_(row);
      } catch (const std::exception& error) {
        slot->error = error.what();
      }
    }
    return slot;
  }

  // One more frame of the row is over; after its last the row is let go.
  void FrameOver(size_t row) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(row);
    if (found != slots_.end() && ++found->second->frames_over == frames_per_row_) {
      slots_.erase(found);
    }
  }

 private:
  A_long frames_per_row_;
  Prepare prepare_;
  std::mutex mutex_;
  std::map<size_t, std::shared_ptr<Slot>> slots_;
};

// Every row's output name, checked before any frame renders: it must name a file by a value,
// keep the frame number field when a row writes several frames, be no name Windows keeps for a
// device, and differ from every other row's as a file system that ignores case and the form of
// accents compares them. Each folder is checked for writing once. A stop is heard between rows.
void CheckOutputNames(const Invocation& invocation, const CsvTable& table,
                      const FrameRange& range) {
  std::map<std::string, size_t> written_by;  // folded output name, row
  std::set<std::string> checked_folders;
  for (size_t row = 0; row < table.rows.size(); ++row) {
    if (StopRequested()) throw Interrupted();
    const OutputPattern output(OutputNameForRow(invocation.output, table, row));
    if (range.Count() > 1 && !output.HasFrameNumber()) {
      throw UsageError("-o '" + invocation.output + "': each row writes " +
                       std::to_string(range.Count()) +
                       " frames; put the frame number in the name, as in 'out/{" +
                       table.columns.front() + "}_%04d.png'");
    }
    const std::filesystem::path first = output.ForFrame(range.first);
    if (const std::string reserved = ReservedWindowsName(first); !reserved.empty()) {
      throw SceneError(table.RowPlace(row) + ": writes " + first.string() + ", and '" + reserved +
                       "' is a name Windows keeps for a device; name the files otherwise");
    }
    const auto [earlier, added] = written_by.emplace(FoldedFileName(first), row);
    if (!added) {
      throw SceneError(table.RowPlace(row) + ": writes " + first.string() + ", as " +
                       table.RowPlace(earlier->second) +
                       " does (letter case and accents aside); name the files by a column whose "
                       "values differ");
    }
    if (checked_folders.insert(first.parent_path().string()).second) CheckedOutput(first);
  }
}

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
  const CsvTable table =
      ParseCsv(ReadInputFile(invocation.data, "CSV file"), SceneName(invocation.data));
  CheckPlaceholders(document, table, template_name);
  if (invocation.max_memory) headless::SetMemoryBudget(*invocation.max_memory);

  const FrameRange range = invocation.frames.value_or(
      FrameRange{invocation.frame.value_or(0), invocation.frame.value_or(0)});
  CheckOutputNames(invocation, table, range);
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
  RowRenders renders(per_row, [&](size_t row) {
    auto prepared = std::make_unique<PreparedRow>(
        PreparedRow{SceneFromDocument(FillTemplate(document, table, row), template_name),
                    OutputPattern(OutputNameForRow(invocation.output, table, row)), nullptr});
    CheckFramesInScene(prepared->scene, range);
    ReportRowWarnings(prepared->scene, invocation.strict, console.err);
    prepared->session = std::make_unique<EffectSession>(module, prepared->scene);
    return prepared;
  });

  Progress progress(console.err, console.err_is_terminal, total);
  const FrameJobsOutcome outcome = RunFrameJobs(
      FrameRange{0, total - 1}, invocation.jobs.value_or(DefaultJobs()), [&](A_long job) {
        const size_t row = row_of(job);
        const std::shared_ptr<RowRenders::Slot> slot = renders.Take(row);
        struct Over {
          RowRenders& renders;
          size_t row;
          ~Over() { renders.FrameOver(row); }
        } over{renders, row};
        if (!slot->error.empty()) return slot->error;
        PreparedRow& prepared = *slot->prepared;
        const A_long frame = frame_of(job);
        const std::filesystem::path path = prepared.output.ForFrame(frame);
        if (std::string problem = RenderFrameToPng(*prepared.session, frame, path,
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
