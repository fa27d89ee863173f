// SPDX-License-Identifier: MIT
// Shard manifests joined into one, with the rows no shard finished and those two shards both
// recorded.
#pragma once

#include <string>
#include <vector>

#include "batch/records/manifest.h"

namespace quorvel::batch {

struct NamedManifest {
  std::string file;
  std::vector<ManifestEntry> entries;
};

struct MergedManifest {
  std::vector<ManifestEntry> entries;   // one per row recorded, by row
  size_t rows = 0;                      // the data's rows, as the manifests record them
  std::vector<size_t> missing;          // rows without a line, from 1
  std::vector<size_t> failed;           // rows whose last line says failed
  std::vector<std::string> duplicated;  // "row 4: a.jsonl and b.jsonl", one a row
  bool Complete() const { return missing.empty() && failed.empty() && duplicated.empty(); }
};

// Within one manifest a row's last line holds (a resumed run records a row again); across
// manifests a row belongs to one. A SceneError when the manifests count different rows.
MergedManifest MergeManifests(const std::vector<NamedManifest>& manifests);

// "3, 5-7, 9": rows, from 1, in order.
std::string RowList(const std::vector<size_t>& rows);

}  // namespace quorvel::batch
