// SPDX-License-Identifier: MIT
// quorvel-render as a function: the arguments in, the exit code out, every message on the
// console given.
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"

namespace quorvel::cli {

// `arguments` are those after the program's name.
int RunCli(const std::vector<std::string>& arguments, Console& console);

}  // namespace quorvel::cli
