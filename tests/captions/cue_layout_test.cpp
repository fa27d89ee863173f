// SPDX-License-Identifier: MIT
// Where caption cues show, measured in the frames they render: per-line boxes without a darker
// band where they overlap, cues that overlap in time stacked clear of each other, and boxes kept
// inside the safe area.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "captions/track/caption_track.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"
#include "headless/pixels/world.h"
#include "headless/text/text_outlines.h"

namespace quorvel::captions {
namespace {

using compose::SceneFile;
using compose::SceneRenderer;

// A transparent 1280x720 frame at 10 fps, so that a box's coverage is its pixels' alpha: 191
// where one box at 75 % covers, 239 where two do.
SceneFile Style(const std::string& layer) {
  return compose::ParseSceneFile(
      R"({"composition": {"width": 1280, "height": 720, "fps": 10, "duration": 1},
          "layer": {"text": "x", "font": "DejaVu Sans", "size": 40, "color": "#ffffff",
                    "anchor": "bottom-center", "alignment": "center", )" +
          layer + R"(},
          "effect": {"Expansion Width": 24, "Expansion Height": 14, "Fill Opacity": 75}})",
      "style.json");
}

int AlphaAt(const headless::OwnedWorld& image, int x, int y) {
  return headless::PixelAt(image.world(), x, y).alpha;
}

// The first column with any coverage on row y; -1 for none.
int LeftEdge(const headless::OwnedWorld& image, int y) {
  for (int x = 0; x < image.world().width; ++x) {
    if (AlphaAt(image, x, y) > 0) return x;
  }
  return -1;
}

// The runs of rows [first, end) along column x where a box covers (alpha at least `least`).
std::vector<std::pair<int, int>> CoveredRuns(const headless::OwnedWorld& image, int x,
                                             int least = 100) {
  std::vector<std::pair<int, int>> runs;
  for (int y = 0; y < image.world().height; ++y) {
    if (AlphaAt(image, x, y) < least) continue;
    if (!runs.empty() && runs.back().second == y) {
      ++runs.back().second;
    } else {
      runs.push_back({y, y + 1});
    }
  }
  return runs;
}

int MostAlphaAlong(const headless::OwnedWorld& image, int x) {
  int most = 0;
  for (int y = 0; y < image.world().height; ++y) most = std::max(most, AlphaAt(image, x, y));
  return most;
}

// Two lines whose boxes overlap: the short line's box lies within the long one's width, so a
// column just inside its left edge (in the expansion, clear of the text) crosses both boxes and
// their overlap. Laid over together, the overlap covers as much as one box does.
TEST(CueLayout, PerLineBoxesOverlapWithoutADarkerBand) {
  const SceneFile style = Style(R"("position": [640, 600])");
  const std::vector<Cue> cues = {{0, 1000, "short one\na much longer second line", 1, {}, {}}};
  const SceneFile scene = CaptionScene(style, cues, {true, 0, std::nullopt}, "subs.srt");
  SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
  const headless::OwnedWorld image = renderer.RenderChecked(0);
  // The short line's box: its rows are the first covered ones at the centre.
  const std::vector<std::pair<int, int>> centre = CoveredRuns(image, 640, 1);
  ASSERT_FALSE(centre.empty());
  const int left = LeftEdge(image, centre.front().first + 3);
  ASSERT_GT(left, 0);
  const int column = left + 6;
  const std::vector<std::pair<int, int>> runs = CoveredRuns(image, column);
  ASSERT_EQ(runs.size(), 1u) << "the two boxes meet in one run of rows";
  const int one_box =
      AlphaAt(image, LeftEdge(image, runs.front().second - 3) + 6, runs.front().second - 3);
  EXPECT_NEAR(one_box, 191, 1);
  EXPECT_LE(MostAlphaAlong(image, column), one_box + 1) << "the overlap is darker";
}

// A cue that starts while another shows is stacked above it (the style is anchored at its
// bottom), the first keeping its place, the two boxes touching at most.
TEST(CueLayout, CuesThatOverlapInTimeAreStackedAndKeepTheirPlaces) {
  const SceneFile style = Style(R"("position": [640, 640])");
  const std::vector<Cue> cues = {{0, 1000, "first speaker", 1, {}, {}},
                                 {300, 700, "second speaker", 5, {}, {}}};
  const SceneFile scene = CaptionScene(style, cues, {}, "subs.srt");
  SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
  const headless::OwnedWorld alone = renderer.RenderChecked(1);
  const headless::OwnedWorld together = renderer.RenderChecked(5);
  const headless::OwnedWorld again = renderer.RenderChecked(8);
  const std::vector<std::pair<int, int>> first = CoveredRuns(alone, 640, 1);
  ASSERT_EQ(first.size(), 1u);
  const std::vector<std::pair<int, int>> both = CoveredRuns(together, 640, 1);
  ASSERT_FALSE(both.empty());
  // The first cue's rows are as they were; the second's lie above them.
  EXPECT_EQ(both.back().second, first.front().second);
  EXPECT_LT(both.front().first, first.front().first - 30);
  const int column = std::min(LeftEdge(together, both.front().first + 3),
                              LeftEdge(together, first.front().second - 3)) +
                     6;
  EXPECT_LE(MostAlphaAlong(together, column), 192) << "the boxes overlap";
  EXPECT_EQ(CoveredRuns(again, 640, 1), first) << "the first cue moved";
}

// A style placed at the frame's edge has each cue's box moved inside the safe area (90 % of the
// frame by default), and {\an8} puts a cue at the top centre of that area; one warning says so.
TEST(CueLayout, BoxesKeepInsideTheSafeArea) {
  const SceneFile style = Style(R"("position": [640, 719])");
  std::vector<Cue> cues = {{0, 500, "at the bottom edge", 1, {}, {}},
                           {500, 1000, "at the top", 5, 8, {}}};
  const SceneFile scene = CaptionScene(style, cues, {}, "subs.srt");
  SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
  const std::vector<std::pair<int, int>> bottom = CoveredRuns(renderer.RenderChecked(2), 640, 1);
  ASSERT_FALSE(bottom.empty());
  EXPECT_LE(bottom.back().second, 684 + 1);
  EXPECT_GE(bottom.back().second, 684 - 1);
  const std::vector<std::pair<int, int>> top = CoveredRuns(renderer.RenderChecked(7), 640, 1);
  ASSERT_FALSE(top.empty());
  EXPECT_NEAR(top.front().first, 36, 1);
  ASSERT_EQ(scene.warnings.size(), 1u);
  EXPECT_NE(scene.warnings[0].find("subs.srt:1: cues are moved inward"), std::string::npos)
      << scene.warnings[0];
}

// A long cue is wrapped into balanced lines as wide as the safe area leaves room for, its box
// inside the safe area; its markup is drawn as style; a word too wide for any line is warned of.
TEST(CueLayout, CuesWrapInsideTheSafeAreaAndDrawTheirMarkup) {
  const SceneFile style = Style(R"("position": [640, 660])");
  const std::vector<Cue> cues = {
      {0,
       500,
       "a line from a speech recogniser that runs on and on, far past both edges of the frame "
       "<font color=\"#ff0000\">when</font> nothing wraps it",
       1,
       {},
       {}},
      {500, 1000, std::string(80, 'W'), 5, {}, {}}};
  const SceneFile scene = CaptionScene(style, cues, {}, "subs.srt");
  SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
  const headless::OwnedWorld image = renderer.RenderChecked(2);
  int left = image.world().width, right = 0, red = 0;
  for (int y = 0; y < image.world().height; ++y) {
    for (int x = 0; x < image.world().width; ++x) {
      const PF_Pixel& pixel = headless::PixelAt(image.world(), x, y);
      if (pixel.alpha == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      if (pixel.alpha == 255 && pixel.red > 200 && pixel.green < 60) ++red;
    }
  }
  EXPECT_GE(left, 64 - 1) << "inside the safe area";
  EXPECT_LE(right, 1216 + 1) << "inside the safe area";
  EXPECT_GT(right - left, 600) << "the lines fill much of the width";
  // Balanced: lines of similar length, rather than full ones and a short last one.
  std::vector<double> widths;
  for (const headless::TextLineMeasure& line :
       headless::MeasureTextLines(scene.layers[0].text, 0.1)) {
    widths.push_back(line.width);
  }
  ASSERT_EQ(widths.size(), 3u);
  EXPECT_GT(*std::min_element(widths.begin(), widths.end()),
            0.8 * *std::max_element(widths.begin(), widths.end()));
  EXPECT_GT(red, 20) << "the <font color> run in red";
  bool warned = false;
  for (const std::string& warning : scene.warnings) {
    warned = warned || warning.find(
                           "subs.srt:5: a word of the cue is wider than the captions' "
                           "width (1104 px) and runs past it") != std::string::npos;
  }
  EXPECT_TRUE(warned);
}

}  // namespace
}  // namespace quorvel::captions
