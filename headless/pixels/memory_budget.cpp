// SPDX-License-Identifier: MIT
#include "headless/pixels/memory_budget.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "headless/common/interruption.h"
#include "headless/pixels/kept_memory.h"

namespace quorvel::headless {
namespace {

// A wait gives up when nothing has come back for this long: memory held by work that is not
// rendering frames (a long-lived world) will not come back by waiting.
constexpr auto kLongestQuietWait = std::chrono::seconds(5);

std::atomic<uint64_t> budget{0};  // 0: the default
thread_local bool refused_while_crowded = false;

uint64_t PhysicalMemory() {
#if defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  return pages > 0 && page_size > 0
             ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size)
             : 0;
#endif
}

class Ledger {
 public:
  // Never destroyed: kept blocks give their memory back as the program ends.
  static Ledger& Instance() {
    static Ledger* const ledger = new Ledger;
    return *ledger;
  }

  uint64_t Taken() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return taken_;
  }

  bool TryTake(uint64_t bytes, MemoryHolder holder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return TakeLocked(bytes, holder);
  }

  bool Take(uint64_t bytes) {
    const MemoryHolder me = std::this_thread::get_id();
    const uint64_t limit = MemoryBudget();
    if (bytes > limit) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    auto quiet_since = std::chrono::steady_clock::now();
    while (!TakeLocked(bytes, me)) {
      const auto kept = held_.find(kKeptMemoryHolder);
      if (kept != held_.end()) {
        // Kept blocks are let go before anyone waits (their release counts back in here).
        const uint64_t kept_bytes = kept->second;
        lock.unlock();
        ReleaseKeptMemory();
        lock.lock();
        const auto still_kept = held_.find(kKeptMemoryHolder);
        if (still_kept == held_.end() || still_kept->second < kept_bytes) continue;
      }
      const bool others_hold = HoldersBesides(me) > 0;
      if (!others_hold || HoldersBesides(me) == WaitingHoldersBesides(me) ||
          InterruptionRequested() ||
          std::chrono::steady_clock::now() - quiet_since > kLongestQuietWait) {
        refused_while_crowded = others_hold;
        return false;
      }
      waiting_.insert(me);
      const uint64_t given_back = given_back_;
      changed_.wait_for(lock, std::chrono::milliseconds(50));
      waiting_.erase(me);
      if (given_back_ != given_back) quiet_since = std::chrono::steady_clock::now();
    }
    return true;
  }

  void GiveBack(uint64_t bytes, MemoryHolder holder) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      RemoveLocked(bytes, holder);
      taken_ -= std::min(taken_, bytes);
      ++given_back_;
    }
    changed_.notify_all();
  }

  void Move(uint64_t bytes, MemoryHolder from, MemoryHolder to) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      RemoveLocked(bytes, from);
      held_[to] += bytes;
    }
    changed_.notify_all();
  }

 private:
  bool TakeLocked(uint64_t bytes, MemoryHolder holder) {
    const uint64_t limit = MemoryBudget();
    if (bytes > limit || taken_ > limit - bytes) return false;
    taken_ += bytes;
    held_[holder] += bytes;
    return true;
  }

  void RemoveLocked(uint64_t bytes, MemoryHolder holder) {
    const auto found = held_.find(holder);
    if (found == held_.end()) return;
    found->second -= std::min(found->second, bytes);
    if (found->second == 0) held_.erase(found);
  }

  size_t HoldersBesides(MemoryHolder me) const {
    size_t count = 0;
    for (const auto& [holder, bytes] : held_) {
      if (holder != me && holder != kKeptMemoryHolder && bytes > 0) ++count;
    }
    return count;
  }

  size_t WaitingHoldersBesides(MemoryHolder me) const {
    size_t count = 0;
    for (const MemoryHolder& holder : waiting_) {
      if (holder != me && held_.count(holder) != 0) ++count;
    }
    return count;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t taken_ = 0;
  uint64_t given_back_ = 0;  // how many times memory came back, to tell a quiet wait
  std::map<MemoryHolder, uint64_t> held_;
  std::set<MemoryHolder> waiting_;
};

}  // namespace

uint64_t DefaultMemoryBudget() {
  static const uint64_t half = [] {
    const uint64_t physical = PhysicalMemory();
    return physical > 0 ? physical / 2 : uint64_t{4} << 30;
  }();
  return half;
}

void SetMemoryBudget(uint64_t bytes) {
  budget.store(bytes);
}

uint64_t MemoryBudget() {
  const uint64_t set = budget.load();
  return set != 0 ? set : DefaultMemoryBudget();
}

uint64_t MemoryBudgetTaken() {
  return Ledger::Instance().Taken();
}

bool TakeFromMemoryBudget(uint64_t bytes) {
  return Ledger::Instance().Take(bytes);
}

bool TryTakeFromMemoryBudget(uint64_t bytes, MemoryHolder holder) {
  return Ledger::Instance().TryTake(bytes, holder);
}

void GiveBackToMemoryBudget(uint64_t bytes, MemoryHolder holder) {
  Ledger::Instance().GiveBack(bytes, holder);
}

void MoveMemoryBudget(uint64_t bytes, MemoryHolder from, MemoryHolder to) {
  Ledger::Instance().Move(bytes, from, to);
}

bool RefusedWhileCrowded() {
  return refused_while_crowded;
}

void ClearCrowdedRefusal() {
  refused_while_crowded = false;
}

FrameMemoryGate& FrameMemoryGate::Instance() {
  static FrameMemoryGate gate;
  return gate;
}

FrameMemoryGate::Share::Share(FrameMemoryGate& gate) : gate_(gate) {
  std::unique_lock<std::mutex> lock(gate_.mutex_);
  // A frame waiting to render alone goes first: new frames would otherwise keep it waiting.
  gate_.changed_.wait(lock, [&] { return !gate_.alone_ && gate_.waiting_alone_ == 0; });
  ++gate_.sharing_;
}

FrameMemoryGate::Share::~Share() {
  {
    const std::lock_guard<std::mutex> lock(gate_.mutex_);
    --gate_.sharing_;
  }
  gate_.changed_.notify_all();
}

FrameMemoryGate::Alone::Alone(FrameMemoryGate& gate) : gate_(gate) {
  std::unique_lock<std::mutex> lock(gate_.mutex_);
  ++gate_.waiting_alone_;
  gate_.changed_.wait(lock, [&] { return !gate_.alone_ && gate_.sharing_ == 0; });
  --gate_.waiting_alone_;
  gate_.alone_ = true;
}

FrameMemoryGate::Alone::~Alone() {
  {
    const std::lock_guard<std::mutex> lock(gate_.mutex_);
    gate_.alone_ = false;
  }
  gate_.changed_.notify_all();
}

std::string ShownBytes(uint64_t bytes) {
  const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 4) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text,
                value == static_cast<double>(static_cast<uint64_t>(value)) ? "%.0f %s" : "%.1f %s",
                value, units[unit]);
  return text;
}

}  // namespace quorvel::headless
