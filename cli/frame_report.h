// SPDX-License-Identifier: MIT
// How a run of frames ended, told on the console.
#pragma once

#include <functional>
#include <string>

#include "cli/console.h"
#include "compose/render/frame_jobs.h"

namespace quorvel::cli {

// Tells the failures, one line each, and an interruption; returns the exit code of the run.
// `name` says what a job number stands for ("frame 7" when not given).
int ReportFrameJobs(const compose::FrameJobsOutcome& outcome, A_long total, Console& console,
                    const std::function<std::string(A_long)>& name = nullptr);

}  // namespace quorvel::cli
