// SPDX-License-Identifier: MIT
#include "headless/scene.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace quorvel::headless {
namespace {

// The first key later than the time; keys at the same time as it count as reached.
template <typename T>
typename std::vector<typename Animated<T>::Key>::const_iterator FirstKeyAfter(
    const Animated<T>& value, double seconds) {
  return std::upper_bound(
      value.keys.begin(), value.keys.end(), seconds,
      [](double time, const typename Animated<T>::Key& key) { return time < key.seconds; });
}

template <typename T>
const T& HeldValue(const Animated<T>& value, double seconds) {
  if (value.keys.empty()) return value.constant;
  const auto next = FirstKeyAfter(value, seconds);
  if (next == value.keys.begin()) return next->value;
  return std::prev(next)->value;
}

// The two keys around the time and how far the time is from the first to the second
// (0 to 1); both keys are the same one outside the keyed range.
template <typename T>
struct Bracket {
  const T* from;
  const T* to;
  double fraction;
};

template <typename T>
Bracket<T> BracketAt(const Animated<T>& value, double seconds) {
  const auto next = FirstKeyAfter(value, seconds);
  if (next == value.keys.begin()) return {&next->value, &next->value, 0.0};
  if (next == value.keys.end()) return {&value.keys.back().value, &value.keys.back().value, 0.0};
  const auto previous = std::prev(next);
  // upper_bound guarantees previous->seconds <= seconds < next->seconds, so the span is positive.
  const double fraction = (seconds - previous->seconds) / (next->seconds - previous->seconds);
  return {&previous->value, &next->value, fraction};
}

double Lerp(double from, double to, double fraction) {
  return from + (to - from) * fraction;
}

}  // namespace

A_long TextOutline::NumSegments() const {
  const size_t count = closed ? vertices.size() : (vertices.empty() ? 0 : vertices.size() - 1);
  const auto limit = static_cast<size_t>(std::numeric_limits<A_long>::max());
  return static_cast<A_long>(std::min(count, limit));
}

double Interpolate(const Animated<double>& value, double seconds) {
  if (value.keys.empty()) return value.constant;
  const Bracket<double> bracket = BracketAt(value, seconds);
  return Lerp(*bracket.from, *bracket.to, bracket.fraction);
}

Point2 Interpolate(const Animated<Point2>& value, double seconds) {
  if (value.keys.empty()) return value.constant;
  const Bracket<Point2> bracket = BracketAt(value, seconds);
  return {Lerp(bracket.from->x, bracket.to->x, bracket.fraction),
          Lerp(bracket.from->y, bracket.to->y, bracket.fraction)};
}

const std::string& Interpolate(const Animated<std::string>& value, double seconds) {
  return HeldValue(value, seconds);
}

const TextOutlines& Interpolate(const Animated<TextOutlines>& value, double seconds) {
  return HeldValue(value, seconds);
}

}  // namespace quorvel::headless
