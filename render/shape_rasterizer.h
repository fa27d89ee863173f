// SPDX-License-Identifier: MIT
// Draws the box behind the text with cairo into host worlds: the fill and, when the border is
// on, the border, each in its own world, in the box's own pixel frame (origin at the world's
// top-left corner, y down). Placement happens later, when the worlds are composited.
#pragma once

#include <cstdint>

#include "hostapi/host_api.h"
#include "text/text_bounds.h"

namespace quorvel {

// The refcon of the colour pass: the flat colour every pixel of the drawn world receives.
struct ColorContext {
  PF_Pixel color;
};

// The largest width or height of a cairo image surface; a larger world is not drawn.
inline constexpr A_long kMaxSurfaceSide = 32767;

// Draws a rectangle with square corners (roundness_factor exactly 0) or with corners of radius
// height / roundness_factor. Each drawn world ends up holding straight colour: red, green and
// blue equal to the parameter colour in every pixel, alpha the shape's coverage times the
// opacity. Returns the error of the fill's colour pass if it failed, else that of the border's
// colour pass, else PF_Err_NONE; throws PF_Err_BAD_CALLBACK_PARAM when a host suite is missing.
// A pass the host cannot give memory or pixels for is skipped and its world stays as it was.
PF_Err DrawBox(PF_InData* in_data, PF_EffectWorld* fill_world, PF_EffectWorld* border_world,
               PF_Pixel fill_color, double fill_opacity, double roundness_factor,
               bool border_enabled, double border_width, PF_Pixel border_color,
               double border_opacity, const TextBounds* bounds);

// Draws a circle of diameter bounds->width (the box of a circle is square), with its border
// centred on the circle's edge in the middle of the border world. Results as for DrawBox.
PF_Err DrawCircle(PF_InData* in_data, PF_EffectWorld* fill_world, PF_EffectWorld* border_world,
                  PF_Pixel fill_color, double fill_opacity, bool border_enabled,
                  double border_width, PF_Pixel border_color, double border_opacity,
                  const TextBounds* bounds);

// Moves a cairo ARGB32 image of exactly the world's size into the world: each world pixel's
// alpha, red, green and blue bytes become cairo's alpha and premultiplied red, green and blue.
// Returns PF_Err_NONE, or, when the host gives no address for the world's pixels, the host's
// error (PF_Err_BAD_CALLBACK_PARAM if it reported none) with the world left untouched.
PF_Err CopySurfaceToWorld(PF_InData* in_data, PF_EffectWorld* world, void* staging_cell,
                          const unsigned char* surface_data, int surface_stride);

// The per-pixel function of the colour pass: sets the out pixel's red, green and blue to the
// context's colour and leaves its alpha alone. Does nothing without a context.
PF_Err SetPixelColor(void* refcon, A_long x, A_long y, PF_Pixel* in, PF_Pixel* out);

}  // namespace quorvel
