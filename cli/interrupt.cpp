// SPDX-License-Identifier: MIT
#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace quorvel::cli {
namespace {

// Only a lock-free atomic may be touched from a signal handler.
std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

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

void RequestStop() {
  stop_requested.store(true);
}

bool StopRequested() {
  return stop_requested.load();
}

void ClearStopRequest() {
  stop_requested.store(false);
}

}  // namespace quorvel::cli
