// SPDX-License-Identifier: MIT
#include "cli/interrupt.h"

#include <csignal>

#include "headless/common/interruption.h"

namespace quorvel::cli {
namespace {

void OnStopSignal(int /*signal*/) {
  RequestStop();
}

}  // namespace

void InstallInterruptHandlers() {
#if defined(_WIN32)
  // Windows has no sigaction; its C library delivers Ctrl+C as SIGINT to signal()'s handler.
  signal(SIGINT, OnStopSignal);
  signal(SIGTERM, OnStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
}

// The host's own flag: its long work gives up when it is set.
void RequestStop() {
  headless::RequestInterruption();
}

bool StopRequested() {
  return headless::InterruptionRequested();
}

void ClearStopRequest() {
  headless::ClearInterruption();
}

}  // namespace quorvel::cli
