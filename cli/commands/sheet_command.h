// SPDX-License-Identifier: MIT
// quorvel-render sheet: a range of frames side by side in one image, each with its number.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace quorvel::cli {

// Cells are the frames scaled down to at most this width (never up).
inline constexpr int kSheetCellWidth = 320;

// Returns the exit code; throws CliError, SceneError or ModuleError for what stops it before
// any frame is rendered.
int RunSheet(const Invocation& invocation, Console& console);

}  // namespace quorvel::cli
