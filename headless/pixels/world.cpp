// SPDX-License-Identifier: MIT
#include "headless/pixels/world.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>

#include "headless/instance/call_accounting.h"
#include "headless/pixels/kept_memory.h"
#include "headless/pixels/memory_budget.h"

namespace quorvel::headless {
namespace {

// What uncleared pixels hold: visible, and a valid premultiplied colour.
constexpr unsigned char kUnclearedByte = 0xA5;

struct LiveWorld {
  WorldOwner owner;
  A_long width;
  A_long height;
  A_long rowbytes;
  size_t capacity;      // bytes of the block behind the pixels, at least rowbytes × height
  MemoryHolder holder;  // who the block is counted under in the memory budget
};

// Every world this host made and has not freed, by its pixel address.
class WorldRegistry {
 public:
  static WorldRegistry& Instance() {
    static WorldRegistry registry;
    return registry;
  }
  // False when the entry cannot be stored.
  bool Add(void* data, const LiveWorld& world) {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      worlds_.emplace(data, world);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  bool Contains(const PF_EffectWorld& world, WorldOwner owner) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = worlds_.find(world.data);
    return found != worlds_.end() && Matches(found->second, world, owner);
  }
  // Takes out the entry that matches the record and owner exactly; false when there is none.
  bool Remove(const PF_EffectWorld& world, WorldOwner owner, LiveWorld& removed) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = worlds_.find(world.data);
    if (found == worlds_.end()) return false;
    if (!Matches(found->second, world, owner)) return false;
    removed = found->second;
    worlds_.erase(found);
    return true;
  }

 private:
  static bool Matches(const LiveWorld& live, const PF_EffectWorld& world, WorldOwner owner) {
    return live.owner == owner && live.width == world.width && live.height == world.height &&
           live.rowbytes == world.rowbytes;
  }

  std::mutex mutex_;
  std::unordered_map<void*, LiveWorld> worlds_;
};

bool SizeInRange(A_long width, A_long height) {
  return width >= 1 && width <= PF_MAX_WORLD_WIDTH && height >= 1 && height <= PF_MAX_WORLD_HEIGHT;
}

std::string SizeText(A_long width, A_long height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

A_long WorldRowBytes(A_long width) {
  const A_long pixel_bytes = width * static_cast<A_long>(sizeof(PF_Pixel));
  const A_long rounded = (pixel_bytes + 15) / 16 * 16;
  return rounded == pixel_bytes ? rounded + 16 : rounded;
}

bool IsUsableWorld(const PF_EffectWorld* world) {
  return world != nullptr && world->data != nullptr && SizeInRange(world->width, world->height) &&
         static_cast<int64_t>(world->rowbytes) >=
             static_cast<int64_t>(world->width) * static_cast<int64_t>(sizeof(PF_Pixel));
}

PF_Err AllocateWorld(A_long width, A_long height, bool clear, WorldOwner owner,
                     PF_EffectWorld& world) {
  world = PF_EffectWorld{};
  if (!SizeInRange(width, height)) {
    if (owner == WorldOwner::kPlugin &&
        (width > PF_MAX_WORLD_WIDTH || height > PF_MAX_WORLD_HEIGHT)) {
      NoteWorldRefusal({WorldRefusal::Reason::kTooLarge, width, height, 0});
    }
    return PF_Err_BAD_CALLBACK_PARAM;
  }

  const A_long rowbytes = WorldRowBytes(width);
  const size_t bytes = static_cast<size_t>(rowbytes) * static_cast<size_t>(height);
  const MemoryHolder holder = std::this_thread::get_id();
  // Memory a disposed world left behind is cheaper than fresh memory (see kept_memory.h); it is
  // counted in the budget already, at its whole size.
  size_t capacity = bytes;
  void* data = TakeKeptMemory(bytes, capacity, KeptUse::kWorld);
  if (data == nullptr && !TakeFromMemoryBudget(bytes)) {
    if (owner == WorldOwner::kPlugin) {
      NoteWorldRefusal({WorldRefusal::Reason::kOverBudget, width, height, bytes});
    }
    return PF_Err_OUT_OF_MEMORY;
  }
  // Whatever fails from here gives the block's count back.
  struct BudgetGuard {
    size_t capacity;
    MemoryHolder holder;
    bool kept = false;
    ~BudgetGuard() {
      if (!kept) GiveBackToMemoryBudget(capacity, holder);
    }
  } guard{capacity, holder};
  if (data != nullptr) {
    std::memset(data, clear ? 0 : kUnclearedByte, bytes);
  } else {
    // calloc leaves large cleared worlds to the system's zero pages.
    data = clear ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (data == nullptr) return PF_Err_OUT_OF_MEMORY;
    if (!clear) std::memset(data, kUnclearedByte, bytes);
  }
  if (!WorldRegistry::Instance().Add(data, {owner, width, height, rowbytes, capacity, holder})) {
    guard.kept = true;  // KeepMemory takes the count along
    KeepMemory(data, capacity, holder);
    return PF_Err_OUT_OF_MEMORY;
  }

  guard.kept = true;
  world.world_flags = PF_WorldFlag_WRITEABLE;
  world.data = static_cast<PF_PixelPtr>(data);
  world.rowbytes = rowbytes;
  world.width = width;
  world.height = height;
  world.extent_hint = {0, 0, width, height};
  world.pix_aspect_ratio = {1, 1};
  return PF_Err_NONE;
}

PF_Err FreeWorld(WorldOwner owner, PF_EffectWorld& world) {
  LiveWorld removed{};
  if (world.data == nullptr || !WorldRegistry::Instance().Remove(world, owner, removed)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  KeepMemory(world.data, removed.capacity, removed.holder);
  world = PF_EffectWorld{};
  return PF_Err_NONE;
}

bool IsPluginWorld(const PF_EffectWorld& world) {
  return world.data != nullptr && WorldRegistry::Instance().Contains(world, WorldOwner::kPlugin);
}

OwnedWorld::OwnedWorld(A_long width, A_long height) {
  const PF_Err err = AllocateWorld(width, height, true, WorldOwner::kHost, world_);
  if (err == PF_Err_BAD_CALLBACK_PARAM) {
    throw std::invalid_argument("world size " + SizeText(width, height) + " is out of range");
  }
  if (err == PF_Err_NONE) return;
  // Out of memory: the budget's doing when the world would not fit in it even now.
  const uint64_t bytes =
      static_cast<uint64_t>(WorldRowBytes(width)) * static_cast<uint64_t>(height);
  const MemoryHolder holder = std::this_thread::get_id();
  if (!TryTakeFromMemoryBudget(bytes, holder)) {
    throw MemoryBudgetError("a " + SizeText(width, height) + " world (" + ShownBytes(bytes) +
                            ") is more than what is left of the memory budget of " +
                            ShownBytes(MemoryBudget()));
  }
  GiveBackToMemoryBudget(bytes, holder);
  throw std::bad_alloc();
}

OwnedWorld::~OwnedWorld() {
  if (world_.data != nullptr) FreeWorld(WorldOwner::kHost, world_);
}

OwnedWorld::OwnedWorld(OwnedWorld&& other) noexcept : world_(other.world_) {
  other.world_ = PF_EffectWorld{};
}

OwnedWorld& OwnedWorld::operator=(OwnedWorld&& other) noexcept {
  if (this != &other) {
    if (world_.data != nullptr) FreeWorld(WorldOwner::kHost, world_);
    world_ = other.world_;
    other.world_ = PF_EffectWorld{};
  }
  return *this;
}

PF_Err NewWorld(PF_ProgPtr, A_long width, A_long height, PF_Boolean clear_pix,
                PF_PixelFormat pixel_format, PF_EffectWorld* world) {
  RecordCall([&] { return "PF_NewWorld " + SizeText(width, height); });
  const PF_Err fault = InjectedFault(FailingCall::kNewWorld);
  if (world == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  *world = PF_EffectWorld{};
  if (fault != PF_Err_NONE) return fault;
  if (pixel_format != PF_PixelFormat_ARGB32) return PF_Err_BAD_CALLBACK_PARAM;
  const CallContext* call = CurrentCall();
  if (call != nullptr && call->faults != nullptr && SizeInRange(width, height) &&
      call->faults->RefusesWorld(width, height)) {
    return PF_Err_OUT_OF_MEMORY;
  }

  const PF_Err err = AllocateWorld(width, height, clear_pix != 0, WorldOwner::kPlugin, *world);
  if (err == PF_Err_NONE) CountHeld(HeldKind::kWorld, +1);
  return err;
}

PF_Err DisposeWorld(PF_ProgPtr, PF_EffectWorld* world) {
  RecordCall([] { return std::string("PF_DisposeWorld"); });
  if (world == nullptr || FreeWorld(WorldOwner::kPlugin, *world) != PF_Err_NONE) {
    NoteUnbalancedRelease();
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  CountHeld(HeldKind::kWorld, -1);
  return PF_Err_NONE;
}

PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* pixel_format) {
  if (pixel_format == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  *pixel_format = PF_PixelFormat_INVALID;
  if (world == nullptr || world->data == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  // Every world of this host is 8 bits per channel in alpha, red, green, blue order.
  *pixel_format = PF_PixelFormat_ARGB32;
  return PF_Err_NONE;
}

PF_Err NewWorldWithFlags(PF_ProgPtr effect_ref, A_long width, A_long height, PF_NewWorldFlags flags,
                         PF_EffectWorld* world) {
  if ((flags & PF_NewWorldFlag_DEEP_PIXELS) != 0) {
    if (world != nullptr) *world = PF_EffectWorld{};
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PF_Boolean clear = (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0 ? 1 : 0;
  return NewWorld(effect_ref, width, height, clear, PF_PixelFormat_ARGB32, world);
}

PF_Err GetPixelData8(PF_EffectWorld* world, PF_PixelPtr pixels0, PF_Pixel8** pixels) {
  if (pixels == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  *pixels = nullptr;
  if (world == nullptr || (world->world_flags & PF_WorldFlag_DEEP) != 0) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *pixels = pixels0 != nullptr ? pixels0 : world->data;
  return PF_Err_NONE;
}

bool SharesPixels(const PF_EffectWorld& a, const PF_EffectWorld& b) {
  const auto first_byte = [](const PF_EffectWorld& world) {
    return reinterpret_cast<uintptr_t>(world.data);
  };
  const auto past_last_byte = [&](const PF_EffectWorld& world) {
    return first_byte(world) +
           static_cast<uintptr_t>(world.rowbytes) * static_cast<uintptr_t>(world.height);
  };
  return first_byte(a) < past_last_byte(b) && first_byte(b) < past_last_byte(a);
}

}  // namespace quorvel::headless
