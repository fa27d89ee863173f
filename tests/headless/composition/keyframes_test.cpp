// SPDX-License-Identifier: MIT
// Eased keyframes: each easing's values at a few times, against numbers worked out by hand from
// the curves, and the key lists the model refuses.
#include "headless/composition/keyframes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "headless/composition/scene.h"

namespace quorvel::headless {
namespace {

// A value going from 10 to 30 between 1 s and 3 s with the given easing.
Animated<double> TenToThirty(const Easing& easing) {
  return Animated<double>::Keyed({{1, 10, easing}, {3, 30}});
}

struct EasedValue {
  const char* name;
  Easing easing;
  double seconds;
  double expected;
};

// At time fraction u (seconds 1 + 2u) the curves give, with x(t) = t for the Easy Ease family
// (control x values 1/3 and 2/3): ease 3u² − 2u³, ease_in u + u² − u³, ease_out 2u² − u³.
// CSS's ease-in-out [0.42, 0, 0.58, 1] is symmetric about its middle.
TEST(Keyframes, EachEasingGivesTheValuesItsCurvePromises) {
  const std::vector<EasedValue> cases = {
      {"linear", Easing::Linear(), 1.5, 15},
      {"hold", Easing::Hold(), 2.9, 10},
      {"hold at the next key", Easing::Hold(), 3, 30},
      {"ease", Easing::Ease(), 1.5, 10 + 20 * 0.15625},  // u = 1/4
      {"ease", Easing::Ease(), 2, 20},                   // u = 1/2
      {"ease", Easing::Ease(), 2.5, 10 + 20 * 0.84375},  // u = 3/4
      {"ease_in", Easing::EaseIn(), 2, 10 + 20 * 0.625},
      {"ease_out", Easing::EaseOut(), 2, 10 + 20 * 0.375},
      {"ease_out", Easing::EaseOut(), 1.5, 10 + 20 * 0.109375},
      {"css ease-in-out", Easing::Bezier(0.42, 0, 0.58, 1), 2, 20},
      {"before the keys", Easing::Ease(), 0, 10},
      {"after the keys", Easing::Ease(), 9, 30},
  };
  for (const EasedValue& c : cases) {
    EXPECT_NEAR(TenToThirty(c.easing).At(c.seconds), c.expected, 1e-9)
        << c.name << " at " << c.seconds << " s";
  }
}

TEST(Keyframes, ABezierMayOvershootAndPointsMoveAlongIt) {
  // Control y values of 2 carry the value past the next key's: at t = 1/2 the curve's x is
  // 1/2 (by symmetry) and its y is 3·(1/4)·(1/2)·2 + 3·(1/2)·(1/4)·2 + 1/8 = 1.625.
  EXPECT_NEAR(TenToThirty(Easing::Bezier(0.5, 2, 0.5, 2)).At(2), 10 + 20 * 1.625, 1e-9);
  const auto path =
      Animated<Point2>::Keyed({{0, {0, 100}, Easing::Ease()}, {1, {40, 300}}}).At(0.5);
  EXPECT_NEAR(path.x, 20, 1e-9);
  EXPECT_NEAR(path.y, 200, 1e-9);
}

// Curves whose x is not their time, so that the solver for the time at x is what is checked:
// CSS's ease [0.25, 0.1, 0.25, 1] and ease-in [0.42, 0, 1, 1], against values found by
// bisecting x(t) to double precision outside this code (ease at x = 0.25 is 0.4085...).
TEST(Keyframes, AnAsymmetricBezierIsFollowedByItsX) {
  const struct {
    Easing easing;
    double x;
    double y;
  } points[] = {
      {Easing::Bezier(0.25, 0.1, 0.25, 1), 0.1, 0.09479630571604324},
      {Easing::Bezier(0.25, 0.1, 0.25, 1), 0.25, 0.40851059135539586},
      {Easing::Bezier(0.25, 0.1, 0.25, 1), 0.5, 0.802403387584857},
      {Easing::Bezier(0.25, 0.1, 0.25, 1), 0.75, 0.9604589783489741},
      {Easing::Bezier(0.25, 0.1, 0.25, 1), 0.9, 0.9943164774845563},
      {Easing::Bezier(0.42, 0, 1, 1), 0.25, 0.09346465071882484},
      {Easing::Bezier(0.42, 0, 1, 1), 0.5, 0.31535681257253945},
      {Easing::Bezier(0.42, 0, 1, 1), 0.75, 0.62186186917489},
  };
  for (const auto& point : points) {
    EXPECT_NEAR(TenToThirty(point.easing).At(1 + 2 * point.x), 10 + 20 * point.y, 1e-6)
        << "at x = " << point.x;
  }
}

// The span around a time over which a value stays what it is then: keys of the same value
// extend it whatever their easing, a held value ends at the key that changes it, and a value
// on its way between two different keys is the same at no other time.
TEST(Keyframes, AValueIsKnownConstantBetweenKeysThatKeepIt) {
  const auto keyed = [](std::vector<Animated<double>::Key> keys) {
    return Animated<double>::Keyed(std::move(keys));
  };
  const Animated<double> steps = keyed({{1, 10, Easing::Hold()},
                                        {2, 10, Easing::Bezier(0.5, 2, 0.5, 2)},
                                        {3, 10, Easing::Hold()},
                                        {4, 20, Easing::Linear()},
                                        {5, 30}});
  const struct {
    double at;
    double from;
    double until;
  } cases[] = {
      {0, -INFINITY, 4},    // before the keys the first key's value, kept to the key at 4 s
      {2.5, -INFINITY, 4},  // an overshooting easing between equal values moves nothing
      {3.99, -INFINITY, 4}, {4.5, 4.5, 4.5},  // moving from 20 to 30
      {6, 5, INFINITY},
  };
  for (const auto& c : cases) {
    const ConstantSpan span = steps.ConstantAround(c.at);
    EXPECT_EQ(span.from, c.from) << "at " << c.at;
    EXPECT_EQ(span.until, c.until) << "at " << c.at;
  }
  EXPECT_TRUE(steps.ConstantAround(2).Covers(0.5, 3.9));
  EXPECT_FALSE(steps.ConstantAround(2).Covers(0.5, 4));  // the value changes at 4 s
  EXPECT_FALSE(steps.ConstantAround(4.5).Covers(4.5, 4.5));
  EXPECT_TRUE(Animated<double>(7).ConstantAround(1e5).Covers(-1e6, 1e6));
  // Text holds between keys whatever they say.
  const auto text = Animated<std::string>::Keyed({{1, "a"}, {2, "a"}, {3, "b"}});
  EXPECT_TRUE(text.ConstantAround(1.5).Covers(0, 2.99));
  EXPECT_FALSE(text.ConstantAround(1.5).Covers(0, 3));
  // A value moving away from a key is that value at the key alone.
  const auto leaving = keyed({{1, 10}, {2, 20}});
  EXPECT_TRUE(leaving.ConstantAround(0).Covers(-5, 1));
  EXPECT_FALSE(leaving.ConstantAround(0).Covers(-5, 1.01));
}

TEST(Keyframes, TextHoldsWhateverTheEasing) {
  const auto text = Animated<std::string>::Keyed({{0, "A", Easing::Ease()}, {1, "B"}});
  EXPECT_EQ(text.At(0.99), "A");
  EXPECT_EQ(text.At(1), "B");
}

struct RefusedKeys {
  std::vector<Animated<double>::Key> keys;
  size_t key;
  std::string field;
  std::string message;
};

TEST(Keyframes, RefusedListsNameTheKeyAndWhy) {
  const std::vector<RefusedKeys> cases = {
      {{}, 0, "", "keyframes need at least one key"},
      {{{0, 1}, {2, 2}, {0, 3}}, 2, "t", "a keyframe at 0 s is already given at [0]"},
      {{{1e7, 1}}, 0, "t", "a key's time must be a number of seconds within -1000000..1000000"},
      {{{0, 1}, {1, 2, Easing::Bezier(1.5, 0, 0.5, 1)}}, 1, "easing", "x values"},
      {{{0, 1, Easing::Bezier(0.5, 11, 0.5, 1)}}, 0, "easing", "within -10..10"},
  };
  for (const RefusedKeys& c : cases) {
    try {
      Animated<double>::Keyed(c.keys);
      ADD_FAILURE() << "taken: " << c.message;
    } catch (const KeyframeError& error) {
      EXPECT_EQ(error.key(), c.key) << c.message;
      EXPECT_EQ(error.field(), c.field) << c.message;
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace quorvel::headless
