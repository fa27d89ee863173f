// SPDX-License-Identifier: MIT
#include "cli/batch/batch_command.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch/csv_table.h"
#include "cli/batch/row_template.h"
#include "cli/cli_error.h"
#include "cli/effect_session.h"
#include "cli/frame_jobs.h"
#include "cli/progress.h"
#include "cli/render_command.h"
#include "cli/scene_file.h"
#include "headless/pixels/memory_budget.h"

namespace quorvel::cli {
namespace {

struct BatchRow {
  SceneFile scene;
  OutputPattern output;
  std::unique_ptr<EffectSession> session;
};

// File names compared as a file system that ignores letter case compares them, so that a batch
// gives the same files wherever it runs.
std::string FoldedName(const std::filesystem::path& path) {
  std::string name = path.lexically_normal().generic_string();
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// Prefixes a row's place to a problem found in its scene.
template <typename Work>
auto ForRow(const CsvTable& table, size_t row, Work work) {
  try {
    return work();
  } catch (const SceneError& error) {
    throw SceneError(table.RowPlace(row) + ": " + error.what());
  } catch (const CliError& error) {
    throw CliError(table.RowPlace(row) + ": " + error.what());
  }
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
  std::vector<BatchRow> rows;
  std::map<std::string, size_t> written_by;  // folded output name, row
  const std::string module = invocation.module.empty() ? DefaultModulePath() : invocation.module;
  for (size_t row = 0; row < table.rows.size(); ++row) {
    OutputPattern output(OutputNameForRow(invocation.output, table, row));
    if (range.Count() > 1 && !output.HasFrameNumber()) {
      throw UsageError("-o '" + invocation.output + "': each row writes " +
                       std::to_string(range.Count()) +
                       " frames; put the frame number in the name, as in 'out/{" +
                       table.columns.front() + "}_%04d.png'");
    }
    const auto [earlier, added] = written_by.emplace(FoldedName(output.ForFrame(range.first)), row);
    if (!added) {
      throw SceneError(table.RowPlace(row) + ": writes " + output.ForFrame(range.first).string() +
                       ", as " + table.RowPlace(earlier->second) +
                       " does; name the files by a column whose values differ");
    }
    SceneFile scene = ForRow(table, row, [&] {
      SceneFile read = SceneFromDocument(FillTemplate(document, table, row), template_name);
      CheckFramesInScene(read, range);
      return read;
    });
    ForRow(table, row, [&] { ReportSceneWarnings(scene, invocation.strict, console.err); });
    CheckedOutput(output.ForFrame(range.first));
    auto session =
        ForRow(table, row, [&] { return std::make_unique<EffectSession>(module, scene); });
    rows.push_back(BatchRow{std::move(scene), std::move(output), std::move(session)});
  }

  // One job per frame of each row, row by row.
  const A_long per_row = range.Count();
  const int64_t job_count = static_cast<int64_t>(rows.size()) * per_row;
  if (job_count > std::numeric_limits<A_long>::max()) {
    throw UsageError(std::to_string(rows.size()) + " rows of " + std::to_string(per_row) +
                     " frames are more frames than one run takes; split the CSV file");
  }
  const auto total = static_cast<A_long>(job_count);
  const auto row_of = [&](A_long job) { return static_cast<size_t>(job / per_row); };
  const auto frame_of = [&](A_long job) { return range.first + job % per_row; };
  const auto name_of = [&](A_long job) {
    return table.RowPlace(row_of(job)) +
           (per_row > 1 ? " frame " + std::to_string(frame_of(job)) : std::string());
  };
  Progress progress(console.err, console.err_is_terminal, total);
  const FrameJobsOutcome outcome = RunFrameJobs(
      FrameRange{0, total - 1}, invocation.jobs.value_or(DefaultJobs()), [&](A_long job) {
        BatchRow& row = rows[row_of(job)];
        const A_long frame = frame_of(job);
        const std::filesystem::path path = row.output.ForFrame(frame);
        if (std::string problem =
                RenderFrameToPng(*row.session, frame, path, row.scene.composition.background);
            !problem.empty()) {
          return problem;
        }
        progress.ItemDone(name_of(job), path.string());
        return std::string();
      });
  progress.Finish();
  const int exit_code = ReportFrameJobs(outcome, total, console, name_of);
  if (exit_code != kExitSuccess) return exit_code;
  console.out << "wrote " << total << (total == 1 ? " file" : " files") << " for " << rows.size()
              << (rows.size() == 1 ? " row" : " rows") << ": "
              << rows.front().output.ForFrame(range.first).string() << " to "
              << rows.back().output.ForFrame(range.last).string() << "\n";
  return kExitSuccess;
}

}  // namespace quorvel::cli
