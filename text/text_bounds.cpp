// SPDX-License-Identifier: MIT
#include "text/text_bounds.h"

#include <cmath>
#include <limits>

namespace quorvel {
namespace {

constexpr A_long kNoPixels = std::numeric_limits<A_long>::min();

// Converts a value already whole to A_long, or gives kNoPixels when it is outside the range
// (NaN included: every comparison with it is false).
A_long WholeToLong(double whole) {
  constexpr double kLowest = static_cast<double>(std::numeric_limits<A_long>::min());
  constexpr double kHighest = static_cast<double>(std::numeric_limits<A_long>::max());
  if (!(whole >= kLowest && whole <= kHighest)) {
    return kNoPixels;
  }
  return static_cast<A_long>(whole);
}

}  // namespace

void TextBoundsAccumulator::Vertex(double x, double y, bool first) {
  if (first) {
    bounds_.left = bounds_.right = x;
    bounds_.top = bounds_.bottom = y;
  }
  if (x > bounds_.right) bounds_.right = x;
  if (x < bounds_.left) bounds_.left = x;
  if (y > bounds_.bottom) bounds_.bottom = y;
  if (y < bounds_.top) bounds_.top = y;
}

double DownsampleFactor(const PF_RationalScale& ratio) {
  if (ratio.den == 0) {
    return 1.0;
  }
  return static_cast<double>(static_cast<float>(ratio.num) / static_cast<float>(ratio.den));
}

A_long WholePixels(double size) {
  return WholeToLong(std::ceil(size));
}

A_long ScaleWholePixels(A_long pixels, double factor) {
  return WholeToLong(std::trunc(static_cast<double>(pixels) * factor));
}

void MeasureTextBounds(PF_InData* in_data, A_long& motion_blur_flag, ShapeKind shape,
                       TextBounds& bounds, bool at_shutter_open, double& expansion_uniform,
                       double& expansion_width, double& expansion_height, double& border_width) {
  bounds = TextBounds{};
  TextBoundsAccumulator accumulator(bounds);
  QueryTextOutlines(in_data, at_shutter_open, motion_blur_flag, accumulator);

  const double factor_x = DownsampleFactor(in_data->downsample_x);
  const double factor_y = DownsampleFactor(in_data->downsample_y);

  bounds.width = bounds.right - bounds.left;
  bounds.height = bounds.bottom - bounds.top;
  bounds.width = (2 * expansion_uniform + bounds.width) + 2 * expansion_width;
  bounds.height = (2 * expansion_uniform + bounds.height) + 2 * expansion_height;
  // Whole pixels are taken at full resolution and only then scaled.
  bounds.pixel_width = WholePixels(bounds.width);
  bounds.pixel_height = WholePixels(bounds.height);

  bounds.wider = bounds.width > bounds.height;
  const double larger_side = bounds.wider ? bounds.width : bounds.height;
  if (shape != ShapeKind::Auto) {
    if (bounds.wider) {
      bounds.growth_y = bounds.height - bounds.width;
      bounds.height = bounds.width;
      bounds.pixel_height = bounds.pixel_width;
    } else {
      bounds.growth_x = bounds.width - bounds.height;
      bounds.width = bounds.height;
      bounds.pixel_width = bounds.pixel_height;
    }
  }

  // Only the shutter-close measurement writes the border width back, so only it limits it.
  if (!at_shutter_open && larger_side < border_width) {
    border_width = std::trunc(larger_side);
  }

  bounds.left *= factor_x;
  bounds.right *= factor_x;
  bounds.width *= factor_x;
  bounds.growth_x *= factor_x;
  bounds.pixel_width = ScaleWholePixels(bounds.pixel_width, factor_x);

  if (!at_shutter_open) {
    // The uniform expansion and the border width act both ways but follow the horizontal
    // factor, as every later use of them expects.
    expansion_uniform *= factor_x;
    expansion_width *= factor_x;
    expansion_height *= factor_y;
    border_width *= factor_x;
  }

  bounds.top *= factor_y;
  bounds.bottom *= factor_y;
  bounds.height *= factor_y;
  bounds.growth_y *= factor_y;
  bounds.pixel_height = ScaleWholePixels(bounds.pixel_height, factor_y);
}

}  // namespace quorvel
