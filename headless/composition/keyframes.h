// SPDX-License-Identifier: MIT
// Values over time, for scene properties and effect parameters alike: a constant, or keys at
// distinct times, each saying how the value travels from it to the next key.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::headless {

// How the value travels from one key to the next, as a curve of the fraction of the way
// travelled over the fraction of the time passed: a cubic Bézier from (0, 0) to (1, 1) with
// control points (x1, y1) and (x2, y2), as CSS cubic-bezier() writes it, or a hold.
struct Easing {
  enum class Kind { kLinear, kHold, kBezier };

  Kind kind = Kind::kLinear;
  double x1 = 0, y1 = 0, x2 = 1, y2 = 1;

  static Easing Linear() { return {}; }
  // The value stays until the next key, then jumps.
  static Easing Hold() { return {Kind::kHold}; }
  // After Effects' Easy Ease: at rest at both keys, each with an influence of 1/3.
  static Easing Ease() { return Bezier(1.0 / 3, 0, 2.0 / 3, 1); }
  // Leaves this key at rest and reaches the next at the segment's average speed (After
  // Effects' Easy Ease Out on this key).
  static Easing EaseOut() { return Bezier(1.0 / 3, 0, 2.0 / 3, 2.0 / 3); }
  // Leaves this key at the average speed and comes to rest at the next (Easy Ease In on it).
  static Easing EaseIn() { return Bezier(1.0 / 3, 1.0 / 3, 2.0 / 3, 1); }
  static Easing Bezier(double x1, double y1, double x2, double y2) {
    return {Kind::kBezier, x1, y1, x2, y2};
  }

  // The fraction of the way travelled when `time_fraction` (0 to 1) of the time has passed.
  // Linear gives the time fraction itself; a Bézier may leave 0..1 (overshoot).
  double Progress(double time_fraction) const;
  // Why the easing cannot be used (an x outside 0..1, a value not finite), or empty.
  std::string Problem() const;
};

// A key list the model cannot take. `key` is the index of the offending key in the list as
// given; `field` names its part ("t" for the time, "easing"), or is empty for the whole list.
class KeyframeError : public std::runtime_error {
 public:
  KeyframeError(const std::string& message, size_t key, std::string field)
      : std::runtime_error(message), key_(key), field_(std::move(field)) {}
  size_t key() const { return key_; }
  const std::string& field() const { return field_; }

 private:
  size_t key_;
  std::string field_;
};

// How values of a type move between two keys. Types without a specialisation hold (text,
// outlines); a specialisation gives Between(from, to, progress) for progress from 0 to 1 and
// beyond it, and may hold for some values (Holds).
template <typename T>
struct Interpolation {
  static constexpr bool kMoves = false;
  static bool Holds(const T&) { return true; }
  static T Between(const T& from, const T&, double) { return from; }
};

template <>
struct Interpolation<double> {
  static constexpr bool kMoves = true;
  static bool Holds(double) { return false; }
  static double Between(double from, double to, double progress) {
    return from + (to - from) * progress;
  }
};

// Keys at the greatest and least time a scene may give, in seconds.
inline constexpr double kMaxKeySeconds = 1e6;

// Whether two values are the same, for knowing when an animated value does not change. Types
// without a specialisation are never taken as the same (their frames are never shared).
template <typename T>
struct Sameness {
  static bool Same(const T& a, const T& b) { return a == b; }
};

// A stretch of time [from, until) over which a value stays the same.
struct ConstantSpan {
  double from = 0;
  double until = 0;

  bool Covers(double first, double last) const { return from <= first && last < until; }
  ConstantSpan Within(const ConstantSpan& other) const {
    return {std::max(from, other.from), std::min(until, other.until)};
  }
  static ConstantSpan Always() { return {-INFINITY, INFINITY}; }
};

template <typename T>
struct Animated {
  struct Key {
    double seconds = 0;
    T value{};
    Easing easing{};  // from this key to the next
  };
  T constant{};
  std::vector<Key> keys;  // sorted by time, distinct times

  Animated() = default;
  Animated(T value) : constant(std::move(value)) {}  // NOLINT: a constant reads naturally
  bool IsAnimated() const { return !keys.empty(); }

  // Keys as given, in any order: at least one, at finite times within kMaxKeySeconds, no two
  // at one time, with usable easings; else a KeyframeError. The constant becomes the first key's
  // value (what holds before the keys begin).
  static Animated Keyed(std::vector<Key> given);

  // The value at a time. Before the first key the first key's value holds, after the last the
  // last's; between two keys the earlier key's easing carries the value to the later one.
  T At(double seconds) const;

  // The longest span around a time over which the value is what it is then, or an empty span
  // at the time when it is moving: keys around it that hold that value, or carry it to a key
  // of the same value (whatever the easing), extend it; a key that changes it ends it.
  ConstantSpan ConstantAround(double seconds) const;

 private:
  // Whether the value stays the same from key `index` to the next.
  bool Flat(size_t index) const;
};

std::string ShownSeconds(double seconds);

template <typename T>
Animated<T> Animated<T>::Keyed(std::vector<Key> given) {
  if (given.empty()) throw KeyframeError("keyframes need at least one key", 0, "");
  std::vector<size_t> order(given.size());
  for (size_t i = 0; i < given.size(); ++i) {
    order[i] = i;
    const double seconds = given[i].seconds;
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxKeySeconds) {
      throw KeyframeError("a key's time must be a number of seconds within -" +
                              ShownSeconds(kMaxKeySeconds) + ".." + ShownSeconds(kMaxKeySeconds),
                          i, "t");
    }
    if (const std::string problem = given[i].easing.Problem(); !problem.empty()) {
      throw KeyframeError(problem, i, "easing");
    }
  }
  // Sorted stably, two keys at one time sit side by side, the earlier in the list first.
  std::stable_sort(order.begin(), order.end(),
                   [&given](size_t a, size_t b) { return given[a].seconds < given[b].seconds; });
  Animated animated;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && given[order[i]].seconds == given[order[i - 1]].seconds) {
      throw KeyframeError("a keyframe at " + ShownSeconds(given[order[i]].seconds) +
                              " s is already given at [" + std::to_string(order[i - 1]) + "]",
                          order[i], "t");
    }
    animated.keys.push_back(std::move(given[order[i]]));
  }
  animated.constant = animated.keys.front().value;
  return animated;
}

template <typename T>
T Animated<T>::At(double seconds) const {
  if (keys.empty()) return constant;
  // The first key later than the time; keys at the time itself count as reached.
  const auto next =
      std::upper_bound(keys.begin(), keys.end(), seconds,
                       [](double time, const Key& key) { return time < key.seconds; });
  if (next == keys.begin()) return next->value;
  const Key& from = *std::prev(next);
  if (next == keys.end() || from.easing.kind == Easing::Kind::kHold || !Interpolation<T>::kMoves ||
      Interpolation<T>::Holds(from.value)) {
    return from.value;
  }
  // upper_bound guarantees from.seconds <= seconds < next->seconds: the span is positive.
  const double fraction = (seconds - from.seconds) / (next->seconds - from.seconds);
  return Interpolation<T>::Between(from.value, next->value, from.easing.Progress(fraction));
}

template <typename T>
bool Animated<T>::Flat(size_t index) const {
  const Key& from = keys[index];
  return from.easing.kind == Easing::Kind::kHold || !Interpolation<T>::kMoves ||
         Interpolation<T>::Holds(from.value) ||
         Sameness<T>::Same(from.value, keys[index + 1].value);
}

template <typename T>
ConstantSpan Animated<T>::ConstantAround(double seconds) const {
  if (keys.empty()) return ConstantSpan::Always();
  // The piece the time lies in: before the first key (0), from key i - 1 to key i (i), or after
  // the last key (keys.size()).
  const auto next =
      std::upper_bound(keys.begin(), keys.end(), seconds,
                       [](double time, const Key& key) { return time < key.seconds; });
  const auto piece = static_cast<size_t>(next - keys.begin());
  if (piece > 0 && piece < keys.size() && !Flat(piece - 1)) return {seconds, seconds};
  const T& value = piece == 0 ? keys.front().value : keys[piece - 1].value;
  ConstantSpan span{-INFINITY, INFINITY};
  // Backwards: key i starts the piece; the piece before it must be flat at the same value.
  for (size_t i = piece; i-- > 0;) {
    if (!Sameness<T>::Same(keys[i].value, value) || (i > 0 && !Flat(i - 1)) ||
        (i > 0 && !Sameness<T>::Same(keys[i - 1].value, value))) {
      span.from = keys[i].seconds;
      break;
    }
  }
  // Forwards: the piece ends at key i; past it only when that key keeps the value and the piece
  // after it is flat.
  for (size_t i = piece; i < keys.size(); ++i) {
    if (!Sameness<T>::Same(keys[i].value, value)) {
      span.until = keys[i].seconds;
      break;
    }
    if (i + 1 < keys.size() && !Flat(i)) {
      // The value leaves this key moving: it is the same at the key itself only.
      span.until = std::nextafter(keys[i].seconds, INFINITY);
      break;
    }
  }
  return span;
}

}  // namespace quorvel::headless
