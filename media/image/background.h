// SPDX-License-Identifier: MIT
// A frame laid over the composition's background as a file stores it: one rule for PNG images
// and for every video format.
#pragma once

#include "headless/pixels/composite.h"
#include "hostapi/host_api.h"

namespace quorvel::media {

// What a file's pixels are laid over, premultiplied: the background colour (straight, with its
// own alpha); in a file without alpha, that colour laid over black, so that a transparent
// background is black there and a partly transparent one shows as it would over black.
PF_Pixel BackdropFor(const PF_Pixel& background, bool file_has_alpha);

// A frame's pixel (premultiplied) laid over the backdrop, straight, as files and encoders take
// it. Over an opaque backdrop every pixel comes out opaque.
inline PF_Pixel LaidOverBackdrop(const PF_Pixel& pixel, const PF_Pixel& backdrop) {
  // Opaque and empty pixels, most of a frame, need no arithmetic.
  if (pixel.alpha == 255) return pixel;
  if (pixel.alpha == 0) return backdrop.alpha == 255 ? backdrop : headless::Unpremultiply(backdrop);
  const PF_Pixel laid = headless::Over(pixel, backdrop);
  return laid.alpha == 255 ? laid : headless::Unpremultiply(laid);
}

}  // namespace quorvel::media
