// SPDX-License-Identifier: MIT
// Scene files: what they set, and how a bad one is refused with the place named.
#include "compose/scene/scene_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::compose {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

SceneFile Parse(const std::string& text) {
  return ParseSceneFile(text, "scenes/x.json");
}

// The message a scene is refused with; empty when it is taken.
std::string Refusal(const std::string& text) {
  try {
    Parse(text);
  } catch (const SceneError& error) {
    return error.what();
  }
  return "";
}

TEST(SceneFile, ReadsTheCompositionTheLayerAndTheHost) {
  const SceneFile file = Parse(R"({
    "composition": {"width": 1280, "height": 720, "fps": 25, "duration": 2,
                    "background": "#26282c", "motion_blur": true,
                    "shutter_angle": 270, "shutter_phase": 0},
    "layer": {"text": "two\nlines", "font": "DejaVu Sans", "style": "Bold", "size": 96,
              "color": [10, 20, 30], "position": [40, 50], "alignment": "right",
              "motion_blur": true},
    "host": {"application": "Premiere Pro", "downsample_x": "1/2", "downsample_y": 0.25,
             "quality": "low"}
  })");
  const headless::Composition& composition = file.composition;
  EXPECT_EQ(composition.width, 1280);
  EXPECT_EQ(composition.height, 720);
  EXPECT_EQ(composition.time_scale, 2500u);
  EXPECT_EQ(composition.frame_duration, 100);
  EXPECT_EQ(composition.duration_seconds, 2);
  EXPECT_EQ(composition.background.alpha, 255);
  EXPECT_EQ(composition.background.red, 0x26);
  EXPECT_EQ(composition.background.blue, 0x2c);
  EXPECT_TRUE(composition.motion_blur);
  EXPECT_EQ(composition.shutter_angle_degrees, 270);
  EXPECT_EQ(composition.shutter_phase_degrees, 0);

  const headless::TextLayer& layer = file.layers[0].text;
  EXPECT_EQ(layer.text.constant, "two\nlines");
  EXPECT_EQ(layer.font_style, "Bold");
  EXPECT_EQ(layer.font_size, 96);
  EXPECT_EQ(layer.color.red, 10);
  EXPECT_EQ(layer.color.alpha, 255);
  EXPECT_EQ(layer.position.constant.x, 40);
  EXPECT_EQ(layer.alignment, headless::TextAlignment::kRight);
  EXPECT_TRUE(layer.motion_blur);

  EXPECT_EQ(file.options.application, headless::kApplicationPremierePro);
  EXPECT_EQ(file.options.downsample_x.num, 1);
  EXPECT_EQ(file.options.downsample_x.den, 2u);
  EXPECT_EQ(file.options.downsample_y.den, 4u);
  EXPECT_EQ(file.options.quality, PF_Quality_LO);
}

TEST(SceneFile, TakesVideoRatesExactly) {
  const SceneFile ntsc = Parse(R"({"composition": {"fps": 29.97}})");
  EXPECT_EQ(ntsc.composition.time_scale, 30000u);
  EXPECT_EQ(ntsc.composition.frame_duration, 1001);
  const SceneFile film = Parse(R"({"composition": {"fps": "24000/1001"}})");
  EXPECT_EQ(film.composition.time_scale, 24000u);
  EXPECT_EQ(film.composition.frame_duration, 1001);
  // Just above a whole number is no video rate: 2.002 stays 1001/500, 1.003 stays 1003/1000.
  const SceneFile above = Parse(R"({"composition": {"fps": 2.002}})");
  EXPECT_EQ(above.composition.time_scale, 1001u);
  EXPECT_EQ(above.composition.frame_duration, 500);
}

TEST(SceneFile, CountsTimeInAtLeastAHundredUnitsAFrame) {
  // Shutter instants are whole time units: at 24 units a second, a 180-degree shutter would
  // open and close in the same unit.
  const SceneFile film = Parse(R"({"composition": {"fps": 24}})");
  EXPECT_EQ(film.composition.time_scale, 2400u);
  EXPECT_EQ(film.composition.frame_duration, 100);
  const SceneFile half = Parse(R"({"composition": {"fps": 12.5}})");
  EXPECT_EQ(half.composition.time_scale, 1250u);
  EXPECT_EQ(half.composition.frame_duration, 100);
  const SceneFile unset = Parse("{}");
  EXPECT_EQ(unset.composition.time_scale, 3000u);
  EXPECT_EQ(unset.composition.frame_duration, 100);
}

TEST(SceneFile, CountsTheFramesThatStartWithinTheDuration) {
  EXPECT_EQ(FrameCount(Parse(R"({"composition": {"fps": 30, "duration": 2}})").composition), 60);
  // One second at 30000/1001 holds 29.97 frames: frame 29 starts inside it.
  EXPECT_EQ(FrameCount(Parse(R"({"composition": {"fps": 29.97, "duration": 1}})").composition), 30);
}

TEST(SceneFile, SortsKeyframesByTime) {
  const SceneFile file = Parse(R"({"layer": {
    "text": [{"t": 1, "v": "later"}, {"t": 0, "v": "first"}],
    "position": [{"t": 2, "v": [10, 0]}, {"t": 0.5, "v": [0, 0]}]}})");
  const headless::TextLayer& layer = file.layers[0].text;
  ASSERT_EQ(layer.text.keys.size(), 2u);
  EXPECT_EQ(layer.text.keys[0].value, "first");
  EXPECT_EQ(layer.text.keys[1].seconds, 1);
  ASSERT_EQ(layer.position.keys.size(), 2u);
  EXPECT_EQ(layer.position.keys[0].seconds, 0.5);
  EXPECT_EQ(layer.position.keys[1].value.x, 10);
}

TEST(SceneFile, KeepsTheEffectObjectForTheModuleToCheck) {
  const SceneFile file = Parse(R"({"effect": {"Anything": 1}})");
  ASSERT_TRUE(file.layers[0].effect);
  EXPECT_EQ(file.layers[0].effect->at("Anything"), 1);
}

TEST(SceneFile, ReadsLayersTopFirstEachWithItsOwnEffectOrNone) {
  const SceneFile file = Parse(R"({"layers": [
    {"text": "top", "effect": {"Roundness": 10}},
    {"text": "plain", "position": [{"t": 0, "v": [0, 0], "easing": [0.25, 0.1, 0.25, 1]},
                                   {"t": 1, "v": [10, 0], "easing": "hold"}]}]})");
  ASSERT_EQ(file.layers.size(), 2u);
  EXPECT_EQ(file.layers[0].text.text.At(0), "top");
  ASSERT_TRUE(file.layers[0].effect);
  EXPECT_EQ(file.layers[0].effect_path, "layers[0].effect");
  EXPECT_FALSE(file.layers[1].effect);
  const auto& keys = file.layers[1].text.position.keys;
  EXPECT_EQ(keys[0].easing.kind, headless::Easing::Kind::kBezier);
  EXPECT_EQ(keys[0].easing.y1, 0.1);
  EXPECT_EQ(keys[1].easing.kind, headless::Easing::Kind::kHold);
}

TEST(SceneFileErrors, NameTheLayerTheEasingOrTheFontAtFault) {
  const struct {
    const char* scene;
    const char* message;
  } cases[] = {
      {R"({"layers": [{}, {"efect": {}}]})",
       "layers[1].efect: unknown key; did you mean \"effect\"?"},
      {R"({"layers": []})", "layers: expected a non-empty list of layers, top layer first"},
      {R"({"layers": [{}], "effect": {}})",
       "layers: a scene gives either \"layers\" or the one-layer \"effect\", not both"},
      {R"({"layer": {"position": [{"t": 0, "v": [0, 0], "easing": "ease_inn"}]}})",
       "layer.position[0].easing: \"ease_inn\" is not one of \"linear\", \"hold\", \"ease\", "
       "\"ease_in\", \"ease_out\"; did you mean \"ease_in\"?"},
      {R"({"layer": {"position": [{"t": 0, "v": [0, 0], "easing": [1.5, 0, 0.5, 1]}]}})",
       "layer.position[0].easing: a Bézier easing's x values"},
      {R"({"layer": {"position": [{"t": 0, "v": [0, 0], "easing": [0.5, 0, 1]}]}})",
       "layer.position[0].easing: a Bézier easing is four numbers [x1, y1, x2, y2], found 3"},
      {R"({"layer": {"text": [{"t": 0, "v": "a", "easing": "ease"}]}})",
       "layer.text[0].easing: this value holds from key to key and takes no easing"},
      {R"({"layer": {"style": "Black"}})",
       "layer.style: the family \"DejaVu Sans\" has no Black style; it has Bold"},
      {R"({"layer": {"font": "DejaVu Sans\u0000Bold"}})",
       "layer.font: a font name holds a NUL character"},
      {R"({"layer": {"text": "a\u0000b"}})", "layer.text: the text holds a NUL character"},
      {R"({"layer": {"font": "fonts/none.ttf"}})",
       "layer.font: no font file at scenes/fonts/none.ttf"},
      {R"({"layer": {"font": "/tmp/"}})", "layer.font: /tmp/ is a folder, not a font file"},
      {R"({"layer": {"font": "/dev/null"}})", "layer.font: /dev/null is a device, not a font file"},
  };
  for (const auto& c : cases) {
    EXPECT_THAT(Refusal(c.scene), HasSubstr(std::string("scenes/x.json: ") + c.message)) << c.scene;
  }
}

TEST(SceneFile, TakesAFontFileByPathFromTheScenesFolder) {
  // As if the scene were in the fonts' folder: the path is taken from the scene file's.
  const SceneFile file = ParseSceneFile(R"({"layer": {"font": "DejaVuSerif-Bold.ttf"}})",
                                        "/usr/share/fonts/truetype/dejavu/x.json");
  const headless::TextLayer& layer = file.layers[0].text;
  EXPECT_EQ(layer.font_file, "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf");
  EXPECT_EQ(layer.font_family, "DejaVu Serif");
  EXPECT_EQ(layer.font_style, "Bold");
}

TEST(SceneFile, WarnsOfCharactersTheFontLacksByCodePoint) {
  // U+0378 and U+0379 are unassigned: no font has them.
  const SceneFile file = Parse(R"({"layers": [{}, {"text": [{"t": 0, "v": "a\u0378"},
                                                            {"t": 1, "v": "\u0379\u0378"}]}]})");
  EXPECT_EQ(file.warnings, std::vector<std::string>{
                               "scenes/x.json: layers[1]: the font \"DejaVu Sans\" has no glyph "
                               "for U+0378, U+0379; they show as boxes"});
}

TEST(SceneFileErrors, SuggestTheNearestKeyForAMisspeltOne) {
  EXPECT_EQ(Refusal(R"({"composition": {"widht": 3}})"),
            "scenes/x.json: composition.widht: unknown key; did you mean \"width\"?");
}

TEST(SceneFileErrors, NameAnUnknownKeyAndTheKnownOnesWhenNoneIsNear) {
  EXPECT_THAT(Refusal(R"({"composition": {"colour_space": "srgb"}})"),
              StartsWith("scenes/x.json: composition.colour_space: unknown key; the keys here are "
                         "width, height, fps"));
}

TEST(SceneFileErrors, SuggestTheNearestChoice) {
  EXPECT_THAT(Refusal(R"({"layer": {"alignment": "centre"}})"),
              HasSubstr("layer.alignment: \"centre\" is not one of \"left\", \"center\", "
                        "\"right\"; did you mean \"center\"?"));
}

TEST(SceneFileErrors, NameAValueOfTheWrongType) {
  EXPECT_EQ(Refusal(R"({"layer": {"size": "big"}})"),
            "scenes/x.json: layer.size: expected a number, found \"big\"");
}

TEST(SceneFileErrors, NameAValueOutOfRange) {
  EXPECT_EQ(Refusal(R"({"composition": {"width": 0}})"),
            "scenes/x.json: composition.width: 0 is outside 1..30000");
}

TEST(SceneFileErrors, NameAKeyGivenTwice) {
  EXPECT_EQ(Refusal(R"({"composition": {"width": 3, "width": 4}})"),
            "scenes/x.json: composition: the key \"width\" is given twice");
}

TEST(SceneFileErrors, NameTheLineOfASyntaxError) {
  EXPECT_THAT(Refusal("{\n\"composition\": {\n\"width\": ,\n}}"),
              StartsWith("scenes/x.json: parse error at line 3"));
}

TEST(SceneFileErrors, NameAKeyframeElement) {
  EXPECT_EQ(Refusal(R"({"layer": {"position": [{"t": 0, "v": [1, 2]}, {"t": 1}]}})"),
            "scenes/x.json: layer.position[1]: a keyframe needs both \"t\" (seconds) and \"v\" "
            "(value)");
  EXPECT_EQ(Refusal(R"({"layer": {"text": [{"t": 0, "v": "a"}, {"t": 0, "v": "b"}]}})"),
            "scenes/x.json: layer.text[1].t: a keyframe at 0 s is already given at [0]");
}

TEST(SceneFileErrors, NameAFontFamilyThatIsNotInstalled) {
  EXPECT_THAT(Refusal(R"({"layer": {"font": "No Such Family Quorvel"}})"),
              StartsWith("scenes/x.json: layer.font: the font family \"No Such Family Quorvel\" is "
                         "not installed"));
}

TEST(SceneFileErrors, NameStyleWordsThatAreNotStyles) {
  EXPECT_THAT(Refusal(R"({"layer": {"style": "Bolt"}})"),
              StartsWith("scenes/x.json: layer.style: \"Bolt\" is not a list of style words"));
}

TEST(SceneFileErrors, NameADurationTooLongForTheHostsTimes) {
  // 2^31 time units at 30000 a second last a little under 71583 s.
  EXPECT_THAT(Refusal(R"({"composition": {"fps": 29.97, "duration": 80000}})"),
              HasSubstr("composition.duration: 80000 s is longer than this frame rate allows"));
}

TEST(SceneFileErrors, NameADownsampleAboveOne) {
  EXPECT_THAT(
      Refusal(R"({"host": {"downsample_x": 2}})"),
      StartsWith("scenes/x.json: host.downsample_x: 2 is above 1; a downsample factor is the "
                 "fraction of the resolution kept"));
}

TEST(SceneFileErrors, NameTheFileThatCannotBeOpened) {
  EXPECT_THROW(
      {
        try {
          LoadSceneFile("/nonexistent/scene.json");
        } catch (const SceneError& error) {
          EXPECT_STREQ(error.what(),
                       "/nonexistent/scene.json: cannot open the scene file: No such file or "
                       "directory");
          throw;
        }
      },
      SceneError);
}

}  // namespace
}  // namespace quorvel::compose
