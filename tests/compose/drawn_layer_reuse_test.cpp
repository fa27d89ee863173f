// SPDX-License-Identifier: MIT
// A text layer's frame taken from an earlier frame drawn from the very same inputs changes no
// pixel: every bundled scene, and caption tracks with fades and a box per line, rendered frame
// by frame with and without reuse, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "captions/reading/subtitles.h"
#include "captions/track/caption_track.h"
#include "compose/document/input_file.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"
#include "headless/pixels/world.h"

namespace quorvel::compose {
namespace {

namespace fs = std::filesystem;

bool SameBytes(const headless::OwnedWorld& a, const headless::OwnedWorld& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (A_long y = 0; y < a.height(); ++y) {
    if (std::memcmp(headless::WorldRow(a.world(), y), headless::WorldRow(b.world(), y),
                    static_cast<size_t>(a.width()) * sizeof(PF_Pixel)) != 0) {
      return false;
    }
  }
  return true;
}

// Frames 0 to `frames` - 1 of the scene, once reusing drawn layers and once drawing each frame
// anew; returns how many times a layer was reused.
size_t ExpectSameFramesWithAndWithoutReuse(const SceneFile& scene, A_long frames) {
  SceneRenderer reusing(QUORVEL_MODULE_PATH, scene);
  SceneRenderer drawing(QUORVEL_MODULE_PATH, scene);
  drawing.set_reuse_drawn_layers(false);
  for (A_long frame = 0; frame < std::min(frames, FrameCount(scene.composition)); ++frame) {
    EXPECT_TRUE(SameBytes(reusing.RenderChecked(frame), drawing.RenderChecked(frame)))
        << scene.file << " frame " << frame;
  }
  EXPECT_EQ(drawing.drawn_layers_reused(), 0u);
  return reusing.drawn_layers_reused();
}

TEST(DrawnLayerReuse, EveryBundledSceneIsTheSameFrameByFrame) {
  size_t reused = 0;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes")) {
    if (entry.path().extension() != ".json") continue;
    reused += ExpectSameFramesWithAndWithoutReuse(LoadSceneFile(entry.path().string()), 12);
  }
  EXPECT_GT(reused, 20u) << "no scene reused a layer: the check checked nothing";
}

TEST(DrawnLayerReuse, CaptionTracksWithFadesAndLinesAreTheSameFrameByFrame) {
  const fs::path scenes = fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes";
  const std::string subtitles = (scenes / "captions.srt").string();
  const std::vector<captions::Cue> cues =
      captions::ReadSubtitles(ReadInputFile(subtitles, "subtitle file"), subtitles).cues;
  const SceneFile style = LoadSceneFile((scenes / "caption_style.json").string());
  size_t reused = 0;
  for (const bool per_line : {false, true}) {
    const captions::CaptionOptions options{per_line, 0.3, std::nullopt};
    reused += ExpectSameFramesWithAndWithoutReuse(
        captions::CaptionScene(style, cues, options, subtitles), 180);
  }
  EXPECT_GT(reused, 100u);
}

}  // namespace
}  // namespace quorvel::compose
