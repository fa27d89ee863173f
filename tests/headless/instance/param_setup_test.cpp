// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>

#include "headless/instance/effect_instance.h"
#include "tests/headless/test_effect.h"

namespace quorvel::headless {
namespace {

using test::TestEffect;

const char kShapeChoices[] = "Auto|Square|Circle";
const char kEmptyLabel[] = "";

// Parameter set-up of three parameters, stopping at the first error as a plug-in does.
PF_Err AddThree(PF_Cmd command, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef**) {
  if (command != PF_Cmd_PARAMS_SETUP) return PF_Err_NONE;
  PF_ParamDef def = test::Popup(in_data, "Shape", 1, kShapeChoices, 3, 1);
  if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) return err;
  def = test::FloatSlider(in_data, "Roundness", 2, 0, 0, 100);
  if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) return err;
  def = test::Typed(in_data, "Uniform Scale", 3, PF_Param_CHECKBOX, PF_ParamFlag_CANNOT_TIME_VARY);
  def.u.bd.u.nameptr = kEmptyLabel;
  if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) return err;
  out_data->num_params = 4;
  return PF_Err_NONE;
}

TEST(AddParam, PutsTheInputLayerFirstAndAppendsEachDefinition) {
  TestEffect effect;
  effect.OnCommand(AddThree);
  ASSERT_EQ(effect.instance.ParamsSetup().err, PF_Err_NONE);
  ASSERT_EQ(effect.instance.NumParams(), 4);
  EXPECT_EQ(effect.instance.Definition(0).param_type, PF_Param_LAYER);
  EXPECT_EQ(effect.instance.ParamName(1), "Shape");
  EXPECT_EQ(effect.instance.Definition(1).uu.id, 1);
  EXPECT_EQ(effect.instance.Definition(2).u.fs_d.valid_max, 100.0f);
  EXPECT_EQ(effect.instance.Definition(3).flags, PF_ParamFlag_CANNOT_TIME_VARY);
  EXPECT_EQ(effect.instance.out_data().num_params, 4);
}

TEST(AddParam, KeepsThePlugInsStaticChoiceAndLabelStrings) {
  TestEffect effect;
  effect.OnCommand(AddThree);
  effect.instance.ParamsSetup();
  EXPECT_EQ(effect.instance.Definition(1).u.pd.u.namesptr, kShapeChoices);
  EXPECT_EQ(effect.instance.Definition(3).u.bd.u.nameptr, kEmptyLabel);
}

TEST(AddParam, CopiesTheDefinitionDuringTheCall) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    PF_ParamDef def = test::FloatSlider(in_data, "Roundness", 2, 10, 0, 100);
    in_data->inter.add_param(in_data->effect_ref, -1, &def);
    def.u.fs_d.value = 99;  // the stack record is reused, as plug-ins do
    std::strcpy(def.name, "Changed");
    return PF_Err_NONE;
  });
  effect.instance.ParamsSetup();
  EXPECT_EQ(effect.instance.ParamName(1), "Roundness");
  EXPECT_EQ(effect.instance.Definition(1).u.fs_d.value, 10.0);
}

TEST(AddParam, FailsTheNthCallWithTheGivenCode) {
  TestEffect effect;
  effect.instance.faults().FailCall(FailingCall::kAddParam, 2, PF_Err_OUT_OF_MEMORY);
  effect.OnCommand(AddThree);
  EXPECT_EQ(effect.instance.ParamsSetup().err, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(effect.instance.NumParams(), 2);  // the input layer and the first parameter
  EXPECT_EQ(effect.instance.out_data().num_params, 0);
}

TEST(AddParam, RefusesAnyIndexButAppend) {
  TestEffect effect;
  PF_Err err = PF_Err_NONE;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    PF_ParamDef def = test::FloatSlider(in_data, "Roundness", 2, 0, 0, 100);
    err = in_data->inter.add_param(in_data->effect_ref, 1, &def);
    return PF_Err_NONE;
  });
  effect.instance.ParamsSetup();
  EXPECT_EQ(err, PF_Err_INVALID_INDEX);
  EXPECT_EQ(effect.instance.NumParams(), 1);
}

TEST(AddParam, RefusesCallsOutsideParameterSetUp) {
  TestEffect effect;
  PF_Err err = PF_Err_NONE;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    PF_ParamDef def = test::FloatSlider(in_data, "Roundness", 2, 0, 0, 100);
    err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    return PF_Err_NONE;
  });
  effect.instance.GlobalSetup();
  EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
}

TEST(AddParam, RefusesAPopupWhoseChoicesDoNotMatchItsCount) {
  TestEffect effect;
  PF_Err err = PF_Err_NONE;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    PF_ParamDef def = test::Popup(in_data, "Shape", 1, kShapeChoices, 4, 1);
    err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    return PF_Err_NONE;
  });
  effect.instance.ParamsSetup();
  EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
}

TEST(AddParam, RefusesANameThatDoesNotEndInItsField) {
  TestEffect effect;
  PF_Err err = PF_Err_NONE;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    PF_ParamDef def = test::FloatSlider(in_data, "Roundness", 2, 0, 0, 100);
    std::memset(def.name, 'n', sizeof def.name);
    err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    return PF_Err_NONE;
  });
  effect.instance.ParamsSetup();
  EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
}

TEST(AddParam, StartsAfreshOnEachParameterSetUp) {
  TestEffect effect;
  effect.OnCommand(AddThree);
  effect.instance.ParamsSetup();
  effect.instance.ParamsSetup();
  EXPECT_EQ(effect.instance.NumParams(), 4);
}

}  // namespace
}  // namespace quorvel::headless
