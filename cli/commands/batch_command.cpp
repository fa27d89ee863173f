// SPDX-License-Identifier: MIT
#include "cli/commands/batch_command.h"

#include <algorithm>
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

#include "batch/records/manifest.h"
#include "batch/records/sha256.h"
#include "batch/rows/csv_table.h"
#include "batch/rows/output_names.h"
#include "batch/rows/row_renders.h"
#include "batch/rows/row_template.h"
#include "batch/split/shard.h"
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
#include "media/video/video_output.h"

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

// One video per row, the rows one after another, each row's frames on the jobs' threads.
struct VideoRows {
  const Invocation& invocation;
  Console& console;
  const DataTable& table;
  const Json& document;
  const std::string& template_name;
  const RowSelection& selection;
  const std::string& shard_note;
  batch::ManifestWriter* manifest;
  std::shared_ptr<const headless::Module> module;
  const std::optional<compose::OverFootage>& over;
  media::VideoFormat format;
  std::function<batch::ManifestEntry(size_t row)> entry_for;
};

// A row's scene: the filled template, over the footage when asked.
SceneFile RowScene(const VideoRows& run, size_t row, bool tell_note) {
  SceneFile scene =
      SceneFromDocument(FillTemplate(run.document, run.table, row), run.template_name);
  if (run.over) {
    const std::string note =
        compose::PutOverFootage(scene, *run.over, run.invocation.duration_seconds);
    if (!note.empty() && tell_note) run.console.err << "quorvel-render: note: " << note << "\n";
  }
  return scene;
}

FrameRange RowFrames(const Invocation& invocation, const SceneFile& scene) {
  return invocation.frames.value_or(FrameRange{0, compose::FrameCount(scene.composition) - 1});
}

int RenderVideoRows(const VideoRows& run) {
  const Invocation& invocation = run.invocation;
  // Numbers cannot come from the data: every row's composition lasts as the first whose scene
  // can be read (a row that cannot fails at its turn).
  A_long per_row = 1;
  for (const size_t row : run.selection.rows) {
    try {
      per_row = RowFrames(invocation, RowScene(run, row, true)).Count();
      break;
    } catch (const compose::SceneError&) {
    }
  }
  const int64_t frames = static_cast<int64_t>(run.selection.rows.size()) * per_row;
  Progress progress(
      run.console.err, run.console.err_is_terminal,
      static_cast<A_long>(std::min<int64_t>(frames, std::numeric_limits<A_long>::max())));
  if (invocation.progress_json) progress.ReportAsJson();
  progress.CountRows(run.selection.rows.size());
  std::vector<size_t> failed;
  size_t written = 0;
  bool stopped = false;
  for (const size_t row : run.selection.rows) {
    if (StopRequested()) {
      stopped = true;
      break;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::string path = OutputNameForRow(invocation.output, run.table, row);
    std::string problem;
    A_long row_frames = 0;
    try {
      const SceneFile scene = RowScene(run, row, false);
      const FrameRange range = CheckFramesInScene(scene, RowFrames(invocation, scene));
      row_frames = range.Count();
      ReportSceneWarnings(scene, invocation.strict, run.console.err);
      VideoPlan plan = PlanVideo(invocation, scene, run.format, path, progress);
      const FrameJobsOutcome outcome = WriteVideo(
          invocation, std::move(plan), run.module, scene, range, progress,
          [&](A_long frame, const std::string& detail) {
            progress.ItemDone(run.table.RowPlace(row) + " frame " + std::to_string(frame), detail,
                              row);
          });
      stopped = outcome.interrupted;
      if (!outcome.failures.empty()) {
        problem = "frame " + std::to_string(outcome.failures.front().frame) + ": " +
                  outcome.failures.front().message;
      }
    } catch (const compose::ArgumentError&) {
      throw;  // the command line's own mistake, the same for every row
    } catch (const std::exception& error) {
      problem = error.what();
    }
    // A stop is no failure of the row; a video finished before it counts, and is recorded.
    if (stopped || (!problem.empty() && StopRequested())) {
      stopped = true;
      break;
    }
    if (!problem.empty()) {
      progress.Message("quorvel-render: " + run.table.RowPlace(row) + ": " + problem);
      if (run.manifest) {
        batch::ManifestEntry entry = run.entry_for(row);
        entry.message = problem;
        run.manifest->Append(entry);
      }
      failed.push_back(row);
      progress.RowOver();
      if (!invocation.keep_going) break;
      continue;
    }
    ++written;
    if (run.manifest) {
      const std::optional<batch::FileDigest> digest = batch::DigestOfFile(path);
      if (!digest) throw CliError("cannot read back " + path);
      batch::ManifestEntry entry = run.entry_for(row);
      entry.done = true;
      entry.frames = row_frames;
      entry.seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      entry.bytes = digest->bytes;
      entry.sha256 = digest->sha256;
      run.manifest->Append(entry);
    }
    progress.RowOver();
  }
  progress.Finish();
  if (stopped) {
    run.console.err << "quorvel-render: interrupted after " << Plural(written, "video", "videos")
                    << " of " << run.selection.rows.size() << "; no file is left half-written\n";
    return kExitInterrupted;
  }
  if (!failed.empty()) {
    if (invocation.keep_going) {
      std::string places;
      for (const size_t row : failed) {
        places += (places.empty() ? "" : ", ") + run.table.RowPlace(row);
      }
      run.console.err << "quorvel-render: " << failed.size() << " of "
                      << Plural(run.selection.rows.size(), "row", "rows") << run.shard_note
                      << " failed: " << places << "\n";
    }
    return kExitFailure;
  }
  run.console.out << "wrote " << Plural(written, "video", "videos") << " for "
                  << Plural(run.selection.rows.size(), "row", "rows") << run.shard_note << ": "
                  << OutputNameForRow(invocation.output, run.table, run.selection.rows.front())
                  << " to "
                  << OutputNameForRow(invocation.output, run.table, run.selection.rows.back());
  if (run.selection.done_before > 0) {
    run.console.out << " (" << Plural(run.selection.done_before, "row", "rows") << " done before)";
  }
  run.console.out << "\n";
  return kExitSuccess;
}

}  // namespace

int RunBatch(const Invocation& invocation, Console& console) {
  const std::optional<media::VideoFormat> video = OutputFormatOf(invocation.output);
  const std::string template_name = SceneName(invocation.scene);
  const Json document = ReadSceneDocument(invocation.scene, invocation.overrides);
  const DataTable table =
      ParseDataTable(ReadInputFile(invocation.data, "data file"), SceneName(invocation.data));
  CheckPlaceholders(document, table, template_name);
  if (invocation.max_memory) headless::SetMemoryBudget(*invocation.max_memory);

  // A video per row holds all its frames; its name is checked as one file's.
  const FrameRange range = video ? FrameRange{0, 0}
                                 : invocation.frames.value_or(FrameRange{
                                       invocation.frame.value_or(0), invocation.frame.value_or(0)});
  if (video && invocation.frame) {
    throw UsageError("--frame renders one image a row; a video a row takes --frames A-B or all");
  }
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

  // The footage under every row is read once; the note of a template laid out anew is told once.
  std::optional<compose::OverFootage> over;
  if (!invocation.over.empty()) over = compose::ReadOverFootage(invocation.over);
  const auto entry_for = [&](size_t row) {
    batch::ManifestEntry entry;
    entry.row = row + 1;
    entry.rows = table.rows.size();
    entry.values = batch::RowValues(table, row);
    entry.output = output_of(row);
    return entry;
  };
  if (video) {
    return RenderVideoRows({invocation, console, table, document, template_name, selection,
                            shard_note, manifest.get(), module, over, *video, entry_for});
  }

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
