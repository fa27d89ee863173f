// SPDX-License-Identifier: MIT
// Ctrl-C (and termination) during a run: no new frame is started, frames in flight finish and
// are written whole, and the command ends with a failure.
#pragma once

namespace quorvel::cli {

// Routes SIGINT and SIGTERM to RequestStop.
void InstallInterruptHandlers();

// Safe to call from a signal handler.
void RequestStop();
bool StopRequested();
void ClearStopRequest();

}  // namespace quorvel::cli
