// SPDX-License-Identifier: MIT
#include "headless/composition/keyframes.h"

#include <sstream>

namespace quorvel::headless {
namespace {

// One coordinate of the Bézier from 0 to 1 with inner control values a and b, at parameter t.
double BezierAt(double a, double b, double t) {
  const double u = 1 - t;
  return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
}

double BezierSlope(double a, double b, double t) {
  const double u = 1 - t;
  return 3 * u * u * a + 6 * u * t * (b - a) + 3 * t * t * (1 - b);
}

// The parameter t at which the curve's x is `x`. With both control x values within 0..1 the
// curve's x never falls, so there is one such t: Newton's steps find it quickly, and halving
// the interval that holds it finds it where they would leave it.
double ParameterAtX(double x1, double x2, double x) {
  constexpr double kTolerance = 1e-14;
  double t = x;
  for (int step = 0; step < 8; ++step) {
    const double error = BezierAt(x1, x2, t) - x;
    if (std::fabs(error) < kTolerance) return t;
    const double slope = BezierSlope(x1, x2, t);
    if (std::fabs(slope) < 1e-9) break;
    t -= error / slope;
    if (t < 0 || t > 1) break;
  }
  double low = 0;
  double high = 1;
  t = x;
  for (int step = 0; step < 64 && high - low > kTolerance; ++step) {
    if (BezierAt(x1, x2, t) < x) {
      low = t;
    } else {
      high = t;
    }
    t = (low + high) / 2;
  }
  return t;
}

}  // namespace

double Easing::Progress(double time_fraction) const {
  switch (kind) {
    case Kind::kLinear:
      return time_fraction;
    case Kind::kHold:
      return 0;
    case Kind::kBezier:
      break;
  }
  if (time_fraction <= 0) return 0;
  if (time_fraction >= 1) return 1;
  return BezierAt(y1, y2, ParameterAtX(x1, x2, time_fraction));
}

std::string Easing::Problem() const {
  if (kind != Kind::kBezier) return {};
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) {
    return "a Bézier easing's values must be numbers";
  }
  if (x1 < 0 || x1 > 1 || x2 < 0 || x2 > 1) {
    return "a Bézier easing's x values (the first and third) must lie within 0..1, so that "
           "time runs forward";
  }
  // Overshoot beyond ten times the way between two keys is no easing but a slip of the pen.
  if (std::fabs(y1) > 10 || std::fabs(y2) > 10) {
    return "a Bézier easing's y values (the second and fourth) must lie within -10..10";
  }
  return {};
}

std::string ShownSeconds(double seconds) {
  std::ostringstream text;
  text.precision(10);
  text << seconds;
  return text.str();
}

}  // namespace quorvel::headless
