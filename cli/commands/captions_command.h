// SPDX-License-Identifier: MIT
// quorvel-render captions: a subtitle file's cues rendered in a style scene's text and box.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace quorvel::cli {

// Renders every frame of the track (or --frames) to a video or numbered PNG files. Returns the
// exit code; throws CliError, SceneError or ModuleError for what stops it before any frame.
int RunCaptions(const Invocation& invocation, Console& console);

}  // namespace quorvel::cli
