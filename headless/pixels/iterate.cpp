// SPDX-License-Identifier: MIT
#include "headless/pixels/iterate.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "headless/common/interruption.h"
#include "headless/instance/call_accounting.h"
#include "headless/pixels/fill.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

// Rows y0 .. y1 of the area, each row left to right; the first non-zero result stops the band.
PF_Err IterateRows(const PF_EffectWorld* src, const PF_Rect& rows, A_long y0, A_long y1,
                   void* refcon, PF_IteratePixel8Func pix_fn, const PF_EffectWorld& dst) {
  if (src == nullptr) {
    // In place: nothing but the call per pixel.
    for (A_long y = y0; y < y1; ++y) {
      if (InterruptionRequested()) return PF_Interrupt_CANCEL;
      PF_Pixel* row = WorldRow(dst, y);
      for (A_long x = rows.left; x < rows.right; ++x) {
        if (const PF_Err err = pix_fn(refcon, x, y, row + x, row + x)) return err;
      }
    }
    return PF_Err_NONE;
  }
  // Within this column range every pixel has a source pixel; outside it the source is
  // transparent black.
  const A_long src_right = std::min(src->width, rows.right);
  PF_Pixel outside{};
  for (A_long y = y0; y < y1; ++y) {
    if (InterruptionRequested()) return PF_Interrupt_CANCEL;
    PF_Pixel* out_row = WorldRow(dst, y);
    PF_Pixel* in_row = y < src->height ? WorldRow(*src, y) : nullptr;
    for (A_long x = rows.left; x < rows.right; ++x) {
      PF_Pixel* in = &outside;
      if (in_row != nullptr && x < src_right) {
        in = in_row + x;
      } else {
        outside = PF_Pixel{};
      }
      if (const PF_Err err = pix_fn(refcon, x, y, in, out_row + x)) return err;
    }
  }
  return PF_Err_NONE;
}

// How many threads share an area: one per hardware thread for large areas, each with at least
// kMinPixelsPerThread pixels, so that small areas stay on the calling thread alone.
constexpr int64_t kMinPixelsPerThread = 1 << 16;
constexpr unsigned kMaxThreads = 8;

unsigned ThreadsFor(const PF_Rect& rows) {
  const int64_t pixels = static_cast<int64_t>(rows.right - rows.left) * (rows.bottom - rows.top);
  const unsigned hardware =
      std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxThreads));
  const int64_t by_size = std::max<int64_t>(1, pixels / kMinPixelsPerThread);
  const int64_t by_rows = rows.bottom - rows.top;
  return static_cast<unsigned>(std::min<int64_t>({hardware, by_size, by_rows}));
}

}  // namespace

PF_Err Iterate(PF_InData*, A_long, A_long, PF_EffectWorld* src, const PF_Rect* area, void* refcon,
               PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst) {
  RecordCall([&] { return std::string("iterate") + (src == nullptr ? " in place" : " from src"); });
  if (pix_fn == nullptr || !IsUsableWorld(dst)) return PF_Err_BAD_CALLBACK_PARAM;
  if (src != nullptr && !IsUsableWorld(src)) return PF_Err_BAD_CALLBACK_PARAM;

  const PF_Rect whole{0, 0, dst->width, dst->height};
  const PF_Rect rows = ClipRect(area != nullptr ? *area : whole, dst->width, dst->height);
  if (IsEmptyRect(rows)) return PF_Err_NONE;

  const unsigned threads = ThreadsFor(rows);
  const A_long height = rows.bottom - rows.top;
  // Band i holds rows top + height·i/threads up to the next band's first row.
  const auto band_top = [&](unsigned band) {
    return rows.top + static_cast<A_long>(static_cast<int64_t>(height) * band / threads);
  };
  std::vector<PF_Err> results(threads, PF_Err_NONE);
  std::vector<std::thread> workers;
  CallContext* const call = CurrentCall();
  for (unsigned band = 1; band < threads; ++band) {
    try {
      workers.emplace_back([&, band] {
        // Host calls the function makes count in the command that asked for the iteration.
        std::optional<ScopedCall> scope;
        if (call != nullptr) scope.emplace(*call);
        results[band] =
            IterateRows(src, rows, band_top(band), band_top(band + 1), refcon, pix_fn, *dst);
      });
    } catch (const std::system_error&) {
      // No thread to be had: the calling thread does this band after its own.
      results[band] =
          IterateRows(src, rows, band_top(band), band_top(band + 1), refcon, pix_fn, *dst);
    }
  }
  results[0] = IterateRows(src, rows, band_top(0), band_top(1), refcon, pix_fn, *dst);
  for (std::thread& worker : workers) worker.join();
  for (const PF_Err err : results) {
    if (err != PF_Err_NONE) return err;
  }
  return PF_Err_NONE;
}

}  // namespace quorvel::headless
