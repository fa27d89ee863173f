// SPDX-License-Identifier: MIT
#include "params/params_setup.h"

#include <cstring>
#include <iterator>
#include <string>

#include "params/param_index.h"
#include "params/string_table.h"

namespace quorvel {
namespace {

// One parameter as registered. Which fields count depends on the type; the rest stay zero.
struct ParamRow {
  ParamIndex id;
  StringId name;
  PF_ParamType type;
  PF_ParamFlags flags;
  float default_value;  // sliders
  float minimum;        // sliders: valid and slider range alike
  float maximum;
  PF_ValueDisplayFlags display_flags;  // sliders
  int32_t default_choice;              // popups, from 1
  StringId strings;                    // popup choices, check box label
  PF_Pixel color;                      // colours, as alpha, red, green, blue
};

constexpr ParamRow FloatSlider(ParamIndex id, StringId name, PF_ParamFlags flags,
                               float default_value, float minimum, float maximum,
                               PF_ValueDisplayFlags display_flags) {
  return {id,      name,    PF_Param_FLOAT_SLIDER, flags, default_value,
          minimum, maximum, display_flags,         0,     kStringNone,
          {}};
}
constexpr ParamRow Popup(ParamIndex id, StringId name, PF_ParamFlags flags, int32_t default_choice,
                         StringId choices) {
  return {id, name, PF_Param_POPUP, flags, 0, 0, 0, 0, default_choice, choices, {}};
}
constexpr ParamRow CheckBox(ParamIndex id, StringId name, PF_ParamFlags flags, StringId label) {
  return {id, name, PF_Param_CHECKBOX, flags, 0, 0, 0, 0, 0, label, {}};
}
constexpr ParamRow Color(ParamIndex id, StringId name, PF_Pixel color) {
  return {id, name, PF_Param_COLOR, 0, 0, 0, 0, 0, 0, kStringNone, color};
}
constexpr ParamRow Point(ParamIndex id, StringId name) {
  return {id, name, PF_Param_POINT, 0, 0, 0, 0, 0, 0, kStringNone, {}};
}
constexpr ParamRow Angle(ParamIndex id, StringId name) {
  return {id, name, PF_Param_ANGLE, 0, 0, 0, 0, 0, 0, kStringNone, {}};
}
constexpr ParamRow GroupStart(ParamIndex id, StringId name, PF_ParamFlags flags) {
  return {id, name, PF_Param_GROUP_START, flags, 0, 0, 0, 0, 0, kStringNone, {}};
}
constexpr ParamRow GroupEnd(ParamIndex id) {
  return {id, kStringNone, PF_Param_GROUP_END, 0, 0, 0, 0, 0, 0, kStringNone, {}};
}

constexpr PF_ValueDisplayFlags kPercent = PF_ValueDisplayFlag_PERCENT;
constexpr PF_ValueDisplayFlags kPlain = PF_ValueDisplayFlag_NONE;
// Passed to the host as it is; nothing in the plug-in reads it.
constexpr PF_ParamFlags kReserved = PF_ParamFlag_RESERVED1;
constexpr PF_Pixel kOpaqueBlack = {255, 0, 0, 0};
constexpr PF_Pixel kOpaqueWhite = {255, 255, 255, 255};

// The effect controls, top to bottom.
constexpr ParamRow kParamRows[] = {
    Popup(ParamIndex::Shape, kStringShape, 0, ShapeKind::Auto, kStringShapeChoices),
    FloatSlider(ParamIndex::Roundness, kStringRoundness, 0, 0, 0, 100, kPercent),
    FloatSlider(ParamIndex::ExpansionUniform, kStringExpansionUniform, 0, 0, 0, 500, kPlain),
    FloatSlider(ParamIndex::ExpansionWidth, kStringExpansionWidth, 0, 0, 0, 500, kPlain),
    FloatSlider(ParamIndex::ExpansionHeight, kStringExpansionHeight, 0, 0, 0, 500, kPlain),
    Color(ParamIndex::FillColor, kStringFillColor, kOpaqueBlack),
    FloatSlider(ParamIndex::FillOpacity, kStringFillOpacity, 0, 100, 0, 100, kPercent),
    GroupStart(ParamIndex::TransformGroupStart, kStringTransformGroup,
               PF_ParamFlag_START_COLLAPSED),
    Point(ParamIndex::Position, kStringPosition),
    Angle(ParamIndex::Rotation, kStringRotation),
    CheckBox(ParamIndex::UniformScale, kStringUniformScale, PF_ParamFlag_CANNOT_TIME_VARY,
             kStringUniformScaleLabel),
    FloatSlider(ParamIndex::ScaleWidth, kStringScaleWidth, 0, 100, 0, 120, kPercent),
    FloatSlider(ParamIndex::ScaleHeight, kStringScaleHeight, PF_ParamFlag_SUPERVISE, 100, 0, 120,
                kPercent),
    FloatSlider(ParamIndex::SkewX, kStringSkewX, 0, 0, -5, 5, kPercent),
    FloatSlider(ParamIndex::SkewY, kStringSkewY, 0, 0, -5, 5, kPercent),
    Popup(ParamIndex::AnchorPointX, kStringAnchorPointX, PF_ParamFlag_CANNOT_TIME_VARY,
          AnchorX::Center, kStringAnchorXChoices),
    Popup(ParamIndex::AnchorPointY, kStringAnchorPointY, PF_ParamFlag_CANNOT_TIME_VARY,
          AnchorY::Center, kStringAnchorYChoices),
    GroupEnd(ParamIndex::TransformGroupEnd),
    CheckBox(ParamIndex::MatteTextToFill, kStringMatteTextToFill, 0, kStringMatteTextToFillLabel),
    CheckBox(ParamIndex::SubtractTextFromFill, kStringSubtractTextFromFill, 0,
             kStringSubtractTextFromFillLabel),
    GroupStart(ParamIndex::BorderGroupStart, kStringBorderGroup, PF_ParamFlag_START_COLLAPSED),
    CheckBox(ParamIndex::EnableBorder, kStringEnableBorder, 0, kStringEnableBorderLabel),
    FloatSlider(ParamIndex::BorderWidth, kStringBorderWidth, kReserved, 1, 0, 1500, kPlain),
    Color(ParamIndex::BorderColor, kStringBorderColor, kOpaqueWhite),
    FloatSlider(ParamIndex::BorderOpacity, kStringBorderOpacity, kReserved, 100, 0, 100, kPercent),
    GroupEnd(ParamIndex::BorderGroupEnd),
};

constexpr bool RowsMatchTheirPositions() {
  for (std::size_t row = 0; row < std::size(kParamRows); ++row) {
    if (kParamRows[row].id != static_cast<int32_t>(row + 1)) {
      return false;
    }
  }
  return true;
}

constexpr bool NamesFitTheHostsField() {
  for (const ParamRow& row : kParamRows) {
    if (std::char_traits<char>::length(StringTable::Text(row.name)) >
        PF_MAX_EFFECT_PARAM_NAME_LEN) {
      return false;
    }
  }
  return true;
}

static_assert(std::size(kParamRows) + 1 == ParamIndex::Count, "one row per parameter");
static_assert(RowsMatchTheirPositions(), "rows are in id order, the id being the position");
static_assert(NamesFitTheHostsField(), "names hold at most 31 characters");

// A popup's default choice is 1 to 3, so its 16-bit copy is exact.
void FillTypeRecord(const ParamRow& row, PF_ParamDef& def) {
  switch (row.type) {
    case PF_Param_FLOAT_SLIDER: {
      PF_FloatSliderDef& slider = def.u.fs_d;
      slider.value = static_cast<PF_FpLong>(row.default_value);
      slider.valid_min = row.minimum;
      slider.valid_max = row.maximum;
      slider.slider_min = row.minimum;
      slider.slider_max = row.maximum;
      slider.dephault = row.default_value;
      slider.precision = PF_Precision_HUNDREDTHS;
      slider.display_flags = row.display_flags;
      slider.curve_tolerance = 0.05f;
      break;
    }
    case PF_Param_POPUP: {
      PF_PopupDef& popup = def.u.pd;
      popup.value = row.default_choice;
      popup.num_choices = 3;
      popup.dephault = static_cast<A_short>(row.default_choice);
      popup.u.namesptr = StringTable::Text(row.strings);
      break;
    }
    case PF_Param_CHECKBOX: {
      PF_CheckBoxDef& check_box = def.u.bd;
      check_box.value = 0;
      check_box.dephault = 0;
      check_box.u.nameptr = StringTable::Text(row.strings);
      break;
    }
    case PF_Param_COLOR:
      def.u.cd.value = row.color;
      def.u.cd.dephault = row.color;
      break;
    default:
      // Point and angle start at zero, which the cleared record already holds; groups have
      // no type record.
      break;
  }
}

}  // namespace

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data) {
  for (const ParamRow& row : kParamRows) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    in_data->utils->ansi.strcpy(def.name, StringTable::Text(row.name));
    def.param_type = row.type;
    def.flags = row.flags;
    FillTypeRecord(row, def);
    def.uu.id = row.id;
    const PF_Err error = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    if (error != PF_Err_NONE) {
      return error;
    }
  }
  out_data->num_params = ParamIndex::Count;
  return PF_Err_NONE;
}

}  // namespace quorvel
