// SPDX-License-Identifier: MIT
#include "media/footage/orientation.h"

#include <cmath>

#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"

namespace quorvel::media {
namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

Orientation OrientationFromDisplayMatrix(const int32_t matrix[9]) {
  double x_of_x = matrix[0];
  const double y_of_x = matrix[1];
  double x_of_y = matrix[3];
  const double y_of_y = matrix[4];
  Orientation orientation;
  // A mirror turns the determinant negative; taken off, what is left is a rotation, whose
  // counter-clockwise angle is atan2(m[3], m[0]).
  orientation.mirrored = x_of_x * y_of_y - y_of_x * x_of_y < 0;
  if (orientation.mirrored) {
    x_of_x = -x_of_x;
    x_of_y = -x_of_y;
  }
  const double clockwise = -std::atan2(x_of_y, x_of_x) * 180 / kPi;
  const long quarters = std::lround(clockwise / 90);
  orientation.rotation = static_cast<int>(((quarters % 4) + 4) % 4) * 90;
  return orientation;
}

OrientedPlacement::OrientedPlacement(Orientation orientation, A_long width, A_long height)
    : source_width_(width), source_height_(height), turned_(orientation.rotation % 180 != 0) {
  // The rotation's matrix (cos, -sin; sin, cos) at the counter-clockwise angle, exact for
  // quarter turns; the mirror negates where x lands.
  static constexpr int kCos[] = {1, 0, -1, 0};
  static constexpr int kSin[] = {0, -1, 0, 1};  // of the angle, -90 degrees a quarter
  const int quarter = orientation.rotation / 90 % 4;
  const int mirror = orientation.mirrored ? -1 : 1;
  x_of_x_ = mirror * kCos[quarter];
  y_of_x_ = -kSin[quarter];
  x_of_y_ = mirror * kSin[quarter];
  y_of_y_ = kCos[quarter];
  // Shifted so that the frame lands in 0 .. size - 1.
  x0_ = (x_of_x_ < 0 ? width - 1 : 0) + (x_of_y_ < 0 ? height - 1 : 0);
  y0_ = (y_of_x_ < 0 ? width - 1 : 0) + (y_of_y_ < 0 ? height - 1 : 0);
}

void OrientedPlacement::Lay(const PF_Pixel* source, std::ptrdiff_t stride, bool premultiply,
                            PF_EffectWorld& world) const {
  // Steps in pixels of the world: a row of the world is rowbytes / 4 pixels (a multiple of 16
  // bytes).
  const std::ptrdiff_t row = world.rowbytes / static_cast<std::ptrdiff_t>(sizeof(PF_Pixel));
  const std::ptrdiff_t step_x = x_of_x_ + y_of_x_ * row;
  PF_Pixel* const origin = headless::WorldRow(world, 0);
  for (A_long y = 0; y < source_height_; ++y) {
    const auto* in = reinterpret_cast<const PF_Pixel*>(
        reinterpret_cast<const unsigned char*>(source) + y * stride);
    PF_Pixel* out = origin + (x0_ + x_of_y_ * y) + (y0_ + y_of_y_ * y) * row;
    if (premultiply) {
      for (A_long x = 0; x < source_width_; ++x, out += step_x) *out = headless::Premultiply(in[x]);
    } else {
      for (A_long x = 0; x < source_width_; ++x, out += step_x) *out = in[x];
    }
  }
}

}  // namespace quorvel::media
