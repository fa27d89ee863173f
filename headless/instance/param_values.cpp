// SPDX-License-Identifier: MIT
#include "headless/instance/param_values.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

namespace quorvel::headless {
namespace {

// Host values in 16.16 fixed point hold magnitudes below this.
constexpr double kFixedLimit = 32767;

// 16.16 fixed point from a value already checked to be in range.
PF_Fixed ToFixed(double value) {
  return static_cast<PF_Fixed>(std::lround(std::clamp(value, -kFixedLimit, kFixedLimit) * 65536.0));
}

double FromFixed(PF_Fixed value) {
  return static_cast<double>(value) / 65536.0;
}

// A host value in 16.16 must fit in 32 bits once rounded.
bool FitsFixed(double value) {
  return std::isfinite(value) && std::fabs(value) < kFixedLimit;
}

// The value brought within low..high; a range the plug-in gave upside down is left alone.
template <typename T>
T Within(T value, T low, T high) {
  return low <= high ? std::clamp(value, low, high) : value;
}

A_u_char MoveChannel(A_u_char from, A_u_char to, double progress) {
  const double channel = from + (to - from) * progress;
  return static_cast<A_u_char>(std::lround(std::clamp(channel, 0.0, 255.0)));
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

}  // namespace

ParamValue ParamValue::Number(double number) {
  ParamValue value;
  value.kind = Kind::kNumber;
  value.number = number;
  return value;
}

ParamValue ParamValue::Integer(int32_t integer) {
  ParamValue value;
  value.kind = Kind::kInteger;
  value.integer = integer;
  return value;
}

ParamValue ParamValue::Point(double x, double y) {
  ParamValue value;
  value.kind = Kind::kPoint;
  value.point = {x, y};
  return value;
}

ParamValue ParamValue::Color(PF_Pixel color) {
  ParamValue value;
  value.kind = Kind::kColor;
  value.color = color;
  return value;
}

ParamValue Interpolation<ParamValue>::Between(const ParamValue& from, const ParamValue& to,
                                              double progress) {
  ParamValue value = from;
  switch (from.kind) {
    case ParamValue::Kind::kNumber:
      value.number = Interpolation<double>::Between(from.number, to.number, progress);
      break;
    case ParamValue::Kind::kPoint:
      value.point = Interpolation<Point2>::Between(from.point, to.point, progress);
      break;
    case ParamValue::Kind::kColor:
      value.color.alpha = MoveChannel(from.color.alpha, to.color.alpha, progress);
      value.color.red = MoveChannel(from.color.red, to.color.red, progress);
      value.color.green = MoveChannel(from.color.green, to.color.green, progress);
      value.color.blue = MoveChannel(from.color.blue, to.color.blue, progress);
      break;
    case ParamValue::Kind::kInteger:
      break;
  }
  return value;
}

std::string ParamName(const PF_ParamDef& definition) {
  return std::string(definition.name, strnlen(definition.name, sizeof definition.name));
}

const char* ParamTypeName(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER:
      return "a layer";
    case PF_Param_SLIDER:
      return "an integer slider";
    case PF_Param_FIX_SLIDER:
      return "a fixed slider";
    case PF_Param_ANGLE:
      return "an angle";
    case PF_Param_CHECKBOX:
      return "a check box";
    case PF_Param_COLOR:
      return "a colour";
    case PF_Param_POINT:
      return "a point";
    case PF_Param_POPUP:
      return "a popup";
    case PF_Param_FLOAT_SLIDER:
      return "a slider";
    case PF_Param_GROUP_START:
      return "a group start";
    case PF_Param_GROUP_END:
      return "a group end";
    case PF_Param_BUTTON:
      return "a button";
    case PF_Param_ARBITRARY_DATA:
      return "arbitrary data";
    case PF_Param_PATH:
      return "a path";
    case PF_Param_POINT_3D:
      return "a 3D point";
    default:
      return "of an unknown type";
  }
}

// The known types are those ParamTypeName names.
bool IsKnownParamType(PF_ParamType type) {
  return std::strcmp(ParamTypeName(type), "of an unknown type") != 0;
}

bool HoldsValue(PF_ParamType type) {
  switch (type) {
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_FIX_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_SLIDER:
    case PF_Param_POPUP:
    case PF_Param_CHECKBOX:
    case PF_Param_POINT:
    case PF_Param_COLOR:
      return true;
    default:
      return false;
  }
}

ParamValue ValueOf(const PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
      return ParamValue::Number(def.u.fs_d.value);
    case PF_Param_FIX_SLIDER:
      return ParamValue::Number(FromFixed(def.u.fd.value));
    case PF_Param_ANGLE:
      return ParamValue::Number(FromFixed(def.u.ad.value));
    case PF_Param_SLIDER:
      return ParamValue::Integer(def.u.sd.value);
    case PF_Param_POPUP:
      return ParamValue::Integer(def.u.pd.value);
    case PF_Param_CHECKBOX:
      return ParamValue::Integer(def.u.bd.value);
    case PF_Param_POINT:
      return ParamValue::Point(FromFixed(def.u.td.x_value), FromFixed(def.u.td.y_value));
    case PF_Param_COLOR:
      return ParamValue::Color(def.u.cd.value);
    default:
      return ParamValue{};
  }
}

ParamValue CheckedValue(const PF_ParamDef& def, ParamValue value) {
  const std::string name = Quoted(ParamName(def));
  const std::string what = name + " is " + ParamTypeName(def.param_type);
  using Kind = ParamValue::Kind;
  // A whole number is a number too, for sliders and angles.
  const bool numeric = def.param_type == PF_Param_FLOAT_SLIDER ||
                       def.param_type == PF_Param_FIX_SLIDER || def.param_type == PF_Param_ANGLE;
  if (numeric && value.kind == Kind::kInteger) value = ParamValue::Number(value.integer);
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_FIX_SLIDER: {
      if (value.kind != Kind::kNumber) throw ParamError(what + " and takes a number");
      const bool is_float = def.param_type == PF_Param_FLOAT_SLIDER;
      const double low = is_float ? def.u.fs_d.valid_min : FromFixed(def.u.fd.valid_min);
      const double high = is_float ? def.u.fs_d.valid_max : FromFixed(def.u.fd.valid_max);
      if (!std::isfinite(value.number) || value.number < low || value.number > high) {
        std::ostringstream message;
        message << name << " takes values from " << low << " to " << high << ", not "
                << value.number;
        throw ParamError(message.str());
      }
      if (!is_float && !FitsFixed(value.number)) throw ParamError(name + ": value out of range");
      return value;
    }
    case PF_Param_ANGLE:
      if (value.kind != Kind::kNumber) throw ParamError(what + " and takes a number of degrees");
      if (!FitsFixed(value.number)) {
        throw ParamError(name + " takes angles between -32767 and 32767 degrees");
      }
      return value;
    case PF_Param_SLIDER:
      if (value.kind != Kind::kInteger) throw ParamError(what + " and takes a whole number");
      if (value.integer < def.u.sd.valid_min || value.integer > def.u.sd.valid_max) {
        throw ParamError(name + " takes values from " + std::to_string(def.u.sd.valid_min) +
                         " to " + std::to_string(def.u.sd.valid_max) + ", not " +
                         std::to_string(value.integer));
      }
      return value;
    case PF_Param_POPUP:
      if (value.kind != Kind::kInteger || value.integer < 1 ||
          value.integer > def.u.pd.num_choices) {
        throw ParamError(what + " and takes a choice from 1 to " +
                         std::to_string(def.u.pd.num_choices) + " (" + def.u.pd.u.namesptr + ")");
      }
      return value;
    case PF_Param_CHECKBOX:
      if (value.kind != Kind::kInteger || (value.integer != 0 && value.integer != 1)) {
        throw ParamError(what + " and takes on (1, true) or off (0, false)");
      }
      return value;
    case PF_Param_POINT:
      if (value.kind != Kind::kPoint) throw ParamError(what + " and takes x and y in pixels");
      if (!FitsFixed(value.point.x) || !FitsFixed(value.point.y)) {
        throw ParamError(name + " takes coordinates between -32767 and 32767 pixels");
      }
      return value;
    case PF_Param_COLOR:
      if (value.kind != Kind::kColor) throw ParamError(what + " and takes a colour");
      return value;
    default:
      throw ParamError(what + " and has no value to set");
  }
}

void StoreValue(const ParamValue& value, PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
      def.u.fs_d.value = Within<double>(value.number, def.u.fs_d.valid_min, def.u.fs_d.valid_max);
      break;
    case PF_Param_FIX_SLIDER:
      def.u.fd.value = Within(ToFixed(value.number), def.u.fd.valid_min, def.u.fd.valid_max);
      break;
    case PF_Param_ANGLE:
      def.u.ad.value = ToFixed(value.number);
      break;
    case PF_Param_SLIDER:
      def.u.sd.value = value.integer;
      break;
    case PF_Param_POPUP:
      def.u.pd.value = value.integer;
      break;
    case PF_Param_CHECKBOX:
      def.u.bd.value = value.integer;
      break;
    case PF_Param_POINT:
      def.u.td.x_value = ToFixed(value.point.x);
      def.u.td.y_value = ToFixed(value.point.y);
      break;
    case PF_Param_COLOR:
      def.u.cd.value = value.color;
      break;
    default:
      break;
  }
}

}  // namespace quorvel::headless
