// SPDX-License-Identifier: MIT
// Footage layers in compositions: which footage frame each composition frame shows (by
// timestamps, at other rates and at a variable one), where the frame goes (fit, scale, anchor,
// position), its opacity and offsets, and a partly transparent box over it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"
#include "headless/pixels/world.h"
#include "tests/media/test_media.h"

namespace quorvel::compose {
namespace {

using media::test::FlatFrameIndex;
using media::test::MediaFolder;

std::string FlatClip(const MediaFolder& folder, const std::string& rate, const std::string& timing,
                     const std::string& name) {
  EXPECT_TRUE(folder.Ffmpeg("-f lavfi -i \"color=c=black:s=64x36:r=" + rate + "," +
                            media::test::kFlatColourFrames + timing + name));
  return (folder / name).string();
}

SceneFile FootageScene(const std::string& clip, const std::string& fps, const std::string& more) {
  return ParseSceneFile(R"({"composition": {"width": 64, "height": 36, "fps": )" + fps +
                            R"(, "duration": 1}, "layers": [{"footage": ")" + clip + "\"" + more +
                            "}]}",
                        "scene.json");
}

// Composition frame f is at f / rate seconds and shows the footage frame whose span
// [pts_k, pts_k+1) holds that time; past the last frame's end, nothing.
TEST(FootageLayer, EachFrameShowsTheFootageFrameOnScreenAtItsTime) {
  const MediaFolder folder;
  const std::string film =
      FlatClip(folder, "24000/1001", "\" -frames:v 24 -c:v libx264 -g 6 ", "film.mp4");
  // 55, 55 and 10 ms frames in turn, timed in milliseconds through to the file.
  const std::string variable =
      FlatClip(folder, "25",
               ",settb=1/1000,setpts=40*N+15*mod(N\\,3)\" -frames:v 20 -fps_mode passthrough "
               "-enc_time_base 1:1000 -c:v libx264 -g 5 ",
               "variable.mkv");
  const struct {
    std::string clip;
    int frames;
    std::function<double(int)> pts;  // seconds
    double end;                      // the last frame's end
  } clips[] = {
      {film, 24, [](int k) { return k * 1001.0 / 24000; }, 24 * 1001.0 / 24000},
      {variable, 20, [](int k) { return (40.0 * k + 15 * (k % 3)) / 1000; }, INFINITY},
  };
  for (const auto& clip : clips) {
    for (const int rate : {25, 30}) {
      const SceneFile scene = FootageScene(clip.clip, std::to_string(rate), "");
      SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
      for (A_long frame = 0; frame < rate; ++frame) {
        const double seconds = static_cast<double>(frame) / rate;
        int expected = -1;
        for (int k = 0; k < clip.frames && clip.pts(k) <= seconds + 1e-9; ++k) expected = k;
        // Past the last frame's end, nothing; the variable clip does not say how long its last
        // frame lasts, so it is not asked past that frame's start.
        if (seconds >= clip.end - 1e-9) expected = -1;
        if (clip.clip == variable && seconds >= clip.pts(clip.frames - 1)) continue;
        const headless::OwnedWorld image = renderer.RenderChecked(frame);
        if (expected < 0) {
          EXPECT_EQ(headless::PixelAt(image.world(), 32, 18).alpha, 0)
              << clip.clip << " at " << rate << " fps, frame " << frame;
          continue;
        }
        EXPECT_EQ(FlatFrameIndex(image.world()), expected)
            << clip.clip << " at " << rate << " fps, frame " << frame;
      }
    }
  }
}

// start and in move the footage's clock: before its start the layer shows nothing, and its
// first frame shown is the one at its in point.
TEST(FootageLayer, StartAndInMoveTheFootagesClock) {
  const MediaFolder folder;
  const std::string clip = FlatClip(folder, "25", "\" -frames:v 50 -c:v libx264 -g 5 ", "clip.mp4");
  SceneRenderer renderer(QUORVEL_MODULE_PATH,
                         FootageScene(clip, "25", R"(, "start": 0.2, "in": 0.4)"));
  EXPECT_EQ(headless::PixelAt(renderer.RenderChecked(4).world(), 32, 18).alpha, 0);
  EXPECT_EQ(FlatFrameIndex(renderer.RenderChecked(5).world()), 10);  // 0.2 s: in point 0.4 s
  EXPECT_EQ(FlatFrameIndex(renderer.RenderChecked(9).world()), 14);
}

// The footage's opaque area, by where its pixels land, for each way of fitting and placing.
TEST(FootageLayer, FitScaleAnchorAndPositionPlaceTheFrame) {
  const MediaFolder folder;
  ASSERT_TRUE(folder.Ffmpeg("-f lavfi -i color=c=red:s=80x40:r=25 -frames:v 1 red.png"));
  const std::string red = (folder / "red.png").string();
  const auto bounds = [&](const std::string& more) {
    const SceneFile scene = ParseSceneFile(
        R"({"composition": {"width": 200, "height": 160, "duration": 1}, "layers": [{"footage": ")" +
            red + "\"" + more + "}]}",
        "scene.json");
    SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
    const headless::OwnedWorld image = renderer.RenderChecked(0);
    PF_Rect ink{image.width(), image.height(), 0, 0};
    for (A_long y = 0; y < image.height(); ++y) {
      for (A_long x = 0; x < image.width(); ++x) {
        if (headless::PixelAt(image.world(), x, y).alpha < 128) continue;
        ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
               std::max(ink.bottom, y + 1)};
      }
    }
    return ink;
  };
  const struct {
    const char* more;
    PF_Rect expected;
  } cases[] = {
      {"", {60, 60, 140, 100}},                      // its own size, centred
      {R"(, "fit": "contain")", {0, 30, 200, 130}},  // 2.5 times: as wide as the frame
      {R"(, "fit": "cover")", {0, 0, 200, 160}},     // 4 times: 320 wide, cut
      {R"(, "fit": "stretch")", {0, 0, 200, 160}},   // each way to the frame
      {R"(, "scale": 50)", {80, 70, 120, 90}},       // half, about its centre
      {R"(, "anchor": "top-left", "position": [10, 20])", {10, 20, 90, 60}},
      {R"(, "anchor": "bottom-right", "position": [200, 160])", {120, 120, 200, 160}},
  };
  for (const auto& c : cases) {
    const PF_Rect ink = bounds(c.more);
    EXPECT_EQ(
        std::vector<A_long>({ink.left, ink.top, ink.right, ink.bottom}),
        std::vector<A_long>({c.expected.left, c.expected.top, c.expected.right, c.expected.bottom}))
        << c.more;
  }
}

// A box of half opacity over footage and the footage at half opacity, against the blend
// worked by hand: white at 50 % over grey 128 is 128 + (255 − 128) / 2 = 191.5; a layer at
// 50 % is alpha 127 (2.55 × 50 lies a hair under 127.5 in binary, as for text layers).
TEST(FootageLayer, PartlyTransparentLayersOverFootageBlendAsWorkedByHand) {
  const MediaFolder folder;
  ASSERT_TRUE(folder.Ffmpeg("-f lavfi -i color=c=0x808080:s=200x100:r=25 -frames:v 1 grey.png"));
  const std::string grey = (folder / "grey.png").string();
  const SceneFile scene = ParseSceneFile(
      R"({"composition": {"width": 200, "height": 100, "duration": 1},
          "layers": [{"text": "x", "color": "#00000000", "size": 20, "anchor": "center",
                      "position": [100, 50],
                      "effect": {"Expansion Uniform": 30, "Fill Color": "#ffffff",
                                 "Fill Opacity": 50}},
                     {"footage": ")" +
          grey + R"("}]})",
      "scene.json");
  SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
  const headless::OwnedWorld image = renderer.RenderChecked(0);
  const PF_Pixel& boxed = headless::PixelAt(image.world(), 100, 50);
  EXPECT_EQ(boxed.alpha, 255);
  EXPECT_NEAR(boxed.red, 191.5, 1);
  EXPECT_NEAR(boxed.green, 191.5, 1);
  const PF_Pixel& bare = headless::PixelAt(image.world(), 5, 5);
  EXPECT_EQ(bare.red, 128);

  const SceneFile half = ParseSceneFile(
      R"({"composition": {"width": 200, "height": 100, "duration": 1},
          "layers": [{"footage": ")" +
          grey + R"(", "opacity": 50}]})",
      "scene.json");
  SceneRenderer half_renderer(QUORVEL_MODULE_PATH, half);
  const headless::OwnedWorld half_image = half_renderer.RenderChecked(0);
  const PF_Pixel& faded = headless::PixelAt(half_image.world(), 100, 50);
  EXPECT_EQ(faded.alpha, 127);
  EXPECT_EQ(faded.red, 64);  // 128 × 127 / 255, premultiplied
}

}  // namespace
}  // namespace quorvel::compose
