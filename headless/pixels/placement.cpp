// SPDX-License-Identifier: MIT
#include "headless/pixels/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "headless/pixels/fill.h"

namespace quorvel::headless {
namespace {

// Below this a placement squeezes the source to nothing visible.
constexpr double kMinDeterminant = 1e-12;

bool IsFinite(const Affine& m) {
  return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d) &&
         std::isfinite(m.e) && std::isfinite(m.f);
}

Affine FromRowVectorMatrix(const PF_FloatMatrix& m) {
  return {m.mat[0][0], m.mat[1][0], m.mat[2][0], m.mat[0][1], m.mat[1][1], m.mat[2][1]};
}

std::optional<Affine> Inverse(const Affine& m) {
  const double det = m.a * m.e - m.b * m.d;
  if (!std::isfinite(det) || std::fabs(det) < kMinDeterminant) return std::nullopt;
  Affine inverse{m.e / det, -m.b / det, 0.0, -m.d / det, m.a / det, 0.0};
  inverse.c = -(inverse.a * m.c + inverse.b * m.f);
  inverse.f = -(inverse.d * m.c + inverse.e * m.f);
  if (!IsFinite(inverse)) return std::nullopt;
  return inverse;
}

}  // namespace

bool IsAffineMatrix(const PF_FloatMatrix& matrix) {
  for (const auto& row : matrix.mat) {
    for (const double value : row) {
      if (!std::isfinite(value)) return false;
    }
  }
  return matrix.mat[0][2] == 0.0 && matrix.mat[1][2] == 0.0 && matrix.mat[2][2] == 1.0;
}

PF_FloatMatrix PathPoint(const PF_FloatMatrix* matrices, A_long count, double t) {
  const double position = t * static_cast<double>(count - 1);
  const A_long segment = std::min(static_cast<A_long>(position), count - 2);
  const double fraction = position - static_cast<double>(segment);
  const PF_FloatMatrix& from = matrices[segment];
  const PF_FloatMatrix& to = matrices[segment + 1];
  PF_FloatMatrix point{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      const double start = from.mat[row][column];
      point.mat[row][column] = start + (to.mat[row][column] - start) * fraction;
    }
  }
  return point;
}

std::optional<Placement> Place(const PF_FloatMatrix& matrix, bool src2dst,
                               const PF_EffectWorld& src, const PF_Rect& region) {
  const Affine given = FromRowVectorMatrix(matrix);
  const std::optional<Affine> inverse = Inverse(given);
  if (!inverse) return std::nullopt;
  const Affine& to_dest = src2dst ? given : *inverse;
  const Affine& to_source = src2dst ? *inverse : given;

  const double width = src.width;
  const double height = src.height;
  const double corners[4][2] = {{0, 0}, {width, 0}, {0, height}, {width, height}};
  double min_x = INFINITY, min_y = INFINITY, max_x = -INFINITY, max_y = -INFINITY;
  for (const auto& corner : corners) {
    const double x = to_dest.a * corner[0] + to_dest.b * corner[1] + to_dest.c;
    const double y = to_dest.d * corner[0] + to_dest.e * corner[1] + to_dest.f;
    if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
    min_x = std::min(min_x, x);
    max_x = std::max(max_x, x);
    min_y = std::min(min_y, y);
    max_y = std::max(max_y, y);
  }
  // One pixel more each way for the filter's footprint; clamped in double before converting,
  // as the corners may lie anywhere.
  const auto clamp = [](double value, A_long low, A_long high) {
    return static_cast<A_long>(
        std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
  };
  const PF_Rect reach{clamp(std::floor(min_x) - 1, region.left, region.right),
                      clamp(std::floor(min_y) - 1, region.top, region.bottom),
                      clamp(std::ceil(max_x) + 1, region.left, region.right),
                      clamp(std::ceil(max_y) + 1, region.top, region.bottom)};
  if (IsEmptyRect(reach)) return std::nullopt;
  return Placement{to_source, reach};
}

PF_Rect Union(const PF_Rect& a, const PF_Rect& b) {
  if (IsEmptyRect(a)) return b;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

std::optional<pixman_transform> ReachToSource(const Placement& placement) {
  const Affine& to_source = placement.to_source;
  const double left = placement.reach.left;
  const double top = placement.reach.top;
  pixman_f_transform exact{};
  exact.m[0][0] = to_source.a;
  exact.m[0][1] = to_source.b;
  exact.m[0][2] = to_source.a * left + to_source.b * top + to_source.c;
  exact.m[1][0] = to_source.d;
  exact.m[1][1] = to_source.e;
  exact.m[1][2] = to_source.d * left + to_source.e * top + to_source.f;
  exact.m[2][2] = 1.0;
  pixman_transform fixed;
  if (!pixman_transform_from_pixman_f_transform(&fixed, &exact)) return std::nullopt;
  return fixed;
}

PF_Rect Intersection(const PF_Rect& a, const PF_Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

std::pair<A_long, A_long> SourceRowsFor(const Placement& placement, A_long top, A_long bottom,
                                        A_long source_height) {
  const Affine& m = placement.to_source;
  const double xs[2] = {static_cast<double>(placement.reach.left),
                        static_cast<double>(placement.reach.right)};
  const double ys[2] = {static_cast<double>(top), static_cast<double>(bottom)};
  double low = INFINITY;
  double high = -INFINITY;
  for (const double x : xs) {
    for (const double y : ys) {
      const double source_y = m.d * x + m.e * y + m.f;
      low = std::min(low, source_y);
      high = std::max(high, source_y);
    }
  }
  const double first = std::clamp(std::floor(low) - 2, 0.0, static_cast<double>(source_height));
  const double last = std::clamp(std::ceil(high) + 2, 0.0, static_cast<double>(source_height));
  return {static_cast<A_long>(first), static_cast<A_long>(last)};
}

std::optional<pixman_transform> MovedUp(const pixman_transform& transform, A_long first) {
  const int64_t moved =
      static_cast<int64_t>(transform.matrix[1][2]) - static_cast<int64_t>(first) * 65536;
  if (moved < INT32_MIN || moved > INT32_MAX) return std::nullopt;
  pixman_transform shifted = transform;
  shifted.matrix[1][2] = static_cast<pixman_fixed_t>(moved);
  return shifted;
}

}  // namespace quorvel::headless
