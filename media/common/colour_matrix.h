// SPDX-License-Identifier: MIT
// The matrices that turn a frame's luma and chroma into red, green and blue.
#pragma once

namespace quorvel::media {

// kNone for frames stored as RGB (PNG, for one).
enum class ColourMatrix { kNone, kBt601, kBt709, kBt2020, kSmpte240m, kFcc };

// "BT.709", as messages and descriptions show it.
const char* ColourMatrixName(ColourMatrix matrix);

}  // namespace quorvel::media
