// SPDX-License-Identifier: MIT
#include "headless/pixels/kept_memory.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "headless/common/sanitizers.h"
#ifdef QUORVEL_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#define QUORVEL_POISON(data, size) ASAN_POISON_MEMORY_REGION(data, size)
#define QUORVEL_UNPOISON(data, size) ASAN_UNPOISON_MEMORY_REGION(data, size)
#else
#define QUORVEL_POISON(data, size) ((void)(data), (void)(size))
#define QUORVEL_UNPOISON(data, size) ((void)(data), (void)(size))
#endif

namespace quorvel::headless {
namespace {

constexpr size_t kSmallestKept = size_t{64} << 10;
constexpr size_t kKeptBytes = size_t{256} << 20;
constexpr size_t kKeptBlocks = 16;

class KeptBlocks {
 public:
  static KeptBlocks& Instance() {
    static KeptBlocks blocks;
    return blocks;
  }
  ~KeptBlocks() { Clear(); }
  KeptBlocks() = default;
  KeptBlocks(const KeptBlocks&) = delete;
  KeptBlocks& operator=(const KeptBlocks&) = delete;

  void* Take(size_t bytes, size_t& capacity, KeptUse use) {
    if (bytes < kSmallestKept) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto best = blocks_.end();
    for (auto block = blocks_.begin(); block != blocks_.end(); ++block) {
      if (block->capacity >= bytes && block->capacity / 2 <= bytes &&
          (best == blocks_.end() || block->capacity < best->capacity)) {
        best = block;
      }
    }
    if (best == blocks_.end()) return nullptr;
    void* data = best->data;
    capacity = best->capacity;
    kept_bytes_ -= capacity;
    blocks_.erase(best);
    if (use == KeptUse::kWorld) {
      MoveMemoryBudget(capacity, kKeptMemoryHolder, std::this_thread::get_id());
    } else {
      GiveBackToMemoryBudget(capacity, kKeptMemoryHolder);
    }
    QUORVEL_UNPOISON(data, capacity);
    return data;
  }

  void Keep(void* data, size_t capacity, std::optional<MemoryHolder> holder) {
    if (capacity >= kSmallestKept && capacity <= kKeptBytes) {
      std::lock_guard<std::mutex> lock(mutex_);
      try {
        // The oldest blocks make room for the newest: the next frame is most like the last.
        while (!blocks_.empty() &&
               (blocks_.size() >= kKeptBlocks || kept_bytes_ + capacity > kKeptBytes)) {
          FreeOldest();
        }
        blocks_.reserve(blocks_.size() + 1);
        if (holder) {
          MoveMemoryBudget(capacity, *holder, kKeptMemoryHolder);
        } else if (!TryTakeFromMemoryBudget(capacity, kKeptMemoryHolder)) {
          std::free(data);
          return;
        }
        blocks_.push_back({data, capacity});
        kept_bytes_ += capacity;
        QUORVEL_POISON(data, capacity);
        return;
      } catch (const std::bad_alloc&) {
        // Not kept, then.
      }
    }
    if (holder) GiveBackToMemoryBudget(capacity, *holder);
    std::free(data);
  }

  size_t Bytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return kept_bytes_;
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    while (!blocks_.empty()) FreeOldest();
  }

 private:
  struct Block {
    void* data;
    size_t capacity;
  };
  // Under the lock.
  void FreeOldest() {
    const Block block = blocks_.front();
    blocks_.erase(blocks_.begin());
    kept_bytes_ -= block.capacity;
    GiveBackToMemoryBudget(block.capacity, kKeptMemoryHolder);
    QUORVEL_UNPOISON(block.data, block.capacity);
    std::free(block.data);
  }

  std::mutex mutex_;
  std::vector<Block> blocks_;  // oldest first
  size_t kept_bytes_ = 0;
};

}  // namespace

void* TakeKeptMemory(size_t bytes, size_t& capacity, KeptUse use) {
  return KeptBlocks::Instance().Take(bytes, capacity, use);
}

void KeepMemory(void* data, size_t capacity, std::optional<MemoryHolder> holder) {
  if (data != nullptr) KeptBlocks::Instance().Keep(data, capacity, holder);
}

void ReleaseKeptMemory() {
  KeptBlocks::Instance().Clear();
}

size_t KeptMemoryBytes() {
  return KeptBlocks::Instance().Bytes();
}

ScratchBlock::ScratchBlock(size_t bytes) {
  if (bytes == 0) return;
  data_ = TakeKeptMemory(bytes, capacity_, KeptUse::kScratch);
  if (data_ == nullptr) {
    data_ = std::malloc(bytes);
    capacity_ = data_ != nullptr ? bytes : 0;
  }
}

ScratchBlock::~ScratchBlock() {
  KeepMemory(data_, capacity_, std::nullopt);
}

ScratchBlock::ScratchBlock(ScratchBlock&& other) noexcept
    : data_(other.data_), capacity_(other.capacity_) {
  other.data_ = nullptr;
  other.capacity_ = 0;
}

ScratchBlock& ScratchBlock::operator=(ScratchBlock&& other) noexcept {
  if (this != &other) {
    KeepMemory(data_, capacity_, std::nullopt);
    data_ = other.data_;
    capacity_ = other.capacity_;
    other.data_ = nullptr;
    other.capacity_ = 0;
  }
  return *this;
}

}  // namespace quorvel::headless
