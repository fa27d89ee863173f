// SPDX-License-Identifier: MIT
#include "headless/iterate.h"

#include <string>

#include "headless/call_accounting.h"
#include "headless/fill.h"
#include "headless/world.h"

namespace quorvel::headless {

PF_Err Iterate(PF_InData*, A_long, A_long, PF_EffectWorld* src, const PF_Rect* area, void* refcon,
               PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst) {
  RecordCall([&] { return std::string("iterate") + (src == nullptr ? " in place" : " from src"); });
  if (pix_fn == nullptr || !IsUsableWorld(dst)) return PF_Err_BAD_CALLBACK_PARAM;
  if (src != nullptr && !IsUsableWorld(src)) return PF_Err_BAD_CALLBACK_PARAM;

  const PF_Rect whole{0, 0, dst->width, dst->height};
  const PF_Rect rows = ClipRect(area != nullptr ? *area : whole, dst->width, dst->height);
  // Within this column range every pixel has a source pixel; outside it the source is
  // transparent black.
  const A_long src_right = src != nullptr ? src->width : dst->width;
  PF_Pixel outside{};

  for (A_long y = rows.top; y < rows.bottom; ++y) {
    PF_Pixel* out_row = WorldRow(*dst, y);
    PF_Pixel* in_row = src == nullptr ? out_row : (y < src->height ? WorldRow(*src, y) : nullptr);
    for (A_long x = rows.left; x < rows.right; ++x) {
      PF_Pixel* in = &outside;
      if (in_row != nullptr && x < src_right) {
        in = in_row + x;
      } else {
        outside = PF_Pixel{};
      }
      const PF_Err err = pix_fn(refcon, x, y, in, out_row + x);
      if (err != PF_Err_NONE) return err;
    }
  }
  return PF_Err_NONE;
}

}  // namespace quorvel::headless
