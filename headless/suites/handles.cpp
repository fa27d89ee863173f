// SPDX-License-Identifier: MIT
#include "headless/suites/handles.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include "headless/instance/call_accounting.h"

namespace quorvel::headless {
namespace {

struct HandleBlock {
  void* data = nullptr;  // first, so that the PF_Handle (the block's address) dereferences to it
  A_HandleSize size = 0;
  int lock_count = 0;
};

// Blocks this large come straight from the system's zero pages: memory that is never written
// (a size gate, say) then costs address space only, and none of it is cleared by hand.
constexpr A_HandleSize kMappedBlockSize = A_HandleSize{1} << 20;

// A zero-filled allocation; at least one byte, so that an empty handle still has an address.
void* AllocateBytes(A_HandleSize size) {
  if (size >= kMappedBlockSize) {
#if defined(_WIN32)
    return VirtualAlloc(nullptr, static_cast<SIZE_T>(size), MEM_COMMIT | MEM_RESERVE,
                        PAGE_READWRITE);
#else
    void* data = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return data == MAP_FAILED ? nullptr : data;
#endif
  }
  return std::calloc(static_cast<size_t>(size == 0 ? 1 : size), 1);
}

// Frees what AllocateBytes(size) gave.
void FreeBytes(void* data, A_HandleSize size) {
  if (size >= kMappedBlockSize) {
#if defined(_WIN32)
    VirtualFree(data, 0, MEM_RELEASE);
#else
    munmap(data, static_cast<size_t>(size));
#endif
    return;
  }
  std::free(data);
}

class HandleRegistry {
 public:
  static HandleRegistry& Instance() {
    static HandleRegistry registry;
    return registry;
  }

  PF_Handle Add(A_HandleSize size) {
    void* data = AllocateBytes(size);
    if (data == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      auto block = std::make_unique<HandleBlock>();
      block->data = data;
      block->size = size;
      const PF_Handle handle = &block->data;
      blocks_.emplace(handle, std::move(block));
      return handle;
    } catch (const std::bad_alloc&) {
      FreeBytes(data, size);
      return nullptr;
    }
  }

  void* Lock(PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    HandleBlock* block = Find(handle);
    if (block == nullptr) return nullptr;
    ++block->lock_count;
    return block->data;
  }

  void Unlock(PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    HandleBlock* block = Find(handle);
    if (block != nullptr && block->lock_count > 0) --block->lock_count;
  }

  bool Remove(PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = blocks_.find(handle);
    if (found == blocks_.end()) return false;
    FreeBytes(found->second->data, found->second->size);
    blocks_.erase(found);
    return true;
  }

  A_HandleSize Size(PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const HandleBlock* block = Find(handle);
    return block != nullptr ? block->size : 0;
  }

  PF_Err Resize(PF_Handle handle, A_HandleSize new_size) {
    std::lock_guard<std::mutex> lock(mutex_);
    HandleBlock* block = Find(handle);
    if (block == nullptr || block->lock_count > 0) return PF_Err_BAD_CALLBACK_PARAM;
    if (new_size > kMaxHandleSize) return PF_Err_OUT_OF_MEMORY;
    void* data = AllocateBytes(new_size);
    if (data == nullptr) return PF_Err_OUT_OF_MEMORY;
    std::memcpy(data, block->data,
                static_cast<size_t>(new_size < block->size ? new_size : block->size));
    FreeBytes(block->data, block->size);
    block->data = data;
    block->size = new_size;
    return PF_Err_NONE;
  }

 private:
  HandleBlock* Find(PF_Handle handle) {
    const auto found = blocks_.find(handle);
    return found != blocks_.end() ? found->second.get() : nullptr;
  }

  std::mutex mutex_;
  std::unordered_map<PF_Handle, std::unique_ptr<HandleBlock>> blocks_;
};

}  // namespace

PF_Handle NewHandle(A_HandleSize size) {
  RecordCall([&] { return "host_new_handle " + std::to_string(size); });
  if (InjectedFault(FailingCall::kNewHandle) != PF_Err_NONE || size > kMaxHandleSize) {
    return nullptr;
  }
  const PF_Handle handle = HandleRegistry::Instance().Add(size);
  if (handle != nullptr) CountHeld(HeldKind::kHandle, +1);
  return handle;
}

void* LockHandle(PF_Handle handle) {
  RecordCall([] { return std::string("host_lock_handle"); });
  return HandleRegistry::Instance().Lock(handle);
}

void UnlockHandle(PF_Handle handle) {
  RecordCall([] { return std::string("host_unlock_handle"); });
  HandleRegistry::Instance().Unlock(handle);
}

void DisposeHandle(PF_Handle handle) {
  RecordCall([] { return std::string("host_dispose_handle"); });
  if (HandleRegistry::Instance().Remove(handle)) {
    CountHeld(HeldKind::kHandle, -1);
  } else {
    NoteUnbalancedRelease();
  }
}

A_HandleSize GetHandleSize(PF_Handle handle) {
  return HandleRegistry::Instance().Size(handle);
}

PF_Err ResizeHandle(A_HandleSize new_size, PF_Handle* handle) {
  RecordCall([&] { return "host_resize_handle " + std::to_string(new_size); });
  if (handle == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  return HandleRegistry::Instance().Resize(*handle, new_size);
}

}  // namespace quorvel::headless
