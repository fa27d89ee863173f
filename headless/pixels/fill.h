// SPDX-License-Identifier: MIT
// Filling a rectangle of a world with one colour ("PF Fill Matte Suite" 2 and utils->fill).
#pragma once

#include "hostapi/host_api.h"

namespace quorvel::headless {

// No colour means transparent black; no rectangle means the whole world. The rectangle is
// clipped to the world, so one partly or wholly outside it is no error.
PF_Err Fill(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
            PF_EffectWorld* world);

// The part of rect inside a width × height world; empty (right <= left or bottom <= top) when
// nothing is.
PF_Rect ClipRect(const PF_Rect& rect, A_long width, A_long height);

inline bool IsEmptyRect(const PF_Rect& rect) {
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

}  // namespace quorvel::headless
