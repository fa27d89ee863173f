// SPDX-License-Identifier: MIT
// quorvel-render batch: a template scene rendered once for each row of a CSV file.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace quorvel::cli {

// Every row is read, checked and set up before any frame renders; then all rows' frames render
// on the jobs' threads under one progress bar. Returns the exit code; throws CliError,
// SceneError or ModuleError for what stops it before any frame is rendered.
int RunBatch(const Invocation& invocation, Console& console);

}  // namespace quorvel::cli
