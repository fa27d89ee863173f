// SPDX-License-Identifier: MIT
// Rectangle transfer: a rectangle of one world composited into another ("PF World Transform
// Suite" 1 transfer_rect and utils->transfer_rect).
#pragma once

#include "hostapi/host_api.h"

namespace quorvel::headless {

// Composites src_rect of src_world (the whole world when null) with its top-left corner at
// (dest_x, dest_y) of dst_world, both clipped to their worlds, in the composite mode's
// transfer mode at its opacity, through the optional mask (see CompositeLayer). The source is
// premultiplied, or straight when mode_flags is PF_MF_Alpha_STRAIGHT (and then so is a
// destination the plug-in made, see HasStraightDestination). Source, mask and
// destination may share pixels: all are read before anything is written. Quality and field
// play no part (every pixel lands on a whole pixel; frames are never field-rendered here).
// Unsupported transfer modes, rgb_only and luminance masks are PF_Err_BAD_CALLBACK_PARAM.
PF_Err TransferRect(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags mode_flags,
                    PF_Field field, const PF_Rect* src_rect, const PF_EffectWorld* src_world,
                    const PF_CompositeMode* comp_mode, const PF_MaskWorld* mask_world,
                    A_long dest_x, A_long dest_y, PF_EffectWorld* dst_world);

}  // namespace quorvel::headless
