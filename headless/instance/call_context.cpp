// SPDX-License-Identifier: MIT
#include "headless/instance/call_context.h"

#include <utility>

namespace quorvel::headless {
namespace {
thread_local CallContext* current_call = nullptr;
}  // namespace

const char* HeldKindName(HeldKind kind) {
  switch (kind) {
    case HeldKind::kSuite:
      return "suite";
    case HeldKind::kHandle:
      return "handle";
    case HeldKind::kWorld:
      return "world";
    case HeldKind::kOutlineList:
      return "outline list";
    case HeldKind::kCheckedOutParam:
      return "checked-out parameter";
    case HeldKind::kCount:
      break;
  }
  return "?";
}

Ledger::Ledger(const Ledger& other) {
  *this = other;
}

Ledger& Ledger::operator=(const Ledger& other) {
  for (size_t kind = 0; kind < counts_.size(); ++kind) {
    counts_[kind].store(other.counts_[kind].load(std::memory_order_relaxed),
                        std::memory_order_relaxed);
  }
  unbalanced_releases_.store(other.UnbalancedReleases(), std::memory_order_relaxed);
  return *this;
}

bool Ledger::Empty() const {
  for (const auto& count : counts_) {
    if (count.load(std::memory_order_relaxed) != 0) return false;
  }
  return UnbalancedReleases() == 0;
}

std::string Ledger::Describe() const {
  std::string text;
  for (size_t kind = 0; kind < counts_.size(); ++kind) {
    const int count = counts_[kind].load(std::memory_order_relaxed);
    if (count == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(count) + " " + HeldKindName(static_cast<HeldKind>(kind));
    if (count != 1 && count != -1) text += "s";
  }
  const int unbalanced = UnbalancedReleases();
  if (unbalanced != 0) {
    if (!text.empty()) text += ", ";
    text += std::to_string(unbalanced) + " release";
    if (unbalanced != 1) text += "s";
    text += " of something not held";
  }
  return text.empty() ? "nothing" : text;
}

void FaultPlan::RefuseSuite(std::string name, int32_t version, SuiteFaultMode mode) {
  refused_suites_.push_back({std::move(name), version, mode});
}

void FaultPlan::FailCall(FailingCall call, int nth, PF_Err code) {
  failed_calls_.push_back({call, nth, code});
}

void FaultPlan::Clear() {
  refused_suites_.clear();
  failed_calls_.clear();
  world_pixel_limit_ = 0;
}

std::optional<SuiteFaultMode> FaultPlan::SuiteFault(const char* name, int32_t version) const {
  for (const auto& refused : refused_suites_) {
    if (refused.version == version && refused.name == name) return refused.mode;
  }
  return std::nullopt;
}

PF_Err FaultPlan::CallFault(FailingCall call, int nth) const {
  for (const auto& failed : failed_calls_) {
    if (failed.call == call && failed.nth == nth) return failed.code;
  }
  return PF_Err_NONE;
}

void CallLog::Record(std::string entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(std::move(entry));
}

std::vector<std::string> CallLog::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

void CallLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

PF_Err CallContext::NextCall(FailingCall call) {
  const int nth = ++calls_made[static_cast<size_t>(call)];
  return faults != nullptr ? faults->CallFault(call, nth) : PF_Err_NONE;
}

int CallContext::CountSuite(const std::string& name, int32_t version, int delta) {
  std::lock_guard<std::mutex> lock(suite_counts_mutex_);
  for (auto& count : suite_counts_) {
    if (count.version == version && count.name == name) {
      const int before = count.held;
      count.held += delta;
      return before;
    }
  }
  suite_counts_.push_back({name, version, delta});
  return 0;
}

int CallContext::SuiteBalance(const std::string& name, int32_t version) const {
  std::lock_guard<std::mutex> lock(suite_counts_mutex_);
  for (const auto& count : suite_counts_) {
    if (count.version == version && count.name == name) return count.held;
  }
  return 0;
}

CallContext* CurrentCall() {
  return current_call;
}

ScopedCall::ScopedCall(CallContext& context) : previous_(current_call) {
  current_call = &context;
}

ScopedCall::~ScopedCall() {
  current_call = previous_;
}

}  // namespace quorvel::headless
