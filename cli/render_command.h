// SPDX-License-Identifier: MIT
// quorvel-render render: one frame, or a range of frames to numbered files on several threads.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace quorvel::cli {

// Returns the exit code; throws CliError, SceneError or ModuleError for what stops it before
// any frame is rendered.
int RunRender(const Invocation& invocation, Console& console);

}  // namespace quorvel::cli
