// SPDX-License-Identifier: MIT
// Progress of a run of frames on the error stream: a bar redrawn in place on a terminal, a
// plain line per frame otherwise (logs, pipes, CI).
#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

#include "hostapi/host_api.h"

namespace quorvel::cli {

class Progress {
 public:
  Progress(std::ostream& stream, bool terminal, A_long total);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Called from any thread as each frame is done; `detail` says what became of it.
  void FrameDone(A_long frame, const std::string& detail);
  // Ends the bar's line; nothing when nothing was drawn.
  void Finish();

 private:
  void DrawBar(A_long frame);

  std::mutex mutex_;
  std::ostream& stream_;
  bool terminal_;
  A_long total_;
  A_long done_ = 0;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace quorvel::cli
