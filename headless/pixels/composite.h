// SPDX-License-Identifier: MIT
// The transfer modes: how a premultiplied layer is combined with a destination world, under
// an opacity and an optional mask. Shared by transfer_rect and transform_world.
#pragma once

#include <vector>

#include "hostapi/host_api.h"

namespace quorvel::headless {

// x × y / 255 for 8-bit values, rounded to nearest.
inline A_u_char MultiplyChannels(unsigned x, unsigned y) {
  const unsigned product = x * y + 128;
  return static_cast<A_u_char>((product + (product >> 8)) >> 8);
}

PF_Pixel Premultiply(const PF_Pixel& straight);
// The straight colour of a premultiplied pixel (rounded, at most 255); transparent black for
// alpha 0.
PF_Pixel Unpremultiply(const PF_Pixel& premultiplied);

// A premultiplied pixel laid over another (premultiplied): source over.
inline PF_Pixel Over(const PF_Pixel& top, const PF_Pixel& under) {
  const unsigned rest = 255u - top.alpha;
  return {static_cast<A_u_char>(top.alpha + MultiplyChannels(under.alpha, rest)),
          static_cast<A_u_char>(top.red + MultiplyChannels(under.red, rest)),
          static_cast<A_u_char>(top.green + MultiplyChannels(under.green, rest)),
          static_cast<A_u_char>(top.blue + MultiplyChannels(under.blue, rest))};
}

// Supported: PF_Xfer_COPY, PF_Xfer_BEHIND, PF_Xfer_IN_FRONT, PF_Xfer_MULTIPLY_ALPHA and
// PF_Xfer_MULTIPLY_NOT_ALPHA. Every other mode is refused with PF_Err_BAD_CALLBACK_PARAM.
bool IsSupportedTransferMode(PF_TransferMode mode);

// True when a transparent source pixel leaves the destination as it is in that mode, so only
// the part of a destination that a layer covers needs visiting (false for COPY, which clears,
// and MULTIPLY_ALPHA, which multiplies by zero).
constexpr bool TransparentSourceKeepsDestination(PF_TransferMode mode) {
  return mode != PF_Xfer_COPY && mode != PF_Xfer_MULTIPLY_ALPHA;
}

// PF_Err_NONE for alpha mode flags PF_MF_Alpha_PREMUL or PF_MF_Alpha_STRAIGHT, a composite
// mode with a supported transfer mode and rgb_only off (not supported), and a usable mask or
// none; PF_Err_BAD_CALLBACK_PARAM otherwise.
PF_Err CheckComposite(PF_ModeFlags mode_flags, const PF_CompositeMode* mode,
                      const PF_MaskWorld* mask);

// PF_Err_NONE for no mask, or a mask whose world is usable and whose what_is_mask is
// PF_MaskFlag_NONE or PF_MaskFlag_INVERTED (luminance masks are not supported).
PF_Err CheckMask(const PF_MaskWorld* mask);

// A premultiplied image with its place in the destination.
struct Layer {
  PF_Rect bounds{};              // destination pixels, inside the destination
  std::vector<PF_Pixel> pixels;  // premultiplied, row after row, bounds' width per row
};

// Combines the layer with dst inside the layer's bounds, in that mode (premultiplied):
//   COPY                d = s·c + d·(1 − c)
//   BEHIND              d = d + s·c·(1 − d.alpha)
//   IN_FRONT            d = s·c + d·(1 − s.alpha·c)
//   MULTIPLY_ALPHA      d = d·(1 − c + s.alpha·c)
//   MULTIPLY_NOT_ALPHA  d = d·(1 − s.alpha·c)          (the source colour is not added)
// where c, the source's coverage, is opacity/255 times the mask's alpha (or 1 − alpha when
// inverted) at that pixel. The mask world's top-left pixel sits at mask->offset in the
// destination; outside the mask world the alpha counts as 0. The mask is read in full before
// any pixel is written, so the mask may be the destination itself.
// With straight_destination the destination holds straight colour: each pixel combined is
// premultiplied first and unpremultiplied after; pixels left alone stay as they are.
// The mode and mask must have been checked; out of memory is PF_Err_OUT_OF_MEMORY.
PF_Err CompositeLayer(const Layer& layer, PF_TransferMode mode, A_u_char opacity,
                      const PF_MaskWorld* mask, bool straight_destination, PF_EffectWorld& dst);

// The alpha mode of a call's destination. The host's own worlds (input, output) hold
// premultiplied colour. A world the plug-in made holds whatever the plug-in put there, which
// the host learns only from the call: with PF_MF_Alpha_STRAIGHT it is taken as straight, like
// the source, and left straight.
bool HasStraightDestination(PF_ModeFlags mode_flags, const PF_EffectWorld& dst);

}  // namespace quorvel::headless
