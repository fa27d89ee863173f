// SPDX-License-Identifier: MIT
#include "cli/commands/batch_command.h"

#include <chrono>
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
#include "batch/manifest.h"
#include "batch/output_names.h"
#include "batch/row_renders.h"
#include "batch/row_template.h"
#include "batch/sha256.h"
#include "batch/shard.h"
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

// The rows this run renders: those of its shard, less those a resumed manifest records as done
// with their files unchanged.
struct RowSelection {
  std::vector<size_t> rows;  // from 0, in order
  size_t in_shard = 0;
  size_t done_before = 0;
};

RowSelection SelectRows(const DataTable& table, const batch::Shard& shard,
                        const std::map<size_t, batch::ManifestEntry>& recorded,
                        const std::function<std::string(size_t)>& output_of) {
  RowSelection selection;
  for (size_t row = 0; row < table.rows.size(); ++row) {
    if (!shard.Takes(row)) continue;
    ++selection.in_shard;
    if (const auto found = recorded.find(row + 1);
        found != recorded.end() &&
        batch::StillDone(found->second, batch::RowValues(table, row), output_of(row))) {
      ++selection.done_before;
      continue;
    }
    selection.rows.push_back(row);
  }
  return selection;
}

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
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
  const A_long per_row = range.Count();
  if (!invocation.manifest.empty() && per_row > 1) {
    throw UsageError("--manifest records one file a row; each row writes " +
                     std::to_string(per_row) + " frames (render one with --frame N)");
  }
  const batch::Shard shard = invocation.shard.empty()
                                 ? batch::Shard{}
                                 : batch::ParseShard(invocation.shard, batch::ProcessEnvironment);
  batch::CheckRowOutputNames(invocation.output, table, range);
  const auto output_of = [&](size_t row) {
    return OutputPattern(OutputNameForRow(invocation.output, table, row))
        .ForFrame(range.first)
        .string();
  };

  // What the manifest records, and which rows are left.
  const std::string manifest_path = invocation.manifest.empty()
                                        ? std::string()
                                        : batch::ManifestNameForShard(invocation.manifest, shard);
  std::map<size_t, batch::ManifestEntry> recorded;
  if (invocation.resume && std::filesystem::exists(manifest_path)) {
    recorded = batch::LatestByRow(
        batch::ParseManifest(ReadInputFile(manifest_path, "manifest"), manifest_path));
  }
  const RowSelection selection = SelectRows(table, shard, recorded, output_of);
  const std::string shard_note = shard.count > 1 ? " of shard " + shard.Name() : "";
  if (selection.rows.empty()) {
    console.out << "nothing to render: " << Plural(selection.in_shard, "row", "rows") << shard_note
                << (selection.in_shard == 0 ? "" : ", all done before") << "\n";
    return kExitSuccess;
  }
  std::unique_ptr<batch::ManifestWriter> manifest;
  if (!manifest_path.empty()) manifest = std::make_unique<batch::ManifestWriter>(manifest_path);

  const auto module = std::make_shared<const headless::Module>(
      invocation.module.empty() ? DefaultModulePath() : invocation.module);

  // One job per frame of each row, row by row.
  const int64_t job_count = static_cast<int64_t>(selection.rows.size()) * per_row;
  if (job_count > std::numeric_limits<A_long>::max()) {
    throw UsageError(std::to_string(selection.rows.size()) + " rows of " + std::to_string(per_row) +
                     " frames are more frames than one run takes; split the data or use --shard");
  }
  const auto total = static_cast<A_long>(job_count);
  const auto row_of = [&](A_long job) {
    return selection.rows[static_cast<size_t>(job / per_row)];
  };
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
  if (invocation.progress_json) progress.ReportAsJson();
  progress.CountRows(selection.rows.size());
  std::mutex rows_mutex;
  std::map<size_t, A_long> frames_over;  // by row, until the row is over
  const auto row_over = [&](size_t row) {
    {
      const std::lock_guard<std::mutex> lock(rows_mutex);
      if (++frames_over[row] < per_row) return;
      frames_over.erase(row);
    }
    progress.RowOver();
  };
  const auto entry_for = [&](size_t row) {
    batch::ManifestEntry entry;
    entry.row = row + 1;
    entry.rows = table.rows.size();
    entry.values = batch::RowValues(table, row);
    entry.output = output_of(row);
    return entry;
  };

  const FrameJobsOutcome outcome = RunFrameJobs(
      FrameRange{0, total - 1}, invocation.jobs.value_or(DefaultJobs()),
      [&](A_long job) {
        const auto started = std::chrono::steady_clock::now();
        const size_t row = row_of(job);
        std::string problem;
        std::filesystem::path path;
        try {
          const std::shared_ptr<batch::RowRenders::Slot> slot = renders.Take(row);
          struct Over {
            batch::RowRenders& renders;
            size_t row;
            ~Over() { renders.FrameOver(row); }
          } frame_over{renders, row};
          if (!slot->error.empty()) {
            problem = slot->error;
          } else {
            batch::PreparedRow& prepared = *slot->prepared;
            path = prepared.output.ForFrame(frame_of(job));
            problem = compose::RenderFrameToPng(*prepared.session, frame_of(job), path,
                                                prepared.scene.composition.background);
          }
        } catch (const std::exception& error) {
          problem = error.what();
        }
        if (!problem.empty()) {
          // A frame given up for a stop is not the row's failure: resuming renders it.
          if (manifest && !StopRequested()) {
            batch::ManifestEntry failed = entry_for(row);
            failed.message = problem;
            manifest->Append(failed);
          }
          if (!StopRequested()) row_over(row);
          return problem;
        }
        progress.ItemDone(name_of(job), path.string(), row);
        if (manifest) {
          // The file is in place (renamed by its writer): only now may its line be written.
          const std::optional<batch::FileDigest> digest = batch::DigestOfFile(path);
          if (!digest) return "cannot read back " + path.string();
          batch::ManifestEntry done = entry_for(row);
          done.done = true;
          done.frames = per_row;
          done.seconds =
              std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
          done.bytes = digest->bytes;
          done.sha256 = digest->sha256;
          manifest->Append(done);
        }
        row_over(row);
        return std::string();
      },
      !invocation.keep_going);
  progress.Finish();
  const int exit_code = ReportFrameJobs(outcome, total, console, name_of);
  if (exit_code == kExitInterrupted) return exit_code;
  if (!outcome.failures.empty()) {
    if (invocation.keep_going) {
      std::set<size_t> failed_rows;
      for (const compose::FrameFailure& failure : outcome.failures) {
        failed_rows.insert(row_of(failure.frame));
      }
      std::string places;
      for (const size_t row : failed_rows) {
        places += (places.empty() ? "" : ", ") + table.RowPlace(row);
      }
      console.err << "quorvel-render: " << failed_rows.size() << " of "
                  << Plural(selection.rows.size(), "row", "rows") << shard_note
                  << " failed: " << places << "\n";
    }
    return kExitFailure;
  }
  console.out << "wrote " << Plural(static_cast<size_t>(total), "file", "files") << " for "
              << Plural(selection.rows.size(), "row", "rows") << shard_note << ": "
              << OutputPattern(OutputNameForRow(invocation.output, table, selection.rows.front()))
                     .ForFrame(range.first)
                     .string()
              << " to "
              << OutputPattern(OutputNameForRow(invocation.output, table, selection.rows.back()))
                     .ForFrame(range.last)
                     .string();
  if (selection.done_before > 0) {
    console.out << " (" << Plural(selection.done_before, "row", "rows") << " done before)";
  }
  console.out << "\n";
  return kExitSuccess;
}

}  // namespace quorvel::cli
