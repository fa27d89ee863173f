// SPDX-License-Identifier: MIT
// The "effect" object of a scene, checked against what the module registered.
#include "compose/scene/effect_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"
#include "tests/headless/test_effect.h"

namespace quorvel::compose {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kModulePath = QUORVEL_MODULE_PATH;

// Choices and ranges unlike the real module's, so that a check passing here and failing there
// can only come from the registration.
const char kTestChoices[] = "Oval|Box";

PF_Err RegisterTestControls(PF_Cmd command, PF_InData* in_data, PF_OutData* out_data,
                            PF_ParamDef**) {
  if (command != PF_Cmd_PARAMS_SETUP) return PF_Err_NONE;
  PF_ParamDef def = headless::test::Popup(in_data, "Shape", 1, kTestChoices, 2, 1);
  if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) return err;
  def = headless::test::FloatSlider(in_data, "Roundness", 2, 0, 0, 10);
  if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) return err;
  out_data->num_params = 3;
  return PF_Err_NONE;
}

SceneFile WithEffect(const std::string& effect) {
  return ParseSceneFile("{\"effect\": " + effect + "}", "scenes/x.json");
}

// The message ApplyEffectSettings refuses the values with; empty when they are taken.
std::string Refusal(const SceneFile& scene, headless::EffectInstance& instance) {
  try {
    ApplyEffectSettings(scene.file, scene.layers[0], instance);
  } catch (const SceneError& error) {
    return error.what();
  }
  return "";
}

class RegisteredByATestEffect : public ::testing::Test {
 protected:
  void SetUp() override {
    effect_.OnCommand(RegisterTestControls);
    ASSERT_EQ(effect_.instance.ParamsSetup().err, PF_Err_NONE);
  }

  headless::test::TestEffect effect_;
};

TEST_F(RegisteredByATestEffect, RangesComeFromTheRegistration) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Roundness": 40})"), effect_.instance),
            "scenes/x.json: effect.Roundness: 40 is outside 0..10");
}

TEST_F(RegisteredByATestEffect, PopupChoicesComeFromTheRegisteredNames) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Shape": "Box"})"), effect_.instance), "");
  EXPECT_EQ(effect_.instance.ValueAt(1, 0).u.pd.value, 2);
  EXPECT_EQ(Refusal(WithEffect(R"({"Shape": "Circle"})"), effect_.instance),
            "scenes/x.json: effect.Shape: \"Circle\" is not one of \"Oval\", \"Box\"");
}

TEST_F(RegisteredByATestEffect, NamesComeFromTheRegistration) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Fill Color": "#ffffff"})"), effect_.instance),
            "scenes/x.json: effect.Fill Color: the effect has no control of this name; its "
            "controls are \"Shape\", \"Roundness\"");
}

class RegisteredByTheModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    session_ = std::make_unique<SceneRenderer>(kModulePath, headless::InstanceOptions{});
  }
  static void TearDownTestSuite() { session_.reset(); }

  headless::EffectInstance& instance() { return session_->instance(); }

  static std::unique_ptr<SceneRenderer> session_;
};

std::unique_ptr<SceneRenderer> RegisteredByTheModule::session_;

TEST_F(RegisteredByTheModule, TakesChoicesColoursPointsAndSwitches) {
  ASSERT_EQ(Refusal(WithEffect(R"({"Shape": "Circle", "Fill Color": "#1e90ff",
                                   "Position": [12.5, -4], "Enable Border": true})"),
                    instance()),
            "");
  const int shape = instance().FindParam("Shape");
  EXPECT_EQ(instance().ValueAt(shape, 0).u.pd.value, 3);
  const PF_Pixel fill = instance().ValueAt(instance().FindParam("Fill Color"), 0).u.cd.value;
  EXPECT_EQ(fill.alpha, 255);
  EXPECT_EQ(fill.red, 0x1e);
  EXPECT_EQ(fill.green, 0x90);
  EXPECT_EQ(fill.blue, 0xff);
  const PF_ParamDef position = instance().ValueAt(instance().FindParam("Position"), 0);
  EXPECT_EQ(position.u.td.x_value, 12.5 * 65536);
  EXPECT_EQ(position.u.td.y_value, -4 * 65536);
  EXPECT_EQ(instance().ValueAt(instance().FindParam("Enable Border"), 0).u.bd.value, 1);
}

TEST_F(RegisteredByTheModule, RefusesAValueOutsideTheRegisteredRange) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Roundness": 140})"), instance()),
            "scenes/x.json: effect.Roundness: 140 is outside 0..100");
  EXPECT_EQ(Refusal(WithEffect(R"({"Skew X": -6})"), instance()),
            "scenes/x.json: effect.Skew X: -6 is outside -5..5");
}

TEST_F(RegisteredByTheModule, InterpolatesKeyframesGivenInAnyOrder) {
  ASSERT_EQ(
      Refusal(WithEffect(R"({"Roundness": [{"t": 1, "v": 100}, {"t": 0, "v": 0}]})"), instance()),
      "");
  const int roundness = instance().FindParam("Roundness");
  EXPECT_EQ(instance().ValueAt(roundness, 0.25).u.fs_d.value, 25);
  EXPECT_EQ(instance().ValueAt(roundness, 2).u.fs_d.value, 100);
}

TEST_F(RegisteredByTheModule, RefusesKeyframesOnAControlThatCannotVaryInTime) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Uniform Scale": [{"t": 0, "v": true}]})"), instance()),
            "scenes/x.json: effect.Uniform Scale: this control cannot vary in time; give one "
            "value, not keyframes");
}

TEST_F(RegisteredByTheModule, RefusesAValueInAKeyframeNamingIt) {
  EXPECT_EQ(
      Refusal(WithEffect(R"({"Rotation": [{"t": 0, "v": 0}, {"t": 1, "v": "half"}]})"), instance()),
      "scenes/x.json: effect.Rotation[1].v: expected a number, found \"half\"");
}

TEST_F(RegisteredByTheModule, RefusesAColourWithAlphaPointingToItsOpacity) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Fill Color": "#00000080"})"), instance()),
            "scenes/x.json: effect.Fill Color: the effect's colours are opaque; use \"Fill "
            "Opacity\"");
}

TEST_F(RegisteredByTheModule, RefusesAGroupHeading) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Border Parameters": true})"), instance()),
            "scenes/x.json: effect.Border Parameters: this is a group and takes no value");
}

TEST_F(RegisteredByTheModule, SuggestsTheNearestRegisteredNameForAMisspeltOne) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Roundnes": 10})"), instance()),
            "scenes/x.json: effect.Roundnes: the effect has no control of this name; did you mean "
            "\"Roundness\"?");
}

TEST_F(RegisteredByTheModule, SuggestsTheNearestPopupChoice) {
  EXPECT_EQ(Refusal(WithEffect(R"({"Shape": "Circel"})"), instance()),
            "scenes/x.json: effect.Shape: \"Circel\" is not one of \"Auto\", \"Square\", "
            "\"Circle\"; did you mean \"Circle\"?");
}

TEST_F(RegisteredByTheModule, ListsTheRegisteredNamesForAnUnknownOne) {
  EXPECT_THAT(Refusal(WithEffect(R"({"Glow": 10})"), instance()),
              StartsWith("scenes/x.json: effect.Glow: the effect has no control of this "
                         "name; its controls are \"Shape\", \"Roundness\""));
}

TEST(SceneRenderer, ReportsAFailedRenderWithThePlugInsMessage) {
  const SceneFile scene = ParseSceneFile("{}", "scenes/x.json");
  SceneRenderer session(kModulePath, scene);
  session.instance().faults().RefuseSuite("PF World Suite", 2);
  try {
    session.RenderChecked(0);
    FAIL() << "the render succeeded without its world suite";
  } catch (const std::exception& error) {
    EXPECT_THAT(error.what(), StartsWith("the render failed with A_Err_MISSING_SUITE (13)"));
    EXPECT_THAT(error.what(), HasSubstr("Not able to acquire AEFX Suite."));
  }
}

TEST(CommandProblem, ReportsWhatThePlugInStillHolds) {
  headless::CommandResult result;
  result.held.Add(headless::HeldKind::kWorld);
  EXPECT_EQ(CommandProblem(result, "render of frame 3"),
            "after render of frame 3 the plug-in still holds " + result.held.Describe());
}

TEST(CommandProblem, IsEmptyForACleanSuccess) {
  EXPECT_EQ(CommandProblem(headless::CommandResult{}, "about"), "");
}

}  // namespace
}  // namespace quorvel::compose
