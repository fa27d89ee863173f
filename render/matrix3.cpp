// SPDX-License-Identifier: MIT
#include "render/matrix3.h"

#include "host/suite_cache.h"

namespace quorvel {

PF_Err Matrix3Identity(Matrix3& m) {
  m = Matrix3{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  return PF_Err_NONE;
}

void Matrix3Multiply(const Matrix3& n, Matrix3& m) {
  Matrix3 product{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      product.m[3 * row + column] = m.m[3 * row + 0] * n.m[0 + column] +
                                    m.m[3 * row + 1] * n.m[3 + column] +
                                    m.m[3 * row + 2] * n.m[6 + column];
    }
  }
  m = product;
}

PF_Err Matrix3Translate(Matrix3& m, double tx, double ty) {
  Matrix3Multiply(Matrix3{{1, 0, 0, 0, 1, 0, tx, ty, 1}}, m);
  return PF_Err_NONE;
}

PF_Err Matrix3Scale(Matrix3& m, double sx, double sy) {
  if (sx == 1.0 && sy == 1.0) {
    return PF_Err_NONE;
  }
  Matrix3Multiply(Matrix3{{sx, 0, 0, 0, sy, 0, 0, 0, 1}}, m);
  return PF_Err_NONE;
}

PF_Err Matrix3Skew(Matrix3& m, double kx, double ky) {
  Matrix3Multiply(Matrix3{{1, ky, 0, kx, 1, 0, 0, 0, 1}}, m);
  return PF_Err_NONE;
}

PF_Err Matrix3Rotate(Matrix3& m, PF_InData* in_data, double degrees) {
  // The cache is made before the angle is looked at, so a host without a basic suite is
  // reported even for a rotation that would add nothing.
  SuiteCache suites(in_data != nullptr ? in_data->pica_basicP : nullptr);
  if (degrees == 0.0) {
    return PF_Err_NONE;
  }
  const double radians = degrees * kRadiansPerDegree;
  const PF_ANSICallbacksSuite1* ansi = suites.ANSISuite();
  // The host's own functions, sine first, so the result matches the host's arithmetic.
  const double sine = ansi->sin(radians);
  const double cosine = ansi->cos(radians);
  Matrix3Multiply(Matrix3{{cosine, sine, 0, -sine, cosine, 0, 0, 0, 1}}, m);
  return PF_Err_NONE;
}

PF_FloatMatrix ToHostMatrix(const Matrix3& m) {
  PF_FloatMatrix host{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      host.mat[row][column] = m.m[3 * row + column];
    }
  }
  return host;
}

}  // namespace quorvel
