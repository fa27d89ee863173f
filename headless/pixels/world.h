// SPDX-License-Identifier: MIT
// Worlds: the host's 8-bit image buffers. Each pixel is a PF_Pixel (alpha, red, green, blue
// bytes, in that order in memory); colour is premultiplied unless a call says otherwise.
#pragma once

#include <cstdint>

#include "hostapi/host_api.h"

namespace quorvel::headless {

// Bytes per row of a world of that width: a multiple of 16 and always more than width × 4, so
// that a plug-in which steps rows by the width instead of rowbytes shows up.
A_long WorldRowBytes(A_long width);

// True for a world record whose pixels this host can read and write: pixels present, sizes
// in 1 .. PF_MAX_WORLD_WIDTH / PF_MAX_WORLD_HEIGHT, rows at least width × 4 bytes.
bool IsUsableWorld(const PF_EffectWorld* world);

// True when the two worlds' pixel memory overlaps, so that one cannot be read while the
// other is written without a copy first.
bool SharesPixels(const PF_EffectWorld& a, const PF_EffectWorld& b);

inline PF_Pixel* WorldRow(const PF_EffectWorld& world, A_long y) {
  return reinterpret_cast<PF_Pixel*>(reinterpret_cast<unsigned char*>(world.data) +
                                     static_cast<std::ptrdiff_t>(y) * world.rowbytes);
}

inline PF_Pixel& PixelAt(const PF_EffectWorld& world, A_long x, A_long y) {
  return WorldRow(world, y)[x];
}

// Who made a world, and so who may dispose of it.
enum class WorldOwner { kHost, kPlugin };

// Makes the pixels of a width × height world and fills in its record (extent_hint the whole
// world, pixel aspect 1/1, writeable). Without clearing, the pixels hold a fixed non-zero
// pattern, so that reading them before writing is noticed. Nothing is counted in the ledger.
// Returns PF_Err_BAD_CALLBACK_PARAM for a size out of range, PF_Err_OUT_OF_MEMORY when the
// pixels cannot be had; the record is then zeroed.
PF_Err AllocateWorld(A_long width, A_long height, bool clear, WorldOwner owner,
                     PF_EffectWorld& world);

// Frees a world that AllocateWorld made for that owner and zeroes the record. Any other world
// (unknown, disposed already, or someone else's) is PF_Err_BAD_CALLBACK_PARAM and untouched.
// Large pixel blocks are kept for the next worlds of about their size (kept_memory.h).
PF_Err FreeWorld(WorldOwner owner, PF_EffectWorld& world);

// True for a live world that the plug-in made (through PF_NewWorld or utils->new_world).
bool IsPluginWorld(const PF_EffectWorld& world);

// A world that the host itself makes and owns (input layers, outputs, test images).
class OwnedWorld {
 public:
  // A cleared (transparent black) world. Throws std::invalid_argument for a size out of
  // range and std::bad_alloc when its pixels cannot be had.
  OwnedWorld(A_long width, A_long height);
  ~OwnedWorld();
  OwnedWorld(OwnedWorld&& other) noexcept;
  OwnedWorld& operator=(OwnedWorld&& other) noexcept;
  OwnedWorld(const OwnedWorld&) = delete;
  OwnedWorld& operator=(const OwnedWorld&) = delete;

  PF_EffectWorld& world() { return world_; }
  const PF_EffectWorld& world() const { return world_; }
  PF_EffectWorld* get() { return &world_; }
  const PF_EffectWorld* get() const { return &world_; }
  A_long width() const { return world_.width; }
  A_long height() const { return world_.height; }
  PF_Pixel& At(A_long x, A_long y) { return PixelAt(world_, x, y); }
  const PF_Pixel& At(A_long x, A_long y) const { return PixelAt(world_, x, y); }

 private:
  PF_EffectWorld world_{};
};

// --- The services as the plug-in reaches them ----------------------------------------------

// "PF World Suite" 2. Only PF_PixelFormat_ARGB32 worlds are made.
PF_Err NewWorld(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean clear_pix,
                PF_PixelFormat pixel_format, PF_EffectWorld* world);
PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* world);
PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* pixel_format);

// The utility callback new_world: 8-bit worlds only (PF_NewWorldFlag_DEEP_PIXELS is refused).
PF_Err NewWorldWithFlags(PF_ProgPtr effect_ref, A_long width, A_long height, PF_NewWorldFlags flags,
                         PF_EffectWorld* world);

// The utility callback get_pixel_data8: the world's pixels, or pixels0 when one is given.
PF_Err GetPixelData8(PF_EffectWorld* world, PF_PixelPtr pixels0, PF_Pixel8** pixels);

}  // namespace quorvel::headless
