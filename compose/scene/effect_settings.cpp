// SPDX-License-Identifier: MIT
#include "compose/scene/effect_settings.h"

#include <cstring>
#include <utility>

#include "compose/document/nearest_name.h"

namespace quorvel::compose {
namespace {

using headless::ParamValue;

// Host values in 16.16 fixed point hold magnitudes below this.
constexpr double kFixedLimit = 32767;

double FromFixed(PF_Fixed value) {
  return static_cast<double>(value) / 65536.0;
}

const char* KindOfNonValue(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER:
      return "the input layer";
    case PF_Param_GROUP_START:
    case PF_Param_GROUP_END:
      return "a group";
    default:
      return "a control without a value";
  }
}

// The effect's colour controls carry no alpha, as in After Effects: a colour given with one
// is refused, pointing to the opacity control beside it ("Fill Opacity" for "Fill Color").
PF_Pixel ReadOpaqueColor(const JsonPlace& place, const std::string& opacity_control) {
  const PF_Pixel color = ReadColor(place);
  if (color.alpha != 255) {
    place.Fail("the effect's colours are opaque" +
               (opacity_control.empty() ? std::string() : "; use \"" + opacity_control + "\""));
  }
  return color;
}

// The control named like a colour control with "Opacity" for "Color", if the effect has one.
std::string OpacityControlFor(const headless::EffectInstance& instance, const std::string& name) {
  const std::string suffix = " Color";
  if (name.size() <= suffix.size() ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return {};
  }
  std::string opacity = name.substr(0, name.size() - suffix.size()) + " Opacity";
  for (int index = 0; index < instance.NumParams(); ++index) {
    if (instance.ParamName(index) == opacity) return opacity;
  }
  return {};
}

// One value as the scene file writes it, in the form the definition's type takes.
ParamValue ReadParamValue(const JsonPlace& place, const PF_ParamDef& definition,
                          const std::string& opacity_control) {
  switch (definition.param_type) {
    case PF_Param_FLOAT_SLIDER:
      return ParamValue::Number(
          ReadNumber(place, definition.u.fs_d.valid_min, definition.u.fs_d.valid_max));
    case PF_Param_FIX_SLIDER:
      return ParamValue::Number(ReadNumber(place, FromFixed(definition.u.fd.valid_min),
                                           FromFixed(definition.u.fd.valid_max)));
    case PF_Param_SLIDER:
      return ParamValue::Integer(static_cast<int32_t>(
          ReadWholeNumber(place, definition.u.sd.valid_min, definition.u.sd.valid_max)));
    case PF_Param_ANGLE:
      return ParamValue::Number(ReadNumber(place, -kFixedLimit, kFixedLimit));
    case PF_Param_POPUP: {
      const std::vector<std::string> choices = PopupChoices(definition);
      const std::string choice = ReadChoice(place, choices);
      for (size_t i = 0; i < choices.size(); ++i) {
        if (choices[i] == choice) return ParamValue::Integer(static_cast<int32_t>(i + 1));
      }
      return ParamValue::Integer(1);
    }
    case PF_Param_CHECKBOX:
      return ParamValue::Boolean(ReadBool(place));
    case PF_Param_COLOR:
      return ParamValue::Color(ReadOpaqueColor(place, opacity_control));
    case PF_Param_POINT: {
      const headless::Point2 point = ReadPoint(place, kFixedLimit);
      return ParamValue::Point(point.x, point.y);
    }
    default:
      place.Fail(std::string("this is ") + KindOfNonValue(definition.param_type) +
                 " and takes no value");
  }
}

// The registered parameter of that display name, or a SceneError listing the names there are.
int FindControl(const headless::EffectInstance& instance, const JsonPlace& place,
                const std::string& name) {
  std::vector<std::string> names;
  for (int index = 0; index < instance.NumParams(); ++index) {
    const PF_ParamDef& definition = instance.Definition(index);
    if (instance.ParamName(index) == name && !name.empty()) {
      if (!TakesValue(definition)) {
        place.Fail(std::string("this is ") + KindOfNonValue(definition.param_type) +
                   " and takes no value");
      }
      return index;
    }
    if (TakesValue(definition)) names.push_back(instance.ParamName(index));
  }
  std::string list;
  for (const std::string& known : names) list += (list.empty() ? "\"" : ", \"") + known + "\"";
  place.Fail("the effect has no control of this name" +
             SuggestionOr(name, names, "; its controls are " + list));
}

}  // namespace

bool TakesValue(const PF_ParamDef& definition) {
  switch (definition.param_type) {
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_FIX_SLIDER:
    case PF_Param_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_POPUP:
    case PF_Param_CHECKBOX:
    case PF_Param_COLOR:
    case PF_Param_POINT:
      return true;
    default:
      return false;
  }
}

std::vector<std::string> PopupChoices(const PF_ParamDef& definition) {
  std::vector<std::string> choices;
  const char* names = definition.u.pd.u.namesptr;
  if (names == nullptr) return choices;
  const char* start = names;
  for (const char* c = names;; ++c) {
    if (*c == '|' || *c == '\0') {
      choices.emplace_back(start, static_cast<size_t>(c - start));
      if (*c == '\0' || static_cast<int>(choices.size()) == definition.u.pd.num_choices) break;
      start = c + 1;
    }
  }
  return choices;
}

void ApplyEffectSettings(const std::string& file, const SceneLayer& layer,
                         headless::EffectInstance& instance) {
  if (!layer.effect) return;
  const JsonPlace effect(*layer.effect, file, layer.effect_path);
  for (const auto& member : layer.effect->items()) {
    const JsonPlace place = effect.Member(member.key());
    const int index = FindControl(instance, place, member.key());
    const PF_ParamDef& definition = instance.Definition(index);
    const std::string opacity_control = OpacityControlFor(instance, member.key());
    const auto read = [&definition, &opacity_control](const JsonPlace& value) {
      return ReadParamValue(value, definition, opacity_control);
    };
    try {
      if (!IsKeyframeList(place.value())) {
        instance.SetConstant(index, read(place));
        continue;
      }
      if ((definition.flags & PF_ParamFlag_CANNOT_TIME_VARY) != 0) {
        place.Fail("this control cannot vary in time; give one value, not keyframes");
      }
      // Choices hold from key to key.
      const KeyEasing easing =
          headless::Interpolation<ParamValue>::Holds(headless::ValueOf(definition))
              ? KeyEasing::kRefused
              : KeyEasing::kAllowed;
      instance.SetKeys(index, ReadKeyframes<ParamValue>(place, read, easing).keys);
    } catch (const headless::ParamError& error) {
      // The host checks what it stores as well; whatever it still refuses is told here.
      place.Fail(error.what());
    }
  }
}

}  // namespace quorvel::compose
