// SPDX-License-Identifier: MIT
#include "headless/pixels/transfer.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

#include "headless/common/interruption.h"
#include "headless/instance/call_accounting.h"
#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

// Rows a band holds: enough to keep the per-band work small, few enough to stay in the cache.
constexpr int64_t kBandPixels = 32768;

}  // namespace

PF_Err TransferRect(PF_ProgPtr, PF_Quality, PF_ModeFlags mode_flags, PF_Field,
                    const PF_Rect* src_rect, const PF_EffectWorld* src_world,
                    const PF_CompositeMode* comp_mode, const PF_MaskWorld* mask_world,
                    A_long dest_x, A_long dest_y, PF_EffectWorld* dst_world) {
  RecordCall([&] {
    return "transfer_rect xfer=" + (comp_mode != nullptr ? std::to_string(comp_mode->xfer) : "?") +
           " flags=" + std::to_string(mode_flags) +
           " mask=" + (mask_world != nullptr ? "yes" : "no") + " at " + std::to_string(dest_x) +
           "," + std::to_string(dest_y);
  });
  if (!IsUsableWorld(src_world) || !IsUsableWorld(dst_world)) return PF_Err_BAD_CALLBACK_PARAM;
  if (const PF_Err err = CheckComposite(mode_flags, comp_mode, mask_world)) return err;

  // In 64 bits: the rectangle and the destination point may be anywhere.
  const PF_Rect rect =
      src_rect != nullptr ? *src_rect : PF_Rect{0, 0, src_world->width, src_world->height};
  const int64_t shift_x = static_cast<int64_t>(dest_x) - rect.left;
  const int64_t shift_y = static_cast<int64_t>(dest_y) - rect.top;
  const int64_t left = std::max<int64_t>({rect.left, 0, -shift_x});
  const int64_t top = std::max<int64_t>({rect.top, 0, -shift_y});
  const int64_t right = std::min<int64_t>(
      {rect.right, src_world->width, static_cast<int64_t>(dst_world->width) - shift_x});
  const int64_t bottom = std::min<int64_t>(
      {rect.bottom, src_world->height, static_cast<int64_t>(dst_world->height) - shift_y});
  if (right <= left || bottom <= top) return PF_Err_NONE;

  // A source or mask sharing pixels with the destination is read whole before anything is
  // written; otherwise the rectangle goes over a band of rows at a time, through a copy of one
  // band instead of one of the whole rectangle (each pixel is combined on its own, so the
  // result is the same).
  const bool shared = SharesPixels(*src_world, *dst_world) ||
                      (mask_world != nullptr && SharesPixels(mask_world->mask, *dst_world));
  const int64_t width = right - left;
  const int64_t band_rows =
      shared ? bottom - top : std::clamp<int64_t>(kBandPixels / width, 1, bottom - top);
  const bool straight = mode_flags == PF_MF_Alpha_STRAIGHT;
  const bool straight_destination = HasStraightDestination(mode_flags, *dst_world);
  Layer layer;
  try {
    layer.pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(band_rows));
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }
  for (int64_t band_top = top; band_top < bottom; band_top += band_rows) {
    if (InterruptionRequested()) return PF_Interrupt_CANCEL;
    const int64_t band_bottom = std::min(band_top + band_rows, bottom);
    layer.bounds = {static_cast<A_long>(left + shift_x), static_cast<A_long>(band_top + shift_y),
                    static_cast<A_long>(right + shift_x),
                    static_cast<A_long>(band_bottom + shift_y)};
    // Within the reserved capacity: no allocation.
    layer.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(band_bottom - band_top));
    PF_Pixel* out = layer.pixels.data();
    for (int64_t y = band_top; y < band_bottom; ++y) {
      const PF_Pixel* row = WorldRow(*src_world, static_cast<A_long>(y));
      for (int64_t x = left; x < right; ++x) *out++ = straight ? Premultiply(row[x]) : row[x];
    }
    if (const PF_Err err = CompositeLayer(layer, comp_mode->xfer, comp_mode->opacity, mask_world,
                                          straight_destination, *dst_world)) {
      return err;
    }
  }
  return PF_Err_NONE;
}

}  // namespace quorvel::headless
