// SPDX-License-Identifier: MIT
// A scene's text layer with markup and a paragraph width.
#include "compose/scene/text_block_keys.h"

#include <gtest/gtest.h>

#include <string>

#include "compose/scene/scene_file.h"

namespace quorvel::compose {
namespace {

std::string Refusal(const std::string& text) {
  try {
    ParseSceneFile(text, "scenes/x.json");
  } catch (const SceneError& error) {
    return error.what();
  }
  return "";
}

TEST(TextBlockKeys, SetMarkupWidthAndBalance) {
  const SceneFile file = ParseSceneFile(
      R"({"layer": {"text": "<b>a</b>", "markup": true, "width": 640.5, "balanced": true}})",
      "scenes/x.json");
  const headless::TextLayer& layer = file.layers[0].text;
  EXPECT_TRUE(layer.markup);
  EXPECT_EQ(layer.width, 640.5);
  EXPECT_TRUE(layer.balanced);
}

TEST(TextBlockKeys, LeftOutTheyChangeNothing) {
  const SceneFile file = ParseSceneFile(R"({"layer": {"text": "a"}})", "scenes/x.json");
  const headless::TextLayer& layer = file.layers[0].text;
  EXPECT_FALSE(layer.markup);
  EXPECT_EQ(layer.width, 0);
  EXPECT_FALSE(layer.balanced);
}

TEST(TextBlockKeys, BadValuesAreRefusedWithTheirPlace) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"layer": {"width": -1}})", "scenes/x.json: layer.width: -1 is outside 0..100000"},
      {R"({"layer": {"width": 1e300}})", "scenes/x.json: layer.width: 1e+300 is outside 0..100000"},
      {R"({"layer": {"width": "wide"}})",
       "scenes/x.json: layer.width: expected a number, found \"wide\""},
      {R"({"layers": [{"markup": 1}]})", "scenes/x.json: layers[0].markup: expected true or false"},
      {R"({"layer": {"balanced": "yes"}})",
       "scenes/x.json: layer.balanced: expected true or false"},
  };
  for (const auto& [scene, message] : cases) {
    EXPECT_EQ(Refusal(scene).rfind(message, 0), 0u) << Refusal(scene);
  }
}

}  // namespace
}  // namespace quorvel::compose
