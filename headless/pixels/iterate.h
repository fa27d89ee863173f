// SPDX-License-Identifier: MIT
// Per-pixel iteration ("PF Iterate8 Suite" 1 and utils->iterate).
#pragma once

#include "hostapi/host_api.h"

namespace quorvel::headless {

// Calls pix_fn once for every pixel of dst inside area (the whole of dst when area is null;
// the area is clipped to dst), row by row from the top, left to right. x and y are world
// coordinates. in is the pixel of src at (x, y), or transparent black where src has no such
// pixel; without src the iteration runs in place and in is the dst pixel itself (in == out).
// As a host may, a large area (at least 65536 pixels per thread) is split into bands of whole
// rows that run at the same time, one per hardware thread, the calling thread taking the
// first; pix_fn must then be safe to call from several threads, and the host calls it makes
// count in the calling thread's command. Within a band the order is as above, and the first
// non-zero result of pix_fn stops that band; the result is the error of the topmost band that
// failed. Small areas run on the calling thread alone, so the first error stops everything.
// in_data and the progress range are accepted and not used: this host shows no progress.
PF_Err Iterate(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
               const PF_Rect* area, void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);

}  // namespace quorvel::headless
