// SPDX-License-Identifier: MIT
#include "cli/commands/manifest_command.h"

#include <string>
#include <vector>

#include "batch/records/manifest.h"
#include "batch/records/manifest_merge.h"
#include "cli/cli_error.h"
#include "compose/document/input_file.h"
#include "media/image/file_output.h"

namespace quorvel::cli {

int RunManifestMerge(const Invocation& invocation, Console& console) {
  std::optional<media::OutputTarget> target;
  if (!invocation.output.empty()) {
    target.emplace();
    for (const media::FileStatus& status :
         {media::ResolveOutput(invocation.output, *target), media::CheckWritable(*target)}) {
      if (!status) throw CliError(status.message);
    }
  }
  std::vector<batch::NamedManifest> manifests;
  for (const std::string& file : invocation.manifests) {
    const std::string name = compose::SceneName(file);
    manifests.push_back(
        {name, batch::ParseManifest(compose::ReadInputFile(file, "manifest"), name)});
  }
  const batch::MergedManifest merged = batch::MergeManifests(manifests);
  if (merged.rows == 0) throw CliError("the manifests record no row: no shard has finished one");

  std::string text;
  for (const batch::ManifestEntry& entry : merged.entries) text += batch::ManifestLine(entry);
  if (target) {
    if (const media::FileStatus written = media::WriteOutput(*target, text); !written) {
      throw CliError(written.message);
    }
  } else {
    console.out << text;
  }

  if (!merged.missing.empty()) {
    console.err << "quorvel-render: " << merged.missing.size() << " of " << merged.rows
                << " rows missing: " << batch::RowList(merged.missing) << "\n";
  }
  for (const batch::ManifestEntry& entry : merged.entries) {
    if (!entry.done) {
      console.err << "quorvel-render: row " << entry.row << " failed: " << entry.message << "\n";
    }
  }
  for (const std::string& duplicate : merged.duplicated) {
    console.err << "quorvel-render: " << duplicate << " both record it\n";
  }
  if (target) {
    console.out << "merged " << manifests.size()
                << (manifests.size() == 1 ? " manifest" : " manifests") << " into "
                << invocation.output << ": " << merged.entries.size() - merged.failed.size()
                << " of " << merged.rows << " rows done\n";
  }
  return merged.Complete() ? kExitSuccess : kExitFailure;
}

}  // namespace quorvel::cli
