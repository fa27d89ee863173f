// SPDX-License-Identifier: MIT
// The 3x3 matrix with which every 2-D placement of a drawn world is described.
//
// Points are row vectors (x, y, 1) multiplied from the left, p' = p x M, so the translation
// sits in the third row. Every builder appends its transform (M := M x N): a chain of builder
// calls reads in the order in which the transforms act on a point.
#pragma once

#include <cstddef>
#include <type_traits>

#include "hostapi/host_api.h"

namespace quorvel {

// Nine doubles in row-major order: m[3 * row + column]. The layout is the host's
// PF_FloatMatrix, so a Matrix3 (or an array of them) goes to the host unchanged.
struct Matrix3 {
  double m[9];
};

static_assert(std::is_standard_layout_v<Matrix3> && std::is_trivially_copyable_v<Matrix3>,
              "Matrix3 is a plain record");
static_assert(sizeof(Matrix3) == sizeof(PF_FloatMatrix) && offsetof(Matrix3, m) == 0 &&
                  offsetof(PF_FloatMatrix, mat) == 0 &&
                  sizeof(PF_FloatMatrix::mat[0][0]) == sizeof(double),
              "Matrix3 has the host's matrix layout");

// Degrees to radians, the factor used at every angle interface.
inline constexpr double kRadiansPerDegree = 0.017453292519943295;

// M := identity.
PF_Err Matrix3Identity(Matrix3& m);

// M := M x N, every entry summed as (k = 0 + k = 1) + k = 2 from the old values of M.
void Matrix3Multiply(const Matrix3& n, Matrix3& m);

// Appends a translation by (tx, ty); always applied.
PF_Err Matrix3Translate(Matrix3& m, double tx, double ty);

// Appends a scale by (sx, sy); nothing happens when both are exactly 1.
PF_Err Matrix3Scale(Matrix3& m, double sx, double sy);

// Appends a shear: x' = x + kx * y, y' = ky * x + y; always applied.
PF_Err Matrix3Skew(Matrix3& m, double kx, double ky);

// Appends a rotation about the origin by `degrees` (clockwise on screen with y pointing down),
// with sine and cosine taken from the host's "PF ANSI Suite". Nothing is appended for exactly
// 0 degrees. Throws PF_Err_BAD_CALLBACK_PARAM when in_data carries no basic suite (whatever the
// angle) or when the host refuses the ANSI suite; M is then unchanged.
PF_Err Matrix3Rotate(Matrix3& m, PF_InData* in_data, double degrees);

// The same nine values as the host's record.
PF_FloatMatrix ToHostMatrix(const Matrix3& m);

}  // namespace quorvel
