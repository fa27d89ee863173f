// SPDX-License-Identifier: MIT
#include "media/common/colour_matrix.h"

namespace quorvel::media {

const char* ColourMatrixName(ColourMatrix matrix) {
  switch (matrix) {
    case ColourMatrix::kBt601:
      return "BT.601";
    case ColourMatrix::kBt709:
      return "BT.709";
    case ColourMatrix::kBt2020:
      return "BT.2020";
    case ColourMatrix::kSmpte240m:
      return "SMPTE 240M";
    case ColourMatrix::kFcc:
      return "FCC";
    case ColourMatrix::kNone:
      break;
  }
  return "RGB";
}

}  // namespace quorvel::media
