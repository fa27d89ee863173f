// SPDX-License-Identifier: MIT
// quorvel-render over the user's footage: colour as FFmpeg decodes it, sound kept in sync and
// trimmed, --over laying a scene out for the footage's frame, and bad footage refused in one
// line before any frame, or failing cleanly mid-way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "headless/pixels/world.h"
#include "media/image/png_input.h"
#include "tests/media/support/media_probe.h"
#include "tests/media/test_media.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;
using media::test::MediaFolder;
using ::testing::HasSubstr;

struct CliRun {
  int status = 0;
  std::string out;
  std::string err;
};

CliRun Quorvel(std::vector<std::string> arguments) {
  arguments.insert(arguments.end(), {"--module", QUORVEL_MODULE_PATH});
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
  const int status = RunCli(arguments, console);
  return {status, out.str(), err.str()};
}

const fs::path kScenes = fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes";

class Footage : public ::testing::Test {
 protected:
  // A 2 s H.264 clip of the test pattern with a tone, as a phone or an editor writes one.
  std::string Clip() {
    const std::string clip = (folder_ / "clip.mp4").string();
    if (!fs::exists(clip)) {
      EXPECT_TRUE(folder_.Ffmpeg(
          "-f lavfi -i testsrc2=s=320x180:r=30:d=2 -f lavfi -i sine=f=440:r=48000:d=2 "
          "-c:v libx264 -pix_fmt yuv420p -colorspace bt709 -color_primaries bt709 "
          "-color_trc bt709 -c:a aac -shortest -movflags +faststart clip.mp4"));
    }
    return clip;
  }
  std::string Out(const std::string& name) const { return (folder_ / name).string(); }

  MediaFolder folder_;
};

// A footage-only render is the footage as FFmpeg decodes it: within 1 code value on average and
// 3 at most (measured: 0.72 and 3 through the reader).
TEST_F(Footage, AFootageOnlyRenderIsTheFootageAsFfmpegDecodesIt) {
  const std::string clip = Clip();
  std::ofstream(Out("scene.json")) << R"({"composition": {"width": 320, "height": 180, "fps": 30,
      "duration": 2}, "layers": [{"footage": "clip.mp4"}]})";
  const CliRun run = Quorvel({"render", Out("scene.json"), "-o", Out("f.png"), "--frame", "17"});
  ASSERT_EQ(run.status, 0) << run.err;
  const media::PngImage image = media::ReadPng(Out("f.png"));
  ASSERT_TRUE(image.status) << image.status.message;
  const media::test::Difference difference = media::test::Compare(
      image.world->world(), folder_.DecodedByFfmpeg("clip.mp4", 17, "rgb24"), 3);
  EXPECT_LE(difference.mean, 1.0) << difference;
  EXPECT_LE(difference.most, 3) << difference;
}

// The sound of the footage under the composition is carried, starting with the first frame
// and lasting as the frames do (within one AAC frame, 1024 samples), and trimmed to --frames.
TEST_F(Footage, VideosCarryTheFootagesSoundTrimmedToTheFrames) {
  const std::string clip = Clip();
  const struct {
    std::vector<std::string> frames;
    double seconds;
  } cases[] = {{{}, 2.0}, {{"--frames", "30-59"}, 1.0}};
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"captions", (kScenes / "captions.srt").string(),
                                          "-s",       (kScenes / "caption_style.json").string(),
                                          "--over",   clip,
                                          "-o",       Out("out.mp4")};
    arguments.insert(arguments.end(), c.frames.begin(), c.frames.end());
    const CliRun run = Quorvel(arguments);
    ASSERT_EQ(run.status, 0) << run.err;
    const media::test::MediaProbe probe = media::test::ProbeMedia(Out("out.mp4"));
    const media::test::StreamProbe* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    const media::test::StreamProbe* sound = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(sound, nullptr) << "no sound";
    EXPECT_NEAR(video->duration(), c.seconds, 1e-3);
    EXPECT_NEAR(sound->start, 0, 1e-3);
    EXPECT_NEAR(sound->duration(), video->duration(), 1024.0 / 48000);
  }
  const CliRun silent = Quorvel({"render", (kScenes / "demo.json").string(), "--over", clip,
                                 "--no-audio", "-o", Out("silent.mp4")});
  ASSERT_EQ(silent.status, 0) << silent.err;
  const media::test::MediaProbe silent_probe = media::test::ProbeMedia(Out("silent.mp4"));
  EXPECT_EQ(silent_probe.Find(AVMEDIA_TYPE_AUDIO), nullptr);
}

// --over takes the footage's size, rate and length, and lays out a style made for another frame
// size for it, saying so; a still image has no length of its own.
TEST_F(Footage, OverLaysTheSceneOutForTheFootageAndSaysSo) {
  const std::string clip = Clip();
  const CliRun run = Quorvel({"captions", (kScenes / "captions.srt").string(), "-s",
                              (kScenes / "caption_style.json").string(), "--over", clip, "-o",
                              Out("c_%03d.png"), "--frames", "16"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("caption_style.json was made for 1280x720; laid out for "
                                 "clip.mp4's 320x180, scaled by 0.25"));
  const media::PngImage image = media::ReadPng(Out("c_016.png"));
  ASSERT_TRUE(image.status);
  EXPECT_EQ(image.world->width(), 320);
  EXPECT_EQ(image.world->height(), 180);

  ASSERT_TRUE(folder_.Ffmpeg("-f lavfi -i color=c=gray:s=320x180 -frames:v 1 still.png"));
  const CliRun still = Quorvel(
      {"render", (kScenes / "demo.json").string(), "--over", Out("still.png"), "-o", Out("s.mp4")});
  EXPECT_EQ(still.status, 2);
  EXPECT_THAT(still.err, HasSubstr("still.png is a still image, which has no length of its own: "
                                   "give the composition's with --duration"));
  const CliRun timed = Quorvel({"render", (kScenes / "demo.json").string(), "--over",
                                Out("still.png"), "--duration", "0.5", "-o", Out("s.mp4")});
  EXPECT_EQ(timed.status, 0) << timed.err;
  EXPECT_THAT(timed.out, HasSubstr("(15 frames)"));
}

// Footage that cannot be used is told in one line naming the file, before any frame; footage
// that fails part-way gives its good frames' work up and names the time; nothing is left.
TEST_F(Footage, BadFootageIsToldInOneLineAndLeavesNothing) {
  const std::string clip = Clip();
  std::ofstream(Out("notes.txt")) << "not a video";
  ASSERT_TRUE(folder_.Ffmpeg("-f lavfi -i sine=d=1 -c:a aac sound.m4a"));
  const std::string truncated = Out("cut.mp4");
  {
    std::ifstream whole(clip, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream(truncated, std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
  }
  const struct {
    std::string over;
    const char* message;
  } cases[] = {
      {Out("missing.mp4"), "missing.mp4"},
      {Out("notes.txt"), "notes.txt"},
      {Out("sound.m4a"), "sound.m4a"},
  };
  for (const auto& c : cases) {
    const CliRun run =
        Quorvel({"render", (kScenes / "demo.json").string(), "--over", c.over, "-o", Out("x.mp4")});
    EXPECT_EQ(run.status, 1) << c.over;
    EXPECT_THAT(run.err, HasSubstr(c.message));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(fs::exists(Out("x.mp4")));
  }
  const CliRun cut = Quorvel(
      {"render", (kScenes / "demo.json").string(), "--over", truncated, "-o", Out("x.mp4")});
  EXPECT_EQ(cut.status, 1) << cut.err;
  EXPECT_THAT(cut.err, HasSubstr("cannot read '" + truncated + "' at "));
  EXPECT_FALSE(fs::exists(Out("x.mp4")));
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_ / "")) {
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
  }
}

// Ctrl-C during a footage render ends it within a moment with status 130, leaving no file.
TEST_F(Footage, CtrlCEndsAFootageRenderWithNothingLeft) {
  ASSERT_TRUE(
      folder_.Ffmpeg("-f lavfi -i testsrc2=s=1280x720:r=30:d=20 -c:v libx264 "
                     "-preset ultrafast long.mp4"));
  const std::string command = "timeout 20 '" + std::string(QUORVEL_RENDER_PATH) + "' render '" +
                              (kScenes / "demo.json").string() + "' --over '" + Out("long.mp4") +
                              "' -o '" + Out("long_out.mov") + "' --module '" +
                              QUORVEL_MODULE_PATH +
                              "' 2>/dev/null & pid=$!; sleep 2; kill -INT $pid; wait $pid";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_FALSE(fs::exists(Out("long_out.mov")));
}

}  // namespace
}  // namespace quorvel::cli
