// SPDX-License-Identifier: MIT
// Composited pixels laid straight into a decoded frame's own planes. Y'CbCr is a linear
// transform of R'G'B', so laying a patch over the frame there gives what laying it over the
// frame's colour and converting back would give, up to rounding and chroma subsampling, with no
// conversion of the frame.
#pragma once

#include <string>

#include "hostapi/host_api.h"
#include "media/common/colour_matrix.h"

struct AVFrame;

namespace quorvel::media {

// How a frame's numbers are read as colour (as the footage reader read them).
struct YcbcrColour {
  ColourMatrix matrix = ColourMatrix::kBt709;
  bool full_range = false;
};

// Where a patch goes: its top-left pixel lands at (x, y) of the frame (anywhere: the patch is
// clipped to the frame), and the opacity its own alpha is taken at.
struct PatchPlacement {
  A_long x = 0;
  A_long y = 0;
  A_u_char opacity = 255;
};

// Whether frames of `pixel_format` (FFmpeg's AVPixelFormat) read in `colour` can take a patch:
// planar Y'CbCr of 8 to 12 bits, chroma whole or halved across and down (4:4:4, 4:2:2, 4:2:0,
// 4:4:0), read through a matrix (not RGB). False, with the reason, otherwise.
bool CanBlendPatch(int pixel_format, const YcbcrColour& colour, std::string& why);

// Lays `patch` (premultiplied ARGB) over `frame`. Only the luma samples under its pixels that
// are not transparent change, and the chroma samples whose luma block holds any of them; a
// chroma sample takes the mean of its block's pixels (those the patch leaves are the frame's
// own), so that partly covered chroma blends as its covered part. The frame is made writable
// first (av_frame_make_writable, which copies only buffers that are shared), so give it a
// reference of your own. False, with the reason, when the frame cannot take it
// (CanBlendPatch) or cannot be made writable.
bool BlendPatch(AVFrame& frame, const YcbcrColour& colour, const PF_EffectWorld& patch,
                const PatchPlacement& placement, std::string& why);

}  // namespace quorvel::media
