// SPDX-License-Identifier: MIT
// The manifest of a batch: one JSON line per row finished, appended once its file is complete
// and in place, flushed and synced, so that a run stopped in any way (a crash, SIGKILL, Ctrl-C)
// has a line for every file it finished and for none it did not.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "batch/rows/data_table.h"
#include "compose/document/json_place.h"

namespace quorvel::batch {

struct ManifestEntry {
  size_t row = 0;   // from 1, as messages count rows
  size_t rows = 0;  // the data's rows, all shards together: what a merge counts as complete
  compose::Json values = compose::Json::object();  // the row's values by column
  std::string output;                              // the file, as -o named it for the row
  bool done = false;                               // "done", else "failed"
  std::string message;                             // why it failed
  int64_t frames = 0;
  double seconds = 0;  // the row's render, start to file in place
  uint64_t bytes = 0;
  std::string sha256;
};

// The row's values as the manifest keeps them, by column in the table's order.
compose::Json RowValues(const DataTable& table, size_t row);

// One line of JSON, with its line break.
std::string ManifestLine(const ManifestEntry& entry);

// The entries of a manifest's text, in order; `file` names it in messages. A last line without
// its line break is a write that never finished and is passed over. A SceneError naming the file
// and line for a line that is not an entry.
std::vector<ManifestEntry> ParseManifest(const std::string& text, const std::string& file);

// The last entry of each row: a later line (a row rendered again on resuming) supersedes an
// earlier one.
std::map<size_t, ManifestEntry> LatestByRow(const std::vector<ManifestEntry>& entries);

// Whether a recorded row need not render again: its line says done, for the same values and
// output, and the file is still there with the size and SHA-256 recorded.
bool StillDone(const ManifestEntry& entry, const compose::Json& values, const std::string& output);

// Appends entries to a manifest, from any thread. Opening drops the unfinished line a crash may
// have left at the end, so that the next line starts on a line of its own.
class ManifestWriter {
 public:
  // A RenderError naming the file when it cannot be opened for appending.
  explicit ManifestWriter(const std::filesystem::path& path);
  ~ManifestWriter();
  ManifestWriter(const ManifestWriter&) = delete;
  ManifestWriter& operator=(const ManifestWriter&) = delete;

  // Written with one call and synced to the disk before it returns; a RenderError when not.
  void Append(const ManifestEntry& entry);

 private:
  std::mutex mutex_;
  std::filesystem::path path_;
  int descriptor_ = -1;
};

}  // namespace quorvel::batch
