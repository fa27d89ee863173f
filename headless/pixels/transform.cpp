// SPDX-License-Identifier: MIT
#include "headless/pixels/transform.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "headless/common/interruption.h"
#include "headless/common/sanitizers.h"
#include "headless/instance/call_accounting.h"
#include "headless/pixels/composite.h"
#include "headless/pixels/fill.h"
#include "headless/pixels/kept_memory.h"
#include "headless/pixels/placement.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

using PixmanImage = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;

PixmanImage MakeImage(int width, int height, uint32_t* bits) {
  return PixmanImage(pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, bits,
                                              width * static_cast<int>(sizeof(uint32_t))),
                     &pixman_image_unref);
}

// A world's pixels are the bytes alpha, red, green, blue in memory order: pixman's 0xAARRGGBB
// words only where words are big-endian.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kWorldIsWords = true;
#else
constexpr bool kWorldIsWords = false;
#endif

// A pixel's four bytes, loaded as one native word, as the 0xAARRGGBB word pixman works in.
inline uint32_t WordOf(uint32_t bytes) {
  return kWorldIsWords ? bytes : __builtin_bswap32(bytes);
}

// ThreadSanitizer cannot run the loader's variant selection (it runs before the sanitizer's
// runtime is up), so sanitizer builds keep the one default variant.
#if defined(QUORVEL_THREAD_SANITIZER) || defined(QUORVEL_ADDRESS_SANITIZER)
#define QUORVEL_NO_TARGET_CLONES 1
#endif

// One row of world pixels as pixman words, premultiplied (Premultiply's arithmetic on whole
// words, so that the loop vectorises). Where the loader can pick a function's variant at
// start-up, a variant for 32-byte vectors is built as well.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(QUORVEL_NO_TARGET_CLONES)
__attribute__((target_clones("avx2", "default")))
#endif
void PremultipliedRow(const unsigned char* __restrict pixels, uint32_t* __restrict out,
                      A_long width) {
  // Red and blue at once, 16 bits apart, then green, each with MultiplyChannels' rounding.
  for (A_long x = 0; x < width; ++x) {
    uint32_t bytes = 0;
    std::memcpy(&bytes, pixels + std::ptrdiff_t{4} * x, sizeof(bytes));
    const uint32_t word = WordOf(bytes);
    const uint32_t alpha = word >> 24;
    uint32_t red_blue = (word & 0x00FF00FFu) * alpha + 0x00800080u;
    red_blue = ((red_blue + ((red_blue >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t green = ((word >> 8) & 0xFFu) * alpha + 0x80u;
    green = ((green + (green >> 8)) >> 8) & 0xFFu;
    out[x] = alpha << 24 | red_blue | green << 8;
  }
}

void WordRow(const unsigned char* __restrict pixels, uint32_t* __restrict out, A_long width) {
  for (A_long x = 0; x < width; ++x) {
    uint32_t bytes = 0;
    std::memcpy(&bytes, pixels + std::ptrdiff_t{4} * x, sizeof(bytes));
    out[x] = WordOf(bytes);
  }
}

// Turns columns [left, right) of rows [top, bottom) of a world between its byte order and
// pixman's 0xAARRGGBB words, in place (the same byte reversal both ways). pixman's fast paths
// exist for words only; a band turned, composited and turned back while it is in the cache
// costs far less than pixman's general path for the world's own order.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(QUORVEL_NO_TARGET_CLONES)
__attribute__((target_clones("avx2", "default")))
#endif
void SwapWorldWords(PF_EffectWorld& world, A_long top, A_long bottom, A_long left, A_long right) {
  for (A_long y = top; y < bottom; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(WorldRow(world, y));
    for (A_long x = left; x < right; ++x) row[x] = __builtin_bswap32(row[x]);
  }
}

PF_Pixel FromWord(uint32_t word) {
  return {static_cast<A_u_char>(word >> 24), static_cast<A_u_char>(word >> 16),
          static_cast<A_u_char>(word >> 8), static_cast<A_u_char>(word)};
}

// The premultiplied source rows that the current group of destination rows reaches, as
// pixman words. As the groups move down the destination the rows they reach usually move down
// the source too: rows already held are kept (the buffer slides, and is compacted only when it
// runs out), so each source row is premultiplied about once.
class SourceWindow {
 public:
  SourceWindow(const PF_EffectWorld& src, bool straight, PF_Quality quality)
      : src_(src), straight_(straight), quality_(quality) {}

  // Holds at least rows [first, last) and makes the pixman image of the rows held; false when
  // out of memory. The image's row 0 is source row first_held().
  bool Hold(A_long first, A_long last) {
    const size_t width = static_cast<size_t>(src_.width);
    if (first >= held_first_ && first <= held_last_ && held_last_ > held_first_) {
      offset_ += static_cast<size_t>(first - held_first_);
      held_first_ = first;
    } else {
      offset_ = 0;
      held_first_ = first;
      held_last_ = first;
    }
    const A_long end = std::max(last, held_last_);
    const size_t rows_needed = static_cast<size_t>(end - held_first_);
    if (offset_ + rows_needed > rows_) {
      const size_t held = static_cast<size_t>(held_last_ - held_first_);
      if (rows_needed > rows_ / 2) {
        ScratchBlock larger(2 * rows_needed * width * sizeof(uint32_t));
        if (larger.data() == nullptr) return false;
        if (held > 0) std::memcpy(larger.data(), Row(offset_), held * width * sizeof(uint32_t));
        buffer_ = std::move(larger);
        rows_ = 2 * rows_needed;
      } else {
        std::memmove(Row(0), Row(offset_), held * width * sizeof(uint32_t));
      }
      offset_ = 0;
    }
    for (A_long y = held_last_; y < end; ++y) {
      const unsigned char* row = reinterpret_cast<const unsigned char*>(WorldRow(src_, y));
      uint32_t* out = Row(offset_ + static_cast<size_t>(y - held_first_));
      if (straight_) {
        PremultipliedRow(row, out, src_.width);
      } else {
        WordRow(row, out, src_.width);
      }
    }
    held_last_ = end;
    image_ = MakeImage(src_.width, held_last_ - held_first_, Row(offset_));
    if (!image_) return false;
    pixman_image_set_filter(
        image_.get(), quality_ == PF_Quality_LO ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR,
        nullptr, 0);
    pixman_image_set_repeat(image_.get(), PIXMAN_REPEAT_NONE);
    return true;
  }

  A_long first_held() const { return held_first_; }
  pixman_image_t* image() const { return image_.get(); }

 private:
  uint32_t* Row(size_t buffer_row) const {
    return static_cast<uint32_t*>(buffer_.data()) + buffer_row * static_cast<size_t>(src_.width);
  }

  const PF_EffectWorld& src_;
  bool straight_;
  PF_Quality quality_;
  // At 4K a turned box's window is megabytes: kept memory spares its page faults.
  ScratchBlock buffer_;
  size_t rows_ = 0;    // rows the buffer has room for
  size_t offset_ = 0;  // the buffer row holding source row held_first_
  A_long held_first_ = 0;
  A_long held_last_ = 0;
  PixmanImage image_{nullptr, &pixman_image_unref};
};

// Layer pixels are resampled a band of rows at a time, so that the running sums of a motion
// blur stay in the cache over all its placements.
constexpr size_t kBandPixels = 32768;
// Destination rows whose source rows are premultiplied together (about; a whole number of
// bands).
constexpr A_long kWindowRows = 64;
// Destination rows turned into pixman's word order, composited and turned back together.
constexpr A_long kTurnedRows = 8;

// Resamples the placements over `bounds` a band of rows at a time and hands each finished band,
// as a layer of its own, to take_band.
template <typename TakeBand>
PF_Err Resample(const PF_EffectWorld& src, bool straight, PF_Quality quality,
                const std::vector<std::optional<Placement>>& placements, const PF_Rect& bounds,
                TakeBand take_band) {
  const A_long width = bounds.right - bounds.left;
  const A_long height = bounds.bottom - bounds.top;
  const A_long band_rows =
      std::clamp(static_cast<A_long>(kBandPixels / static_cast<size_t>(width)), A_long{1}, height);
  const size_t band_pixels = static_cast<size_t>(width) * static_cast<size_t>(band_rows);
  const bool blurred = placements.size() > 1;

  Layer layer;                    // the band being finished
  std::vector<uint32_t> scratch;  // one band of resampled 0xAARRGGBB words
  std::vector<uint16_t> sums;     // alpha, red, green, blue per band pixel, over the placements
  std::vector<std::optional<pixman_transform>> transforms;
  try {
    layer.pixels.reserve(band_pixels);
    scratch.resize(band_pixels);
    if (blurred) sums.resize(4 * band_pixels);
    for (const auto& placement : placements) {
      transforms.push_back(placement ? ReachToSource(*placement) : std::nullopt);
    }
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }

  const PixmanImage band_image = MakeImage(width, band_rows, scratch.data());
  if (!band_image) return PF_Err_OUT_OF_MEMORY;

  // The premultiplied source is held a window of rows at a time: the rows that a group of
  // bands reaches through any placement, instead of the whole source.
  const A_long group_rows = std::max(band_rows, kWindowRows / band_rows * band_rows);
  SourceWindow window(src, straight, quality);
  bool reaches_source = false;
  for (A_long band_top = bounds.top; band_top < bounds.bottom; band_top += band_rows) {
    if (InterruptionRequested()) return PF_Interrupt_CANCEL;
    if ((band_top - bounds.top) % group_rows == 0) {
      const A_long group_bottom = std::min(band_top + group_rows, bounds.bottom);
      A_long first = src.height;
      A_long last = 0;
      for (size_t i = 0; i < placements.size(); ++i) {
        if (!transforms[i]) continue;
        const PF_Rect& reach = placements[i]->reach;
        const A_long top = std::max(reach.top, band_top);
        const A_long bottom = std::min(reach.bottom, group_bottom);
        if (top >= bottom) continue;
        const auto rows = SourceRowsFor(*placements[i], top, bottom, src.height);
        first = std::min(first, rows.first);
        last = std::max(last, rows.second);
      }
      for (size_t i = 0; i < placements.size() && first < last; ++i) {
        if (transforms[i] && !MovedUp(*transforms[i], first)) first = 0;
      }
      reaches_source = first < last;
      if (reaches_source && !window.Hold(first, last)) return PF_Err_OUT_OF_MEMORY;
    }
    const PF_Rect band{bounds.left, band_top, bounds.right,
                       std::min(band_top + band_rows, bounds.bottom)};
    if (blurred) std::fill(sums.begin(), sums.end(), uint16_t{0});
    layer.bounds = band;
    // Within the reserved capacity: no allocation.
    layer.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(band.bottom - band.top),
                        PF_Pixel{});
    for (size_t i = 0; i < placements.size(); ++i) {
      if (!transforms[i] || !reaches_source) continue;
      const PF_Rect& reach = placements[i]->reach;
      const PF_Rect part = Intersection(reach, band);
      if (IsEmptyRect(part)) continue;
      const std::optional<pixman_transform> moved = MovedUp(*transforms[i], window.first_held());
      // The transform is anchored at the reach's corner in every band, so that splitting
      // into bands changes no sample.
      if (!moved || !pixman_image_set_transform(window.image(), &*moved)) {
        return PF_Err_OUT_OF_MEMORY;
      }
      pixman_image_composite32(PIXMAN_OP_SRC, window.image(), nullptr, band_image.get(),
                               part.left - reach.left, part.top - reach.top, 0, 0,
                               part.left - bounds.left, part.top - band.top, part.right - part.left,
                               part.bottom - part.top);
      for (A_long y = part.top; y < part.bottom; ++y) {
        const size_t band_row = static_cast<size_t>(y - band.top) * static_cast<size_t>(width);
        for (A_long x = part.left - bounds.left; x < part.right - bounds.left; ++x) {
          const uint32_t word = scratch[band_row + static_cast<size_t>(x)];
          if (!blurred) {
            layer.pixels[band_row + static_cast<size_t>(x)] = FromWord(word);
            continue;
          }
          uint16_t* sum = &sums[4 * (band_row + static_cast<size_t>(x))];
          sum[0] = static_cast<uint16_t>(sum[0] + (word >> 24));
          sum[1] = static_cast<uint16_t>(sum[1] + ((word >> 16) & 0xFF));
          sum[2] = static_cast<uint16_t>(sum[2] + ((word >> 8) & 0xFF));
          sum[3] = static_cast<uint16_t>(sum[3] + (word & 0xFF));
        }
      }
    }
    if (blurred) {
      // Placements that drew nothing count as transparent in the average.
      constexpr unsigned kCount = kMotionBlurSamples;
      const auto average = [](uint16_t sum) {
        return static_cast<A_u_char>((sum + kCount / 2) / kCount);
      };
      const uint16_t* sum = sums.data();
      PF_Pixel* pixel = layer.pixels.data();
      const size_t count = layer.pixels.size();
      for (size_t i = 0; i < count; ++i, sum += 4) {
        pixel[i] = {average(sum[0]), average(sum[1]), average(sum[2]), average(sum[3])};
      }
    }
    if (const PF_Err err = take_band(layer)) return err;
  }
  return PF_Err_NONE;
}

// IN_FRONT at full opacity without a mask, onto premultiplied pixels, is pixman's OVER with the
// same rounding (d = s + d·(255 − s.alpha)/255, a transparent source leaving d exactly as it
// is), and pixman's samples do not depend on the operator or the destination's format. So one
// placement is resampled and composited in a single pass straight into the destination's
// pixels, with the same result as resampling into a layer and compositing that.
bool ComposesAsOver(const std::vector<std::optional<Placement>>& placements,
                    const PF_CompositeMode& mode, const PF_MaskWorld* mask,
                    bool straight_destination, const PF_EffectWorld& dst) {
  return placements.size() == 1 && mode.xfer == PF_Xfer_IN_FRONT && mode.opacity == 255 &&
         mask == nullptr && !straight_destination && dst.rowbytes % 4 == 0 &&
         reinterpret_cast<uintptr_t>(dst.data) % alignof(uint32_t) == 0;
}

PF_Err ResampleOver(const PF_EffectWorld& src, bool straight, PF_Quality quality,
                    const Placement& placement, PF_EffectWorld& dst) {
  const std::optional<pixman_transform> transform = ReachToSource(placement);
  if (!transform) return PF_Err_NONE;  // too far out to draw: nothing lands
  const PixmanImage destination(
      pixman_image_create_bits(PIXMAN_a8r8g8b8, dst.width, dst.height,
                               reinterpret_cast<uint32_t*>(dst.data), dst.rowbytes),
      &pixman_image_unref);
  if (!destination) return PF_Err_OUT_OF_MEMORY;
  const PF_Rect& reach = placement.reach;
  SourceWindow window(src, straight, quality);
  for (A_long band_top = reach.top; band_top < reach.bottom; band_top += kWindowRows) {
    if (InterruptionRequested()) return PF_Interrupt_CANCEL;
    const A_long band_bottom = std::min(band_top + kWindowRows, reach.bottom);
    auto [first, last] = SourceRowsFor(placement, band_top, band_bottom, src.height);
    if (first >= last) continue;  // every sample of the band lies outside the source
    if (!MovedUp(*transform, first)) first = 0;
    if (!window.Hold(first, last)) return PF_Err_OUT_OF_MEMORY;
    const std::optional<pixman_transform> moved = MovedUp(*transform, window.first_held());
    if (!moved || !pixman_image_set_transform(window.image(), &*moved)) {
      return PF_Err_OUT_OF_MEMORY;
    }
    // A few rows at a time, so that the rows turned stay in the cache until turned back.
    for (A_long top = band_top; top < band_bottom; top += kTurnedRows) {
      const A_long bottom = std::min(top + kTurnedRows, band_bottom);
      if (!kWorldIsWords) SwapWorldWords(dst, top, bottom, reach.left, reach.right);
      pixman_image_composite32(PIXMAN_OP_OVER, window.image(), nullptr, destination.get(), 0,
                               top - reach.top, 0, 0, reach.left, top, reach.right - reach.left,
                               bottom - top);
      if (!kWorldIsWords) SwapWorldWords(dst, top, bottom, reach.left, reach.right);
    }
  }
  return PF_Err_NONE;
}

}  // namespace

PF_Err TransformWorld(PF_ProgPtr, PF_Quality quality, PF_ModeFlags mode_flags, PF_Field,
                      const PF_EffectWorld* src_world, const PF_CompositeMode* comp_mode,
                      const PF_MaskWorld* mask_world, const PF_FloatMatrix* matrices,
                      A_long num_matrices, PF_Boolean src2dst, const PF_Rect* dest_rect,
                      PF_EffectWorld* dst_world) {
  RecordCall([&] {
    return "transform_world xfer=" +
           (comp_mode != nullptr ? std::to_string(comp_mode->xfer) : "?") +
           " flags=" + std::to_string(mode_flags) +
           " mask=" + (mask_world != nullptr ? "yes" : "no") +
           " matrices=" + std::to_string(num_matrices);
  });
  if (!IsUsableWorld(src_world) || !IsUsableWorld(dst_world)) return PF_Err_BAD_CALLBACK_PARAM;
  if (matrices == nullptr || num_matrices < 1 || num_matrices > kMaxTransformMatrices) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (const PF_Err err = CheckComposite(mode_flags, comp_mode, mask_world)) return err;
  for (A_long i = 0; i < num_matrices; ++i) {
    if (!IsAffineMatrix(matrices[i])) return PF_Err_BAD_CALLBACK_PARAM;
  }

  // A source that shares the destination's pixels is placed from a copy: rows of the source
  // are read while rows of the destination above them are already written.
  std::optional<OwnedWorld> source_copy;
  if (SharesPixels(*src_world, *dst_world)) {
    try {
      source_copy.emplace(src_world->width, src_world->height);
    } catch (const std::bad_alloc&) {
      return PF_Err_OUT_OF_MEMORY;
    }
    for (A_long y = 0; y < src_world->height; ++y) {
      std::memcpy(WorldRow(source_copy->world(), y), WorldRow(*src_world, y),
                  static_cast<size_t>(src_world->width) * sizeof(PF_Pixel));
    }
    src_world = source_copy->get();
  }

  const PF_Rect whole{0, 0, dst_world->width, dst_world->height};
  const PF_Rect region =
      ClipRect(dest_rect != nullptr ? *dest_rect : whole, dst_world->width, dst_world->height);
  if (IsEmptyRect(region)) return PF_Err_NONE;

  const int sample_count = num_matrices == 1 ? 1 : kMotionBlurSamples;
  std::vector<std::optional<Placement>> placements;
  PF_Rect reach{};
  try {
    placements.reserve(static_cast<size_t>(sample_count));
    for (int i = 0; i < sample_count; ++i) {
      const double t = (i + 0.5) / sample_count;
      const PF_FloatMatrix matrix =
          num_matrices == 1 ? matrices[0] : PathPoint(matrices, num_matrices, t);
      placements.push_back(Place(matrix, src2dst != 0, *src_world, region));
      if (placements.back()) reach = Union(reach, placements.back()->reach);
    }
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }

  Layer layer;
  // Where the source lands is enough, unless a transparent source changes the destination.
  layer.bounds = TransparentSourceKeepsDestination(comp_mode->xfer) ? reach : region;
  if (IsEmptyRect(layer.bounds)) return PF_Err_NONE;
  const bool straight_destination = HasStraightDestination(mode_flags, *dst_world);
  if (ComposesAsOver(placements, *comp_mode, mask_world, straight_destination, *dst_world)) {
    return ResampleOver(*src_world, mode_flags == PF_MF_Alpha_STRAIGHT, quality, *placements[0],
                        *dst_world);
  }
  // A mask that shares the destination's pixels is read whole before anything is written, so
  // the bands are gathered into one layer first; otherwise each band is composited as soon as
  // it is resampled (each pixel is combined on its own, so the result is the same) and no
  // layer of the destination's size is ever held.
  const bool gather = mask_world != nullptr && SharesPixels(mask_world->mask, *dst_world);
  const bool straight = mode_flags == PF_MF_Alpha_STRAIGHT;
  if (!gather) {
    return Resample(*src_world, straight, quality, placements, layer.bounds,
                    [&](const Layer& band) {
                      return CompositeLayer(band, comp_mode->xfer, comp_mode->opacity, mask_world,
                                            straight_destination, *dst_world);
                    });
  }
  try {
    layer.pixels.reserve(static_cast<size_t>(layer.bounds.right - layer.bounds.left) *
                         static_cast<size_t>(layer.bounds.bottom - layer.bounds.top));
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }
  if (const PF_Err err =
          Resample(*src_world, straight, quality, placements, layer.bounds, [&](const Layer& band) {
            layer.pixels.insert(layer.pixels.end(), band.pixels.begin(), band.pixels.end());
            return PF_Err_NONE;
          })) {
    return err;
  }
  return CompositeLayer(layer, comp_mode->xfer, comp_mode->opacity, mask_world,
                        straight_destination, *dst_world);
}

}  // namespace quorvel::headless
