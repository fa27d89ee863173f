// SPDX-License-Identifier: MIT
// Cairo's paths as the outlines the plug-in is given, and back.
#pragma once

#include "headless/composition/scene.h"

// As cairo.h declares them; the header needs no cairo include path of its users.
typedef struct _cairo cairo_t;  // NOLINT(bugprone-reserved-identifier): cairo's own tag

namespace quorvel::headless {

// The path drawn so far as outlines; the path is emptied for what comes next.
TextOutlines TakePath(cairo_t* cairo);

// Adds an outline to cairo's path; one with a vertex that is not a finite number adds nothing.
void AppendOutline(cairo_t* cairo, const TextOutline& outline);

}  // namespace quorvel::headless
