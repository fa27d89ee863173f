// SPDX-License-Identifier: MIT
#include "headless/common/interruption.h"

#include <atomic>

namespace quorvel::headless {
namespace {

// Only a lock-free atomic may be touched from a signal handler.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void RequestInterruption() {
  requested.store(true, std::memory_order_relaxed);
}

bool InterruptionRequested() {
  return requested.load(std::memory_order_relaxed);
}

void ClearInterruption() {
  requested.store(false, std::memory_order_relaxed);
}

}  // namespace quorvel::headless
