// SPDX-License-Identifier: MIT
// Ctrl-C (and termination) during a run: no new frame is started, the frames in flight give up
// within a moment and are not written, and the command ends with status 130.
#pragma once

namespace quorvel::cli {

// Routes SIGINT and SIGTERM to RequestStop.
void InstallInterruptHandlers();

// Safe to call from a signal handler.
void RequestStop();
bool StopRequested();
void ClearStopRequest();

}  // namespace quorvel::cli
