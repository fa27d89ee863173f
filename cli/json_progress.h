// SPDX-License-Identifier: MIT
// Progress as a program reads it (--progress json): one JSON object a line on the error stream.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "hostapi/host_api.h"

namespace quorvel::cli {

struct ProgressReport {
  A_long done = 0;  // frames (or a batch's files) done so far, this one included
  A_long total = 0;
  double seconds = 0;         // since the run started
  std::string item;           // what was done ("frame 7", "names.csv:3 (row 2)")
  std::string detail;         // what became of it (the file written, "encoded")
  std::optional<size_t> row;  // a batch's row, from 0
  std::optional<std::pair<size_t, size_t>> rows;  // a batch's rows over and all of them
};

// {"done":3,"total":10,"fps":12.5,"seconds_left":0.56,"item":"frame 2","detail":"out/f_2.png"},
// with "row" (from 1), "rows_done" and "rows_total" for a batch; "seconds_left" is null until a
// rate is known.
std::string ProgressJsonLine(const ProgressReport& report);

// {"message":"..."}: a warning between the progress lines.
std::string MessageJsonLine(const std::string& message);

}  // namespace quorvel::cli
