// SPDX-License-Identifier: MIT
#include "render/box_geometry.h"

#include <cmath>

namespace quorvel {
namespace {

double AnchorFraction(A_long popup_value) {
  switch (popup_value) {
    case 2:
      return 0.5;
    case 3:
      return 1.0;
    default:
      return 0.0;
  }
}

}  // namespace

double RemapRoundness(double roundness) {
  if (roundness == 0.0) {
    return 0.0;
  }
  const double a = std::fabs(std::cbrt(2000.0) - std::cbrt(20.0 * roundness)) + 1.0;
  double b = a * std::fabs(a);
  if (b > 15.0) {
    b = (std::fabs(15.0 - b) * 0.1 + 1.0) * b;
  }
  const double factor = b + 1.0;
  // Past this point the corners are indistinguishable from square ones; a fixed large factor
  // keeps the radius well below a pixel.
  return factor > 3327.0 ? 10000.0 : factor;
}

AnchorPoint AnchorOffset(A_long anchor_x, A_long anchor_y, A_long world_width,
                         A_long world_height) {
  return AnchorPoint{AnchorFraction(anchor_x) * static_cast<double>(world_width),
                     AnchorFraction(anchor_y) * static_cast<double>(world_height)};
}

Matrix3 BuildPlacementMatrix(PF_InData* in_data, const TransformSample& sample,
                             const TextBounds& bounds, double expansion_uniform,
                             double expansion_width, double expansion_height, double border_width,
                             ShapeKind shape, AnchorPoint anchor) {
  Matrix3 placement{};
  Matrix3Identity(placement);
  Matrix3Translate(placement, -anchor.x, -anchor.y);
  Matrix3Rotate(placement, in_data, sample.rotation);
  Matrix3Scale(placement, sample.scale_x, sample.scale_y);
  Matrix3Skew(placement, sample.skew_x, sample.skew_y);
  Matrix3Translate(placement, anchor.x, anchor.y);
  Matrix3Translate(placement, sample.position_x, sample.position_y);
  // The uniform expansion was rescaled with the horizontal factor, also where it acts
  // vertically.
  Matrix3Translate(placement, bounds.left - expansion_uniform, bounds.top - expansion_uniform);
  Matrix3Translate(placement, -expansion_width, -expansion_height);
  Matrix3Translate(placement, -border_width / 2, -border_width / 2);
  if (shape != ShapeKind::Auto) {
    // Squaring grew the shorter side; moving back by half the (negative) growth keeps the
    // square centred on the text.
    if (bounds.wider) {
      Matrix3Translate(placement, 0, bounds.growth_y / 2);
    } else {
      Matrix3Translate(placement, bounds.growth_x / 2, 0);
    }
  }
  return placement;
}

std::array<Matrix3, 2> BuildMotionBlurPlacement(
    PF_InData* in_data, const TransformSample& open_sample, const TextBounds& open_bounds,
    const TransformSample& close_sample, const TextBounds& close_bounds, double expansion_uniform,
    double expansion_width, double expansion_height, double border_width, ShapeKind shape,
    AnchorPoint anchor) {
  return {BuildPlacementMatrix(in_data, open_sample, open_bounds, expansion_uniform,
                               expansion_width, expansion_height, border_width, shape, anchor),
          BuildPlacementMatrix(in_data, close_sample, close_bounds, expansion_uniform,
                               expansion_width, expansion_height, border_width, shape, anchor)};
}

}  // namespace quorvel
