// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "headless/instance/effect_instance.h"
#include "tests/headless/test_effect.h"
#include "tests/headless/text_matchers.h"

namespace quorvel::headless {
namespace {

using test::HasSubstr;

const char kShapeChoices[] = "Auto|Square|Circle";
const char kAnchorChoices[] = "Left|Center|Right";

enum Index {
  kShape = 1,
  kRoundness,
  kRotation,
  kPosition,
  kFillColor,
  kUniformScale,
  kAnchorX,
  kGroupEnd
};

PF_Err AddParams(PF_InData* in_data) {
  PF_ParamDef defs[7];
  defs[0] = test::Popup(in_data, "Shape", 1, kShapeChoices, 3, 1);
  defs[1] = test::FloatSlider(in_data, "Roundness", 2, 0, 0, 100);
  defs[2] = test::Typed(in_data, "Rotation", 3, PF_Param_ANGLE);
  defs[3] = test::Typed(in_data, "Position", 4, PF_Param_POINT);
  defs[4] = test::Typed(in_data, "Fill Color", 5, PF_Param_COLOR);
  defs[4].u.cd.value = {255, 0, 0, 0};
  defs[5] =
      test::Typed(in_data, "Uniform Scale", 6, PF_Param_CHECKBOX, PF_ParamFlag_CANNOT_TIME_VARY);
  defs[6] = test::Popup(in_data, "Anchor Point X", 7, kAnchorChoices, 3, 2,
                        PF_ParamFlag_CANNOT_TIME_VARY);
  for (PF_ParamDef& def : defs) {
    if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) return err;
  }
  PF_ParamDef end = test::Typed(in_data, "", 8, PF_Param_GROUP_END);
  return in_data->inter.add_param(in_data->effect_ref, -1, &end);
}

class ParamValues : public ::testing::Test {
 protected:
  void SetUp() override {
    effect.OnCommand([this](PF_Cmd command, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
      if (command == PF_Cmd_PARAMS_SETUP) return AddParams(in_data);
      return on_render ? on_render(in_data) : PF_Err_NONE;
    });
    ASSERT_EQ(instance().ParamsSetup().err, PF_Err_NONE);
  }

  EffectInstance& instance() { return effect.instance; }

  std::string SetError(int index, const ParamValue& value) {
    try {
      instance().SetConstant(index, value);
    } catch (const ParamError& error) {
      return error.what();
    }
    return "accepted";
  }

  std::string KeysError(int index, std::vector<ParamKey> keys) {
    try {
      instance().SetKeys(index, std::move(keys));
    } catch (const ParamError& error) {
      return error.what();
    }
    return "accepted";
  }

  test::TestEffect effect;
  std::function<PF_Err(PF_InData*)> on_render;
};

TEST_F(ParamValues, StartAtTheRegisteredValues) {
  EXPECT_EQ(instance().ValueAt(kShape, 0).u.pd.value, 1);
  EXPECT_EQ(instance().ValueAt(kAnchorX, 3).u.pd.value, 2);
  EXPECT_EQ(instance().ValueAt(kFillColor, 0).u.cd.value.alpha, 255);
}

TEST_F(ParamValues, AreFoundByTheirDisplayName) {
  EXPECT_EQ(instance().FindParam("Roundness"), kRoundness);
  EXPECT_EQ(instance().FindParam("Anchor Point X"), kAnchorX);
}

TEST_F(ParamValues, NameTheKnownParametersWhenANameIsUnknown) {
  try {
    instance().FindParam("Roundnes");
    FAIL() << "an unknown name was found";
  } catch (const ParamError& error) {
    EXPECT_TRUE(HasSubstr(error.what(), "unknown parameter \"Roundnes\""));
    EXPECT_TRUE(HasSubstr(error.what(), "\"Roundness\""));
  }
}

TEST_F(ParamValues, TakeAConstantWithinTheSlidersValidRange) {
  instance().SetConstant("Roundness", ParamValue::Number(42.5));
  EXPECT_EQ(instance().ValueAt(kRoundness, 1).u.fs_d.value, 42.5);
  EXPECT_TRUE(HasSubstr(SetError(kRoundness, ParamValue::Number(100.5)),
                        "\"Roundness\" takes values from 0 to 100, not 100.5"));
}

TEST_F(ParamValues, TakeAPopupChoiceFromOneToItsCount) {
  instance().SetConstant(kShape, ParamValue::Integer(3));
  EXPECT_EQ(instance().ValueAt(kShape, 0).u.pd.value, 3);
  EXPECT_TRUE(HasSubstr(SetError(kShape, ParamValue::Integer(0)), "from 1 to 3"));
  EXPECT_TRUE(HasSubstr(SetError(kShape, ParamValue::Integer(4)), "from 1 to 3"));
}

TEST_F(ParamValues, RefuseAValueOfTheWrongType) {
  EXPECT_TRUE(HasSubstr(SetError(kRoundness, ParamValue::Color({255, 1, 2, 3})),
                        "\"Roundness\" is a slider and takes a number"));
  EXPECT_TRUE(HasSubstr(SetError(kPosition, ParamValue::Number(3)), "is a point"));
  EXPECT_TRUE(HasSubstr(SetError(kGroupEnd, ParamValue::Number(3)), "has no value to set"));
}

TEST_F(ParamValues, StoreAnglesAndPointsAsFixedPoint) {
  instance().SetConstant(kRotation, ParamValue::Number(-30.5));
  instance().SetConstant(kPosition, ParamValue::Point(12.25, -4));
  EXPECT_EQ(instance().ValueAt(kRotation, 0).u.ad.value, -30 * 65536 - 32768);
  EXPECT_EQ(instance().ValueAt(kPosition, 0).u.td.x_value, 12 * 65536 + 16384);
  EXPECT_EQ(instance().ValueAt(kPosition, 0).u.td.y_value, -4 * 65536);
}

TEST_F(ParamValues, InterpolateSlidersLinearlyBetweenKeys) {
  instance().SetKeys(kRoundness, {{0, ParamValue::Number(0)}, {2, ParamValue::Number(100)}});
  EXPECT_DOUBLE_EQ(instance().ValueAt(kRoundness, 0.5).u.fs_d.value, 25);
  EXPECT_DOUBLE_EQ(instance().ValueAt(kRoundness, 1.5).u.fs_d.value, 75);
}

TEST_F(ParamValues, EaseBetweenKeysAndStayWithinTheRange) {
  // Easy Ease at a quarter of the time has gone 3/16 − 2/64 of the way: 15.625 of 100.
  instance().SetKeys(kRoundness,
                     {{0, ParamValue::Number(0), Easing::Ease()}, {2, ParamValue::Number(100)}});
  EXPECT_NEAR(instance().ValueAt(kRoundness, 0.5).u.fs_d.value, 15.625, 1e-9);
  // A Bézier that overshoots to 1.625 of the way (keyframes_test) stops at the range's end.
  instance().SetKeys(kRoundness, {{0, ParamValue::Number(0), Easing::Bezier(0.5, 2, 0.5, 2)},
                                  {2, ParamValue::Number(100)}});
  EXPECT_EQ(instance().ValueAt(kRoundness, 1).u.fs_d.value, 100);
  instance().SetKeys(kShape,
                     {{0, ParamValue::Integer(1), Easing::Ease()}, {1, ParamValue::Integer(3)}});
  EXPECT_EQ(instance().ValueAt(kShape, 0.99).u.pd.value, 1);
}

TEST_F(ParamValues, HoldTheFirstAndLastKeysOutsideTheKeyedTime) {
  instance().SetKeys(kRoundness, {{2, ParamValue::Number(80)}, {1, ParamValue::Number(20)}});
  EXPECT_DOUBLE_EQ(instance().ValueAt(kRoundness, 0).u.fs_d.value, 20);
  EXPECT_DOUBLE_EQ(instance().ValueAt(kRoundness, 5).u.fs_d.value, 80);
}

TEST_F(ParamValues, InterpolateAnglesInDegrees) {
  instance().SetKeys(kRotation, {{0, ParamValue::Number(0)}, {1, ParamValue::Number(90)}});
  EXPECT_EQ(instance().ValueAt(kRotation, 0.5).u.ad.value, 45 * 65536);
}

TEST_F(ParamValues, InterpolatePointsAndRoundToFixedPoint) {
  // A third of a pixel is 21845.33 in 16.16, which rounds to 21845.
  instance().SetKeys(kPosition, {{0, ParamValue::Point(0, 0)}, {3, ParamValue::Point(1, -1)}});
  const PF_ParamDef def = instance().ValueAt(kPosition, 1);
  EXPECT_EQ(def.u.td.x_value, 21845);
  EXPECT_EQ(def.u.td.y_value, -21845);
}

TEST_F(ParamValues, InterpolateColoursPerChannel) {
  instance().SetKeys(kFillColor, {{0, ParamValue::Color({255, 0, 200, 10})},
                                  {1, ParamValue::Color({255, 255, 100, 10})}});
  const PF_Pixel color = instance().ValueAt(kFillColor, 0.5).u.cd.value;
  EXPECT_EQ(color.alpha, 255);
  EXPECT_EQ(color.red, 128);  // 127.5 rounds up
  EXPECT_EQ(color.green, 150);
  EXPECT_EQ(color.blue, 10);
}

TEST_F(ParamValues, HoldPopupsUntilTheNextKey) {
  instance().SetKeys(kShape, {{0, ParamValue::Integer(1)}, {1, ParamValue::Integer(3)}});
  EXPECT_EQ(instance().ValueAt(kShape, 0.99).u.pd.value, 1);
  EXPECT_EQ(instance().ValueAt(kShape, 1).u.pd.value, 3);
}

TEST_F(ParamValues, RefuseKeysOnAParameterThatCannotVaryInTime) {
  EXPECT_TRUE(HasSubstr(
      KeysError(kUniformScale, {{0, ParamValue::Boolean(false)}, {1, ParamValue::Boolean(true)}}),
      "\"Uniform Scale\" cannot vary in time"));
  EXPECT_TRUE(HasSubstr(KeysError(kAnchorX, {{0, ParamValue::Integer(1)}}), "cannot vary"));
}

TEST_F(ParamValues, RefuseTwoKeysAtTheSameTime) {
  EXPECT_TRUE(
      HasSubstr(KeysError(kRoundness, {{1, ParamValue::Number(0)}, {1, ParamValue::Number(5)}}),
                "a keyframe at 1 s is already given at [0]"));
}

TEST_F(ParamValues, RefuseAKeyOutsideTheValidRange) {
  EXPECT_TRUE(
      HasSubstr(KeysError(kRoundness, {{0, ParamValue::Number(0)}, {1, ParamValue::Number(-1)}}),
                "from 0 to 100"));
}

TEST_F(ParamValues, ListEveryParameterAtATimeAfterTheInputLayer) {
  instance().SetKeys(kRoundness, {{0, ParamValue::Number(0)}, {1, ParamValue::Number(10)}});
  const std::vector<PF_ParamDef> params = instance().ParamsAt(0.5);
  ASSERT_EQ(params.size(), 9u);
  EXPECT_EQ(params[0].param_type, PF_Param_LAYER);
  EXPECT_DOUBLE_EQ(params[kRoundness].u.fs_d.value, 5);
}

TEST_F(ParamValues, AreCheckedOutAtTheTimeAsked) {
  instance().SetKeys(kRoundness, {{0, ParamValue::Number(0)}, {2, ParamValue::Number(100)}});
  PF_ParamDef checked_out{};
  on_render = [&](PF_InData* in_data) {
    // 15 units of 1/30 s is half a second.
    const PF_Err err =
        in_data->inter.checkout_param(in_data->effect_ref, kRoundness, 15, 1, 30, &checked_out);
    in_data->inter.checkin_param(in_data->effect_ref, &checked_out);
    return err;
  };
  EXPECT_EQ(instance().Run(PF_Cmd_RENDER).err, PF_Err_NONE);
  EXPECT_DOUBLE_EQ(checked_out.u.fs_d.value, 25);
  EXPECT_EQ(checked_out.uu.id, 2);
  EXPECT_TRUE(instance().HeldAfterLastCommand().Empty());
}

TEST_F(ParamValues, CountACheckedOutParameterUntilItIsCheckedIn) {
  on_render = [](PF_InData* in_data) {
    PF_ParamDef def{};
    return in_data->inter.checkout_param(in_data->effect_ref, kShape, 0, 1, 30, &def);
  };
  instance().Run(PF_Cmd_RENDER);
  EXPECT_EQ(instance().HeldAfterLastCommand().Describe(), "1 checked-out parameter");
}

TEST_F(ParamValues, ShowACheckInWithoutACheckout) {
  on_render = [](PF_InData* in_data) {
    PF_ParamDef def{};
    return in_data->inter.checkin_param(in_data->effect_ref, &def);
  };
  instance().Run(PF_Cmd_RENDER);
  EXPECT_FALSE(instance().HeldAfterLastCommand().Empty());
}

TEST_F(ParamValues, FailTheNthCheckoutWithTheGivenCode) {
  instance().faults().FailCall(FailingCall::kCheckoutParam, 2, PF_Err_OUT_OF_MEMORY);
  std::vector<PF_Err> results;
  on_render = [&](PF_InData* in_data) {
    for (int call = 0; call < 3; ++call) {
      PF_ParamDef def{};
      results.push_back(
          in_data->inter.checkout_param(in_data->effect_ref, kRotation, 0, 1, 30, &def));
      if (results.back() == PF_Err_NONE) in_data->inter.checkin_param(in_data->effect_ref, &def);
    }
    return PF_Err_NONE;
  };
  instance().Run(PF_Cmd_RENDER);
  EXPECT_EQ(results, (std::vector<PF_Err>{PF_Err_NONE, PF_Err_OUT_OF_MEMORY, PF_Err_NONE}));
  EXPECT_TRUE(instance().HeldAfterLastCommand().Empty());
}

TEST_F(ParamValues, RefuseACheckoutOfAnIndexThatDoesNotExist) {
  PF_Err err = PF_Err_NONE;
  on_render = [&](PF_InData* in_data) {
    PF_ParamDef def{};
    err = in_data->inter.checkout_param(in_data->effect_ref, 9, 0, 1, 30, &def);
    return PF_Err_NONE;
  };
  instance().Run(PF_Cmd_RENDER);
  EXPECT_EQ(err, PF_Err_INVALID_INDEX);
  EXPECT_TRUE(instance().HeldAfterLastCommand().Empty());
}

TEST_F(ParamValues, RecordCheckoutsWithIndexAndTime) {
  CallLog log;
  instance().SetCallLog(&log);
  on_render = [](PF_InData* in_data) {
    PF_ParamDef def{};
    in_data->inter.checkout_param(in_data->effect_ref, kPosition, 15, 1, 30, &def);
    return in_data->inter.checkin_param(in_data->effect_ref, &def);
  };
  instance().Run(PF_Cmd_RENDER);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"checkout_param 4 15", "checkin_param 4"}));
}

}  // namespace
}  // namespace quorvel::headless
