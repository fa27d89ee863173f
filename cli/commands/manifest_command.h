// SPDX-License-Identifier: MIT
// quorvel-render manifest merge: the manifests of a batch's shards joined into one.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace quorvel::cli {

// Writes the merged manifest (to -o, else standard output) and tells the rows missing, failed
// or recorded by two shards; exit status 1 when there are any. Throws SceneError for a file
// that is not a manifest, or manifests of different data.
int RunManifestMerge(const Invocation& invocation, Console& console);

}  // namespace quorvel::cli
