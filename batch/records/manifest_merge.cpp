// SPDX-License-Identifier: MIT
#include "batch/records/manifest_merge.h"

#include <map>

#include "compose/errors.h"

namespace quorvel::batch {

MergedManifest MergeManifests(const std::vector<NamedManifest>& manifests) {
  MergedManifest merged;
  std::string counted_by;  // the file that set the count of rows, for messages
  std::map<size_t, std::pair<ManifestEntry, std::string>> by_row;  // entry, its file
  for (const NamedManifest& manifest : manifests) {
    for (const auto& [row, entry] : LatestByRow(manifest.entries)) {
      if (counted_by.empty()) {
        merged.rows = entry.rows;
        counted_by = manifest.file;
      } else if (entry.rows != merged.rows) {
        throw compose::SceneError(manifest.file + ": row " + std::to_string(row) + " is one of " +
                                  std::to_string(entry.rows) + " rows, where " + counted_by +
                                  " counts " + std::to_string(merged.rows) +
                                  "; these manifests are of different data");
      }
      const auto [earlier, added] = by_row.emplace(row, std::make_pair(entry, manifest.file));
      if (!added) {
        merged.duplicated.push_back("row " + std::to_string(row) + ": " + earlier->second.second +
                                    " and " + manifest.file);
      }
    }
  }
  for (size_t row = 1; row <= merged.rows; ++row) {
    const auto found = by_row.find(row);
    if (found == by_row.end()) {
      merged.missing.push_back(row);
      continue;
    }
    if (!found->second.first.done) merged.failed.push_back(row);
    merged.entries.push_back(found->second.first);
  }
  return merged;
}

std::string RowList(const std::vector<size_t>& rows) {
  std::string list;
  for (size_t i = 0; i < rows.size();) {
    size_t last = i;
    while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) ++last;
    if (!list.empty()) list += ", ";
    list += std::to_string(rows[i]);
    if (last > i) list += "-" + std::to_string(rows[last]);
    i = last + 1;
  }
  return list;
}

}  // namespace quorvel::batch
