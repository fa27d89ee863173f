// SPDX-License-Identifier: MIT
// Where a command writes: results on one stream, progress and errors on the other.
#pragma once

#include <ostream>

namespace quorvel::cli {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal = false;  // progress is drawn as a bar only on a terminal
};

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;  // as a shell reports a run ended by SIGINT

}  // namespace quorvel::cli
