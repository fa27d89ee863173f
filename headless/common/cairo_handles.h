// SPDX-License-Identifier: MIT
// cairo's objects, owned.
#pragma once

#include <cairo.h>

#include "headless/common/owned.h"

namespace quorvel::headless {

using CairoPtr = Owned<cairo_t, cairo_destroy>;
using CairoSurfacePtr = Owned<cairo_surface_t, cairo_surface_destroy>;
using CairoPathPtr = Owned<cairo_path_t, cairo_path_destroy>;
using CairoFontOptionsPtr = Owned<cairo_font_options_t, cairo_font_options_destroy>;

}  // namespace quorvel::headless
