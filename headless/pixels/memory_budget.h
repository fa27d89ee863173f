// SPDX-License-Identifier: MIT
// The memory all of the host's worlds may take at once, shared by every job: past it a world
// waits for memory that other jobs give back, or is refused, as a host short of memory refuses
// one, instead of exhausting the machine. Memory is counted by who holds it: the thread that
// made a world, or the kept blocks (kept_memory.h), which are let go before anyone waits.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace quorvel::headless {

// Half of the machine's physical memory (4 GiB when it cannot be read).
uint64_t DefaultMemoryBudget();
// The budget from now on, in bytes; 0 puts back the default.
void SetMemoryBudget(uint64_t bytes);
uint64_t MemoryBudget();
// The bytes counted now, kept blocks included.
uint64_t MemoryBudgetTaken();

// Who holds counted memory: a thread, or kKeptMemoryHolder for the kept blocks.
using MemoryHolder = std::thread::id;
inline const MemoryHolder kKeptMemoryHolder{};

// Takes `bytes` for the calling thread. When they do not fit, kept blocks are let go first;
// then, while another thread holds memory and is not itself waiting, it waits for memory to come
// back (a stop ends the wait). False, taking nothing, when the bytes cannot fit: more than the
// budget, or more than is left while no other thread can give any back.
bool TakeFromMemoryBudget(uint64_t bytes);
// Takes `bytes` for `holder` only when they fit now.
bool TryTakeFromMemoryBudget(uint64_t bytes, MemoryHolder holder);
void GiveBackToMemoryBudget(uint64_t bytes, MemoryHolder holder);
// Counts bytes under another holder: a world's block kept, or a kept block made a world.
void MoveMemoryBudget(uint64_t bytes, MemoryHolder from, MemoryHolder to);

// Whether the calling thread's last refusal came while other threads held memory, which a
// frame rendered alone might have had; cleared by ClearCrowdedRefusal.
bool RefusedWhileCrowded();
void ClearCrowdedRefusal();

// Frames rendered side by side share the budget. Each renders under a share of the gate; a frame
// refused while crowded renders again under the gate alone, once the frames in flight are done,
// with new ones held back, so that a frame fails for memory only when it alone cannot fit.
class FrameMemoryGate {
 public:
  static FrameMemoryGate& Instance();

  class Share {
   public:
    explicit Share(FrameMemoryGate& gate);
    ~Share();
    Share(const Share&) = delete;
    Share& operator=(const Share&) = delete;

   private:
    FrameMemoryGate& gate_;
  };
  class Alone {
   public:
    explicit Alone(FrameMemoryGate& gate);
    ~Alone();
    Alone(const Alone&) = delete;
    Alone& operator=(const Alone&) = delete;

   private:
    FrameMemoryGate& gate_;
  };

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int sharing_ = 0;
  int waiting_alone_ = 0;
  bool alone_ = false;
};

// "12 GiB", "512 MiB", "640 KiB": sizes as messages show them.
std::string ShownBytes(uint64_t bytes);

// A world the host itself needed and could not have within the budget.
class MemoryBudgetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quorvel::headless
