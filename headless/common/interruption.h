// SPDX-License-Identifier: MIT
// A request to stop, as Ctrl-C makes one: the host's long work (drawing text, motion-blur and
// transfer passes, iterating, encoding) looks at it often and gives up, so that a frame in
// flight ends within a moment instead of running to its end.
#pragma once

namespace quorvel::headless {

// Safe to call from a signal handler.
void RequestInterruption();
bool InterruptionRequested();
void ClearInterruption();

}  // namespace quorvel::headless
