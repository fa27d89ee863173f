// SPDX-License-Identifier: MIT
// A range of frames worked on by several threads, each frame its own job.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/output_path.h"

namespace quorvel::cli {

struct FrameFailure {
  A_long frame;
  std::string message;
};

struct FrameJobsOutcome {
  A_long done = 0;
  std::vector<FrameFailure> failures;  // by frame number
  bool interrupted = false;            // a stop was requested before every frame was done
};

// Does one frame; returns an empty string on success, else what went wrong. An exception
// escaping it counts as that frame's failure.
using FrameJob = std::function<std::string(A_long frame)>;

// Runs `job` for every frame of the range, in order of frame number, on `jobs` threads. No new
// frame is taken once one has failed or a stop is requested (see interrupt.h); frames already
// taken run to their end, which after a stop comes within a moment (the host gives up its
// work), and a frame that fails after a stop counts as interrupted.
FrameJobsOutcome RunFrameJobs(const FrameRange& range, int jobs, const FrameJob& job);

// Tells the failures, one line each, and an interruption; returns the exit code of the run.
int ReportFrameJobs(const FrameJobsOutcome& outcome, A_long total, Console& console);

// The default number of threads: the machine's hardware threads, at least 1.
int DefaultJobs();

}  // namespace quorvel::cli
