// SPDX-License-Identifier: MIT
// Where the box behind the text ends up and what shape its corners have: the roundness
// curve, the anchor point and the placement matrix that maps box-world pixels to the output.
#pragma once

#include <array>

#include "hostapi/host_api.h"
#include "params/param_index.h"
#include "render/matrix3.h"
#include "text/text_bounds.h"

namespace quorvel {

// The six transform values at one instant.
struct TransformSample {
  double position_x = 0;  // pixels, as the host delivers them
  double position_y = 0;
  double rotation = 0;  // degrees, clockwise on screen
  double scale_x = 1;   // factors (percent x 0.01)
  double scale_y = 1;
  double skew_x = 0;  // shear factors (slider x 0.1)
  double skew_y = 0;
};

// The Roundness parameter (0 to 100) as the factor by which DrawBox divides the box's height
// to get the corner radius: 0 for square corners, 2 at 100, and 10000 for values so small
// (negative ones included) that the curve passes 3327.
double RemapRoundness(double roundness);

// The pivot of rotation, scale and skew, in box-world pixels.
struct AnchorPoint {
  double x = 0;
  double y = 0;
};

// The anchor popups (1 Left/Top, 2 Center, 3 Right/Bottom; any other value counts as 1) on a
// box world of the given size.
AnchorPoint AnchorOffset(A_long anchor_x, A_long anchor_y, A_long world_width, A_long world_height);

// The matrix that places the box world in the output for one sample and its measurement:
// rotation, scale and skew about the anchor, then Position, then the shifts that centre the
// box (with its expansion and border) on the text. The expansions and border width are the
// values as rescaled by the shutter-close measurement; border_width is 0 when the border is
// off. Throws PF_Err_BAD_CALLBACK_PARAM when the host cannot supply the rotation's sine and
// cosine (or gives no basic suite at all).
Matrix3 BuildPlacementMatrix(PF_InData* in_data, const TransformSample& sample,
                             const TextBounds& bounds, double expansion_uniform,
                             double expansion_width, double expansion_height, double border_width,
                             ShapeKind shape, AnchorPoint anchor);

// The two matrices of a motion-blurred frame, in the order the host blurs between them:
// [shutter open from open_sample and open_bounds, shutter close from close_sample and
// close_bounds], with the same expansions, border, shape and anchor for both.
std::array<Matrix3, 2> BuildMotionBlurPlacement(
    PF_InData* in_data, const TransformSample& open_sample, const TextBounds& open_bounds,
    const TransformSample& close_sample, const TextBounds& close_bounds, double expansion_uniform,
    double expansion_width, double expansion_height, double border_width, ShapeKind shape,
    AnchorPoint anchor);

}  // namespace quorvel
