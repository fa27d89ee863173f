// SPDX-License-Identifier: MIT
// Large blocks of the host's image memory, kept after use for the next request of about their
// size, as a host keeps its image memory: fresh memory from the system costs a page fault per
// page on first touch, several times the cost of clearing memory that is already there, and the
// faults of frames rendered side by side contend in the kernel.
#pragma once

#include <cstddef>
#include <optional>

#include "headless/pixels/memory_budget.h"

namespace quorvel::headless {

// What a block taken from the kept ones is for: a world's block stays counted in the memory
// budget, now under the calling thread; scratch memory is not counted.
enum class KeptUse { kWorld, kScratch };

// A kept block of at least `bytes` and at most twice that (the smallest such), with its
// capacity; null when there is none or the request is too small to be worth keeping. Its
// contents are whatever was last written.
void* TakeKeptMemory(size_t bytes, size_t& capacity, KeptUse use);

// Hands back a block that came from malloc (or TakeKeptMemory) with that capacity: kept when
// large enough and there is room (at most 256 MiB and 16 blocks, the oldest going first),
// otherwise freed. A world's block comes counted in the memory budget under `holder`; kept, it
// stays counted, freed, it is given back. An uncounted block is kept only when the budget has
// room for it. Under AddressSanitizer a kept block is poisoned, so that a use after it was
// handed back is still caught.
void KeepMemory(void* data, size_t capacity, std::optional<MemoryHolder> holder);

// Frees every kept block, giving its memory back to the budget.
void ReleaseKeptMemory();

// The bytes of the blocks kept now.
size_t KeptMemoryBytes();

// A block of scratch memory for the length of one call, from the kept blocks when one fits,
// and handed back to them at the end.
class ScratchBlock {
 public:
  // No block when bytes is 0 or the memory cannot be had; contents undefined.
  explicit ScratchBlock(size_t bytes = 0);
  ~ScratchBlock();
  ScratchBlock(ScratchBlock&& other) noexcept;
  ScratchBlock& operator=(ScratchBlock&& other) noexcept;
  ScratchBlock(const ScratchBlock&) = delete;
  ScratchBlock& operator=(const ScratchBlock&) = delete;

  void* data() const { return data_; }

 private:
  void* data_ = nullptr;
  size_t capacity_ = 0;
};

}  // namespace quorvel::headless
