// SPDX-License-Identifier: MIT
#include "cli/frame_report.h"

namespace quorvel::cli {

int ReportFrameJobs(const compose::FrameJobsOutcome& outcome, A_long total, Console& console,
                    const std::function<std::string(A_long)>& name) {
  for (const compose::FrameFailure& failure : outcome.failures) {
    console.err << "quorvel-render: "
                << (name ? name(failure.frame) : "frame " + std::to_string(failure.frame)) << ": "
                << failure.message << "\n";
  }
  if (outcome.interrupted) {
    console.err << "quorvel-render: interrupted after " << outcome.done << " of " << total
                << " frames; no file is left half-written\n";
    return kExitInterrupted;
  }
  return outcome.failures.empty() ? kExitSuccess : kExitFailure;
}

}  // namespace quorvel::cli
