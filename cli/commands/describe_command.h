// SPDX-License-Identifier: MIT
// quorvel-render describe: what a module tells a host about itself: its PiPL, its about text,
// and the effect controls it registers.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace quorvel::cli {

// Returns the exit code; throws ModuleError or CliError.
int RunDescribe(const Invocation& invocation, Console& console);

}  // namespace quorvel::cli
