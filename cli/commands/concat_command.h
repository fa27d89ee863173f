// SPDX-License-Identifier: MIT
// quorvel-render concat: videos rendered with --segment joined into one, packets copied.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace quorvel::cli {

// Joins the segments, in order, into -o. Returns the exit code; throws UsageError for an output
// of another container than the segments', CliError for segments that cannot be joined.
int RunConcat(const Invocation& invocation, Console& console);

}  // namespace quorvel::cli
