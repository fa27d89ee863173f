// SPDX-License-Identifier: MIT
// World transform: a world resampled through one matrix, or motion-blurred between several,
// and composited into another ("PF World Transform Suite" 1 transform_world and
// utils->transform_world).
#pragma once

#include "hostapi/host_api.h"

namespace quorvel::headless {

// Motion blur averages this many placements of the source, spread evenly over the path from
// the first matrix to the last (at fractions (i + 0.5) / kMotionBlurSamples of it).
inline constexpr int kMotionBlurSamples = 16;
// More matrices than this are refused.
inline constexpr A_long kMaxTransformMatrices = 64;

// Places src_world into dst_world through matrices (row vectors, translation in the third row:
// x' = x·m[0][0] + y·m[1][0] + m[2][0], y' = x·m[0][1] + y·m[1][1] + m[2][1]), mapping source
// pixels to destination pixels when src2dst is true and destination to source otherwise, in
// continuous pixel coordinates (pixel (i, j) covers [i, i+1) × [j, j+1)), so that the identity
// copies and whole-pixel translations shift exactly. Sampling is bilinear (nearest at
// PF_Quality_LO), transparent outside the source. With more than one matrix the result is the
// average of kMotionBlurSamples placements through matrices interpolated linearly, element by
// element, along the list. The result is composited in the transfer mode at the opacity of
// comp_mode through the optional mask (see CompositeLayer), only inside dest_rect (the whole
// destination when null) clipped to the destination. The source is premultiplied, or
// straight when mode_flags is PF_MF_Alpha_STRAIGHT (and then so is a destination the plug-in
// made, see HasStraightDestination).
// Null worlds, no matrix or more than kMaxTransformMatrices, non-finite or non-affine matrices
// are PF_Err_BAD_CALLBACK_PARAM; a placement that is singular or too far out for the
// resampler draws nothing. Field plays no part.
PF_Err TransformWorld(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags mode_flags,
                      PF_Field field, const PF_EffectWorld* src_world,
                      const PF_CompositeMode* comp_mode, const PF_MaskWorld* mask_world,
                      const PF_FloatMatrix* matrices, A_long num_matrices, PF_Boolean src2dst,
                      const PF_Rect* dest_rect, PF_EffectWorld* dst_world);

}  // namespace quorvel::headless
