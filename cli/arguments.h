// SPDX-License-Identifier: MIT
// The command line of quorvel-render.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/output_path.h"

namespace quorvel::cli {

enum class CommandName { kRender, kSheet, kDescribe, kHelp, kVersion };

struct Invocation {
  CommandName command = CommandName::kHelp;
  std::string scene;                   // render, sheet, describe (optional)
  std::string output;                  // render, sheet: -o
  std::optional<A_long> frame;         // render: --frame
  std::optional<FrameRange> frames;    // render, sheet: --frames
  std::optional<int> jobs;             // render, sheet: --jobs (default: hardware threads)
  std::optional<int> columns;          // sheet: --columns
  std::string module;                  // --module, or describe's argument; empty: the default
  bool strict = false;                 // --strict: a scene's warnings are errors
  std::optional<uint64_t> max_memory;  // render, sheet: --max-memory, bytes of worlds at once
};

// The arguments after the program's name. Throws UsageError.
Invocation ParseArguments(const std::vector<std::string>& arguments);

extern const char kUsage[];

}  // namespace quorvel::cli
