// SPDX-License-Identifier: MIT
// FreeType's objects, owned.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include "headless/common/owned.h"

namespace quorvel::headless {

using FtFacePtr = Owned<FT_FaceRec_, FT_Done_Face>;

}  // namespace quorvel::headless
