// SPDX-License-Identifier: MIT
// What the headless host knows about the command in progress on this thread: what the
// plug-in holds, which faults to inject, and the optional log of host calls.
//
// The host's C callbacks carry no context of their own (AcquireSuite, host_new_handle, ...),
// so each command runs inside a ScopedCall that makes its CallContext current on the calling
// thread. Calls on other threads (several frames at once) have contexts of their own.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/host_api.h"

namespace quorvel::headless {

class EffectInstance;

// Resources the plug-in borrows from the host; every count must be back at zero when a
// command returns.
enum class HeldKind { kSuite, kHandle, kWorld, kOutlineList, kCheckedOutParam, kCount };
const char* HeldKindName(HeldKind kind);

class Ledger {
 public:
  Ledger() = default;
  // A copy is a snapshot of the counts (kept per command by the effect instance).
  Ledger(const Ledger& other);
  Ledger& operator=(const Ledger& other);

  void Add(HeldKind kind, int delta = 1) {
    counts_[static_cast<size_t>(kind)].fetch_add(delta, std::memory_order_relaxed);
  }
  int Held(HeldKind kind) const {
    return counts_[static_cast<size_t>(kind)].load(std::memory_order_relaxed);
  }
  // A release of something the plug-in never acquired (or released twice); it would leave
  // the counts balanced if another resource of the same kind were leaked, so it is kept apart.
  void NoteUnbalancedRelease() { unbalanced_releases_.fetch_add(1, std::memory_order_relaxed); }
  int UnbalancedReleases() const { return unbalanced_releases_.load(std::memory_order_relaxed); }
  // True when nothing is held and nothing was released without being acquired.
  bool Empty() const;
  // "2 suites, 1 world" or "nothing".
  std::string Describe() const;

 private:
  std::array<std::atomic<int>, static_cast<size_t>(HeldKind::kCount)> counts_{};
  std::atomic<int> unbalanced_releases_{0};
};

enum class SuiteFaultMode { kError, kNullPointer };

// Host services that can be told to fail on their Nth call within one command.
enum class FailingCall { kNewHandle, kNewWorld, kAddParam, kCheckoutParam, kCount };

// Faults to inject; set up before a command, only read during it.
class FaultPlan {
 public:
  void RefuseSuite(std::string name, int32_t version, SuiteFaultMode mode = SuiteFaultMode::kError);
  // Fails the nth (1-based) call of that kind in each command with the given code
  // (for host_new_handle, which has no error code, the code only marks the failure).
  void FailCall(FailingCall call, int nth, PF_Err code = PF_Err_OUT_OF_MEMORY);
  // Refuses the plug-in's worlds of more than that many pixels with PF_Err_OUT_OF_MEMORY, as a
  // host short of memory does.
  void LimitWorldPixels(int64_t pixels) { world_pixel_limit_ = pixels; }
  void Clear();

  std::optional<SuiteFaultMode> SuiteFault(const char* name, int32_t version) const;
  // 0 when the nth call of that kind succeeds.
  PF_Err CallFault(FailingCall call, int nth) const;
  bool RefusesWorld(A_long width, A_long height) const {
    return world_pixel_limit_ > 0 && static_cast<int64_t>(width) * height > world_pixel_limit_;
  }

 private:
  struct RefusedSuite {
    std::string name;
    int32_t version;
    SuiteFaultMode mode;
  };
  struct FailedCall {
    FailingCall call;
    int nth;
    PF_Err code;
  };
  std::vector<RefusedSuite> refused_suites_;
  std::vector<FailedCall> failed_calls_;
  int64_t world_pixel_limit_ = 0;  // 0: none
};

// Ordered record of host calls, for tests that check sequences ("AcquireSuite PF ANSI Suite 1").
class CallLog {
 public:
  void Record(std::string entry);
  std::vector<std::string> Entries() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

// Why the host refused a world the plug-in asked for: larger than its largest world, or more
// than what is left of the memory budget.
struct WorldRefusal {
  enum class Reason { kTooLarge, kOverBudget };
  Reason reason = Reason::kTooLarge;
  A_long width = 0;
  A_long height = 0;
  uint64_t bytes = 0;
};

struct CallContext {
  EffectInstance* instance = nullptr;
  PF_Cmd command = -1;  // the command in progress; -1 outside any (plain host calls in tests)
  const FaultPlan* faults = nullptr;  // null: no faults
  CallLog* log = nullptr;             // null: not recording
  Ledger ledger;
  std::array<int, static_cast<size_t>(FailingCall::kCount)> calls_made{};
  // Nanoseconds spent inside the host's pixel services during the command (on its thread), so
  // that a benchmark can tell the plug-in's own work from the host's.
  int64_t transform_world_ns = 0;
  int64_t transfer_rect_ns = 0;
  int64_t world_ns = 0;  // making, clearing and disposing of worlds
  int64_t iterate_ns = 0;
  // The first world refused in the command (worlds are asked for on the command's thread).
  std::optional<WorldRefusal> world_refusal;

  // Counts one call of that kind and returns the error it must fail with, or 0.
  PF_Err NextCall(FailingCall call);
  void Record(const std::string& entry) {
    if (log != nullptr) log->Record(entry);
  }

  // Acquisitions minus releases of one suite ("PF ANSI Suite" 1). Returns the balance
  // before the change, so a release can tell that the suite was not held.
  int CountSuite(const std::string& name, int32_t version, int delta);
  int SuiteBalance(const std::string& name, int32_t version) const;

 private:
  struct SuiteCount {
    std::string name;
    int32_t version;
    int held;
  };
  mutable std::mutex suite_counts_mutex_;
  std::vector<SuiteCount> suite_counts_;
};

// The context of the command running on this thread, or null outside any command.
CallContext* CurrentCall();

class ScopedCall {
 public:
  explicit ScopedCall(CallContext& context);
  ~ScopedCall();
  ScopedCall(const ScopedCall&) = delete;
  ScopedCall& operator=(const ScopedCall&) = delete;

 private:
  CallContext* previous_;
};

}  // namespace quorvel::headless
