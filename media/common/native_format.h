// SPDX-License-Identifier: MIT
// Frames as a decoder gives them, in FFmpeg's own numbers (kept as ints, so that this header needs
// none of FFmpeg's): what a writer needs to take them as they are and to tag its output so that
// players read its colour as the frames were read.
#pragma once

namespace quorvel::media {

struct NativeFormat {
  int pixel_format = -1;  // AVPixelFormat; -1 (AV_PIX_FMT_NONE) when there is none
  // AVColorSpace and AVColorRange as the frames were read: as tagged, or as assumed when not.
  int colour_space = 2;  // AVCOL_SPC_UNSPECIFIED
  int colour_range = 0;  // AVCOL_RANGE_UNSPECIFIED
  // AVColorPrimaries and AVColorTransferCharacteristic as tagged: nothing reads them on the way
  // through, so an untagged file's stay untagged.
  int primaries = 2;  // AVCOL_PRI_UNSPECIFIED
  int transfer = 2;   // AVCOL_TRC_UNSPECIFIED
};

}  // namespace quorvel::media
