// SPDX-License-Identifier: MIT
#include "params/params_setup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/in_process_host.h"

namespace quorvel {
namespace {

// One registered parameter as the effect controls are documented. Which fields count depends
// on the type: sliders use the default, range and percent; popups the default choice and the
// choices; check boxes the label; colours the colour.
struct ExpectedParam {
  int32_t id;
  std::string name;
  PF_ParamType type;
  PF_ParamFlags flags;
  double default_value;
  float minimum;
  float maximum;
  bool percent;
  std::string strings;
  PF_Pixel color;
};

// Names the row in failure messages instead of dumping its bytes.
void PrintTo(const ExpectedParam& param, std::ostream* out) {
  *out << "id " << param.id << " \"" << param.name << "\"";
}

ExpectedParam Slider(int32_t id, std::string name, PF_ParamFlags flags, double default_value,
                     float minimum, float maximum, bool percent) {
  return {id,      std::move(name), PF_Param_FLOAT_SLIDER,
          flags,   default_value,   minimum,
          maximum, percent,         "",
          {}};
}
ExpectedParam Popup(int32_t id, std::string name, PF_ParamFlags flags, int default_choice,
                    std::string choices) {
  return {id, std::move(name), PF_Param_POPUP,     flags, static_cast<double>(default_choice), 0,
          0,  false,           std::move(choices), {}};
}
ExpectedParam CheckBox(int32_t id, std::string name, PF_ParamFlags flags) {
  return {id, std::move(name), PF_Param_CHECKBOX, flags, 0, 0, 0, false, "", {}};
}
ExpectedParam Color(int32_t id, std::string name, PF_Pixel color) {
  return {id, std::move(name), PF_Param_COLOR, 0, 0, 0, 0, false, "", color};
}
ExpectedParam Other(int32_t id, std::string name, PF_ParamType type, PF_ParamFlags flags) {
  return {id, std::move(name), type, flags, 0, 0, 0, false, "", {}};
}

const std::vector<ExpectedParam>& ExpectedParams() {
  static const std::vector<ExpectedParam> params = {
      Popup(1, "Shape", 0, 1, "Auto|Square|Circle"),
      Slider(2, "Roundness", 0, 0, 0, 100, true),
      Slider(3, "Expansion Uniform", 0, 0, 0, 500, false),
      Slider(4, "Expansion Width", 0, 0, 0, 500, false),
      Slider(5, "Expansion Height", 0, 0, 0, 500, false),
      Color(6, "Fill Color", {255, 0, 0, 0}),
      Slider(7, "Fill Opacity", 0, 100, 0, 100, true),
      Other(8, "Transformation Offsets", PF_Param_GROUP_START, 0x20),
      Other(9, "Position", PF_Param_POINT, 0),
      Other(10, "Rotation", PF_Param_ANGLE, 0),
      CheckBox(11, "Uniform Scale", 0x2),
      Slider(12, "Scale Width", 0, 100, 0, 120, true),
      Slider(13, "Scale Height", 0x40, 100, 0, 120, true),
      Slider(14, "Skew X", 0, 0, -5, 5, true),
      Slider(15, "Skew Y", 0, 0, -5, 5, true),
      Popup(16, "Anchor Point X", 0x2, 2, "Left|Center|Right"),
      Popup(17, "Anchor Point Y", 0x2, 2, "Top|Center|Bottom"),
      Other(18, "", PF_Param_GROUP_END, 0),
      CheckBox(19, "Matte Text to Fill", 0),
      CheckBox(20, "Subtract Text from Fill", 0),
      Other(21, "Border Parameters", PF_Param_GROUP_START, 0x20),
      CheckBox(22, "Enable Border", 0),
      Slider(23, "Border Width", 0x1, 1, 0, 1500, false),
      Color(24, "Border Color", {255, 255, 255, 255}),
      Slider(25, "Border Opacity", 0x1, 100, 0, 100, true),
      Other(26, "", PF_Param_GROUP_END, 0),
  };
  return params;
}

bool AllZero(const void* bytes, std::size_t size) {
  const auto* byte = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    if (byte[i] != 0) return false;
  }
  return true;
}

uint32_t FloatBits(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

class ParamsSetupTest : public test_support::InstanceTest {
 protected:
  void SetUp() override {
    instance_.out_data().num_params = kHostNumParams;
    result_ = Checked(instance_.ParamsSetup());
  }

  static constexpr A_long kHostNumParams = 1;
  headless::CommandResult result_;
};

TEST_F(ParamsSetupTest, AddsTwentySixParametersWithIds1To26InOrderThenSetsNumParamsTo27) {
  EXPECT_EQ(result_.err, PF_Err_NONE);
  std::vector<std::string> add_params;
  for (const std::string& call : HostCalls()) {
    if (call.rfind("add_param", 0) == 0) add_params.push_back(call);
  }
  ASSERT_EQ(add_params.size(), 26u);
  for (int id = 1; id <= 26; ++id) {
    EXPECT_EQ(add_params[static_cast<std::size_t>(id - 1)],
              "add_param -1 id " + std::to_string(id));
  }
  EXPECT_EQ(result_.out_data.num_params, 27);
  EXPECT_EQ(instance_.NumParams(), 27);
}

TEST_F(ParamsSetupTest, CopiesEachNameWithTheHostsStrcpy) {
  std::size_t strcpy_calls = 0;
  for (const std::string& call : HostCalls()) {
    strcpy_calls += call == "strcpy" ? 1u : 0u;
  }
  EXPECT_EQ(strcpy_calls, 26u);
}

class ParamDefinition : public ::testing::TestWithParam<ExpectedParam> {
 protected:
  static void SetUpTestSuite() {
    instance_ = std::make_unique<headless::EffectInstance>(&EntryPointFunc);
    const headless::CommandResult result = instance_->ParamsSetup();
    test_support::ExpectHoldsNothing(result);
    ASSERT_EQ(result.err, PF_Err_NONE);
  }
  static void TearDownTestSuite() { instance_.reset(); }

  // Registered once for the whole table.
  static std::unique_ptr<headless::EffectInstance> instance_;
};

std::unique_ptr<headless::EffectInstance> ParamDefinition::instance_;

TEST_P(ParamDefinition, IsRegisteredAsDocumented) {
  const ExpectedParam& expected = GetParam();
  ASSERT_LT(expected.id, instance_->NumParams());
  const PF_ParamDef& def = instance_->Definition(expected.id);
  EXPECT_EQ(def.uu.id, expected.id);
  EXPECT_EQ(def.param_type, expected.type);
  EXPECT_EQ(def.flags, expected.flags);
  EXPECT_EQ(std::string(def.name), expected.name);
  EXPECT_EQ(def.ui_flags, 0);
  EXPECT_EQ(def.ui_width, 0);
  EXPECT_EQ(def.ui_height, 0);
  EXPECT_TRUE(AllZero(def.name + expected.name.size(), sizeof def.name - expected.name.size()));

  switch (expected.type) {
    case PF_Param_FLOAT_SLIDER: {
      const PF_FloatSliderDef& slider = def.u.fs_d;
      EXPECT_EQ(slider.value, expected.default_value);
      EXPECT_EQ(slider.dephault, static_cast<float>(expected.default_value));
      EXPECT_EQ(slider.valid_min, expected.minimum);
      EXPECT_EQ(slider.valid_max, expected.maximum);
      EXPECT_EQ(slider.slider_min, expected.minimum);
      EXPECT_EQ(slider.slider_max, expected.maximum);
      EXPECT_EQ(slider.precision, 2);
      EXPECT_EQ(slider.display_flags, expected.percent ? 1 : 0);
      EXPECT_EQ(FloatBits(slider.curve_tolerance), 0x3D4CCCCDu);
      EXPECT_EQ(slider.phase, 0.0);
      EXPECT_TRUE(AllZero(slider.value_desc, sizeof slider.value_desc));
      EXPECT_EQ(slider.fs_flags, 0u);
      EXPECT_EQ(slider.useExponent, 0);
      EXPECT_EQ(slider.exponent, 0.0f);
      break;
    }
    case PF_Param_POPUP: {
      const PF_PopupDef& popup = def.u.pd;
      EXPECT_EQ(popup.value, static_cast<int32_t>(expected.default_value));
      EXPECT_EQ(popup.dephault, static_cast<int16_t>(expected.default_value));
      EXPECT_EQ(popup.num_choices, 3);
      ASSERT_NE(popup.u.namesptr, nullptr);
      EXPECT_EQ(std::string(popup.u.namesptr), expected.strings);
      break;
    }
    case PF_Param_CHECKBOX: {
      const PF_CheckBoxDef& check_box = def.u.bd;
      EXPECT_EQ(check_box.value, 0);
      EXPECT_EQ(check_box.dephault, 0);
      ASSERT_NE(check_box.u.nameptr, nullptr);
      EXPECT_EQ(std::string(check_box.u.nameptr), "");
      break;
    }
    case PF_Param_COLOR:
      for (const PF_Pixel& pixel : {def.u.cd.value, def.u.cd.dephault}) {
        EXPECT_EQ(pixel.alpha, expected.color.alpha);
        EXPECT_EQ(pixel.red, expected.color.red);
        EXPECT_EQ(pixel.green, expected.color.green);
        EXPECT_EQ(pixel.blue, expected.color.blue);
      }
      break;
    default:
      // Points and angles start at zero (x, y, defaults, restrict_bounds); groups carry no
      // type record.
      EXPECT_TRUE(AllZero(&def.u, sizeof def.u));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(ParamsSetup, ParamDefinition, ::testing::ValuesIn(ExpectedParams()),
                         [](const ::testing::TestParamInfo<ExpectedParam>& param_info) {
                           return "Id" + std::to_string(param_info.param.id);
                         });

class ParamsSetupFailureTest : public test_support::InstanceTest {};

TEST_F(ParamsSetupFailureTest, TenthAddParamFailureEndsSetUpWithItsCode) {
  constexpr PF_Err kHostError = PF_Err_OUT_OF_MEMORY;
  constexpr A_long kHostNumParams = 1;
  instance_.faults().FailCall(headless::FailingCall::kAddParam, 10, kHostError);
  instance_.out_data().num_params = kHostNumParams;
  const headless::CommandResult result = Checked(instance_.ParamsSetup());
  EXPECT_EQ(result.err, kHostError);
  std::size_t add_params = 0;
  for (const std::string& call : HostCalls()) {
    add_params += call.rfind("add_param", 0) == 0 ? 1u : 0u;
  }
  EXPECT_EQ(add_params, 10u);
  EXPECT_EQ(result.out_data.num_params, kHostNumParams);
  // The input layer and the nine parameters added before the failure stay.
  EXPECT_EQ(instance_.NumParams(), 10);
}

TEST_F(ParamsSetupFailureTest, FirstAddParamFailureAddsNothing) {
  instance_.faults().FailCall(headless::FailingCall::kAddParam, 1, PF_Err_INVALID_INDEX);
  const headless::CommandResult result = Checked(instance_.ParamsSetup());
  EXPECT_EQ(result.err, PF_Err_INVALID_INDEX);
  EXPECT_EQ(instance_.NumParams(), 1);
}

}  // namespace
}  // namespace quorvel
