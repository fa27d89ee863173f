// SPDX-License-Identifier: MIT
// Effect parameter values as a user gives them, and how they meet the definitions the plug-in
// registered: checked against a definition's type and range, read from it and written into it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "headless/composition/keyframes.h"
#include "headless/composition/scene.h"
#include "hostapi/host_api.h"

namespace quorvel::headless {

// A parameter value in the units the effect controls show: sliders and angles (degrees) as
// numbers, popups (1-based) and check boxes (0 or 1) as integers, points in pixels, colours as
// 8-bit alpha, red, green, blue.
struct ParamValue {
  enum class Kind { kNumber, kInteger, kPoint, kColor };

  static ParamValue Number(double number);
  static ParamValue Integer(int32_t integer);
  static ParamValue Boolean(bool on) { return Integer(on ? 1 : 0); }
  static ParamValue Point(double x, double y);
  static ParamValue Color(PF_Pixel color);

  Kind kind = Kind::kNumber;
  double number = 0;
  int32_t integer = 0;
  Point2 point;
  PF_Pixel color{};
};

// Numbers, points and colours move between keys; choices (popups, check boxes, whole-number
// sliders) hold.
template <>
struct Interpolation<ParamValue> {
  static constexpr bool kMoves = true;
  static bool Holds(const ParamValue& value) { return value.kind == ParamValue::Kind::kInteger; }
  static ParamValue Between(const ParamValue& from, const ParamValue& to, double progress);
};

template <>
struct Sameness<ParamValue> {
  static bool Same(const ParamValue& a, const ParamValue& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
      case ParamValue::Kind::kNumber:
        return a.number == b.number;
      case ParamValue::Kind::kInteger:
        return a.integer == b.integer;
      case ParamValue::Kind::kPoint:
        return Sameness<Point2>::Same(a.point, b.point);
      case ParamValue::Kind::kColor:
        return a.color.alpha == b.color.alpha && a.color.red == b.color.red &&
               a.color.green == b.color.green && a.color.blue == b.color.blue;
    }
    return false;
  }
};

// A parameter value the instance cannot take (unknown name, wrong type, out of range, keys
// on a parameter that cannot vary in time); the message names the parameter.
class ParamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The definition's display name, ending within its field.
std::string ParamName(const PF_ParamDef& definition);
// "a slider", "a popup", ... for messages.
const char* ParamTypeName(PF_ParamType type);
bool IsKnownParamType(PF_ParamType type);
// True for the types that hold a value (sliders, angles, popups, check boxes, points, colours).
bool HoldsValue(PF_ParamType type);

// The value the definition carries, in user units.
ParamValue ValueOf(const PF_ParamDef& definition);
// The value made to fit the definition's type, or a ParamError saying why it cannot.
ParamValue CheckedValue(const PF_ParamDef& definition, ParamValue value);
// Writes a checked value into the definition. A value that easing carried past the
// definition's range is brought back within it, as a host keeps a control in its range.
void StoreValue(const ParamValue& value, PF_ParamDef& definition);

}  // namespace quorvel::headless
