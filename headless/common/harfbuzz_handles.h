// SPDX-License-Identifier: MIT
// HarfBuzz's objects, owned.
#pragma once

#include <hb.h>

#include "headless/common/owned.h"

namespace quorvel::headless {

using HbBlobPtr = Owned<hb_blob_t, hb_blob_destroy>;
using HbFacePtr = Owned<hb_face_t, hb_face_destroy>;
using HbFontPtr = Owned<hb_font_t, hb_font_destroy>;
using HbBufferPtr = Owned<hb_buffer_t, hb_buffer_destroy>;

}  // namespace quorvel::headless
