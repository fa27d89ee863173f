// SPDX-License-Identifier: MIT
// A video rendered as segments (--segment I/N) and joined by concat is the one render: the same
// packets for ProRes with copied sound, the same decoded frames for lossless H.264 with encoded
// sound, the sound's duration kept; segments that differ are refused, naming the parameter.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/media/support/media_probe.h"
#include "tests/media/test_media.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;
using media::test::MediaFolder;
using media::test::MediaProbe;
using media::test::StreamProbe;
using ::testing::HasSubstr;

struct CliRun {
  int status = 0;
  std::string out;
  std::string err;
};

CliRun Quorvel(std::vector<std::string> arguments) {
  if (arguments[0] != "concat")
    arguments.insert(arguments.end(), {"--module", QUORVEL_MODULE_PATH});
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
  const int status = RunCli(arguments, console);
  return {status, out.str(), err.str()};
}

class Segments : public ::testing::Test {
 protected:
  // A second of the test pattern with a tone, its sound in `audio_codec`, and a box over it.
  void MakeScene(const std::string& audio_codec, const std::string& clip) {
    ASSERT_TRUE(
        folder_.Ffmpeg("-f lavfi -i testsrc2=s=160x90:r=30:d=1 -f lavfi -i "
                       "sine=f=440:r=48000:d=1 -c:v libx264 -pix_fmt yuv420p -c:a " +
                       audio_codec + " -shortest " + clip));
    std::ofstream(Out("scene.json")) << R"({"composition": {"width": 160, "height": 90,
        "fps": 30, "duration": 1, "background": "#000000"}, "layers": [{"text": "Seg", "size": 24, "position": [40, 40],
        "effect": {"Expansion Uniform": 4}}, {"footage": ")"
                                     << clip << R"("}]})";
  }

  // The whole render, and three segments joined, with the options given.
  void RenderBothWays(const std::string& extension, const std::vector<std::string>& options) {
    std::vector<std::string> whole = {"render", Out("scene.json"), "-o", Out("whole" + extension)};
    whole.insert(whole.end(), options.begin(), options.end());
    const CliRun run = Quorvel(whole);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> concat = {"concat"};
    for (int i = 1; i <= 3; ++i) {
      const std::string segment = Out("part" + std::to_string(i) + extension);
      std::vector<std::string> arguments = {"render", Out("scene.json"), "-o",
                                            segment,  "--segment",       std::to_string(i) + "/3"};
      arguments.insert(arguments.end(), options.begin(), options.end());
      const CliRun part = Quorvel(arguments);
      ASSERT_EQ(part.status, 0) << part.err;
      concat.push_back(segment);
    }
    concat.insert(concat.end(), {"-o", Out("joined" + extension)});
    const CliRun joined = Quorvel(concat);
    ASSERT_EQ(joined.status, 0) << joined.err;
  }

  // Each decoded frame's checksum and time, as the ffmpeg tool lists them.
  std::vector<std::string> FrameChecksums(const std::string& name) {
    EXPECT_TRUE(folder_.Ffmpeg("-i " + name + " -map 0:v -f framemd5 " + name + ".md5"));
    std::ifstream file(Out(name + ".md5"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
      if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
  }

  std::string Out(const std::string& name) const { return (folder_ / name).string(); }

  MediaFolder folder_;
};

TEST_F(Segments, ProResSegmentsJoinIntoTheSamePacketsAndSound) {
  MakeScene("aac", "clip.mp4");  // AAC goes into .mov as it is: each segment copies it
  RenderBothWays(".mov", {});
  const MediaProbe whole = media::test::ProbeMedia(Out("whole.mov"));
  const MediaProbe joined = media::test::ProbeMedia(Out("joined.mov"));
  for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
    const StreamProbe* one = whole.Find(type);
    const StreamProbe* parts = joined.Find(type);
    ASSERT_NE(one, nullptr);
    ASSERT_NE(parts, nullptr);
    EXPECT_EQ(parts->packets.size(), one->packets.size()) << type;
    EXPECT_TRUE(parts->packets == one->packets) << type;
    EXPECT_NEAR(parts->start, one->start, 1e-6) << type;
    EXPECT_NEAR(parts->end, one->end, 1e-6) << type;
  }
  EXPECT_EQ(joined.Find(AVMEDIA_TYPE_VIDEO)->packets.size(), 30u);
}

// Sound the container cannot take as it is (PCM into .mp4) is encoded per segment; the joined
// sound lasts as long as the one render's, give or take one AAC frame (1024 samples) a join.
TEST_F(Segments, H264SegmentsJoinIntoTheSameFramesWithTheSoundsDuration) {
  MakeScene("pcm_s16le", "clip.mov");
  RenderBothWays(".mp4", {"--crf", "0"});  // lossless: a frame decodes alike however encoded
  EXPECT_EQ(FrameChecksums("joined.mp4"), FrameChecksums("whole.mp4"));
  const MediaProbe whole = media::test::ProbeMedia(Out("whole.mp4"));
  const MediaProbe joined = media::test::ProbeMedia(Out("joined.mp4"));
  const StreamProbe* one = whole.Find(AVMEDIA_TYPE_AUDIO);
  const StreamProbe* parts = joined.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(parts, nullptr);
  EXPECT_NEAR(parts->start, 0, 1e-6);
  EXPECT_NEAR(parts->duration(), one->duration(), 1e-6);
  EXPECT_NEAR(parts->duration(), 1.0, 1e-6);
  EXPECT_NEAR(static_cast<double>(parts->samples), static_cast<double>(one->samples), 2 * 1024);
}

// WebM keeps times in milliseconds: each segment's end is rounded (333 for 10 frames at 30 fps),
// and the joins must not add those roundings up; the video's times are the one render's. Its
// Opus sound is encoded per segment, its priming kept as the track's codec delay (6.5 ms, held
// as 7): the sound's ends are the one render's within that millisecond.
TEST_F(Segments, WebmSegmentsJoinAtTheOneRendersTimes) {
  MakeScene("aac", "clip.mp4");
  RenderBothWays(".webm", {});
  const MediaProbe whole = media::test::ProbeMedia(Out("whole.webm"));
  const MediaProbe joined = media::test::ProbeMedia(Out("joined.webm"));
  for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
    const StreamProbe* one = whole.Find(type);
    const StreamProbe* parts = joined.Find(type);
    ASSERT_NE(one, nullptr);
    ASSERT_NE(parts, nullptr);
    const double tolerance = type == AVMEDIA_TYPE_VIDEO ? 1e-6 : 1e-3;
    EXPECT_NEAR(parts->start, one->start, tolerance) << type;
    EXPECT_NEAR(parts->end, one->end, tolerance) << type;
  }
  EXPECT_EQ(joined.Find(AVMEDIA_TYPE_VIDEO)->packets.size(), 30u);
}

// Captions over footage split the same way: the middle third of a 1 s clip is 10 frames, and
// carries the sound of those frames only (as long, to the millisecond that .mp4's edit list
// keeps).
TEST_F(Segments, CaptionsRenderASegmentWithTheSoundOfItsFrames) {
  MakeScene("aac", "clip.mp4");
  const CliRun run = Quorvel(
      {"captions", (fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes" / "captions.srt").string(),
       "--over", Out("clip.mp4"), "--duration", "1", "-o", Out("middle.mp4"), "--segment", "2/3"});
  ASSERT_EQ(run.status, 0) << run.err;
  const MediaProbe probe = media::test::ProbeMedia(Out("middle.mp4"));
  const StreamProbe* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  const StreamProbe* sound = probe.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(video->packets.size(), 10u);
  EXPECT_NEAR(sound->start, 0, 1e-6);
  EXPECT_NEAR(sound->duration(), 10.0 / 30, 1e-3);
}

TEST_F(Segments, SegmentsThatDifferAreRefusedNamingTheParameter) {
  MakeScene("aac", "clip.mp4");
  for (const auto& [part, prores] : {std::pair{"1/2", "4444"}, std::pair{"2/2", "422hq"}}) {
    const CliRun run =
        Quorvel({"render", Out("scene.json"), "-o", Out(std::string(prores) + ".mov"), "--segment",
                 part, "--prores", prores});
    ASSERT_EQ(run.status, 0) << run.err;
  }
  const CliRun refused =
      Quorvel({"concat", Out("4444.mov"), Out("422hq.mov"), "-o", Out("joined.mov")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err,
              HasSubstr("cannot join '" + Out("422hq.mov") + "': its video's profile"));
  EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
  EXPECT_FALSE(fs::exists(Out("joined.mov")));
  for (const fs::directory_entry& entry : fs::directory_iterator(Out("."))) {
    EXPECT_THAT(entry.path().string(), ::testing::Not(HasSubstr(".partial")));
  }

  const CliRun too_many = Quorvel(
      {"render", Out("scene.json"), "-o", Out("x.mov"), "--frames", "0-1", "--segment", "3/3"});
  EXPECT_EQ(too_many.status, 1);
  EXPECT_THAT(too_many.err, HasSubstr("--segment 3/3: frames 0-1 make 2 frames"));
  const CliRun not_a_video =
      Quorvel({"render", Out("scene.json"), "-o", Out("x.png"), "--segment", "1/3"});
  EXPECT_EQ(not_a_video.status, 2);
  for (const char* bad : {"0/3", "4/3", "3", "1/0", "a/b"}) {
    EXPECT_EQ(Quorvel({"render", Out("scene.json"), "-o", Out("x.mov"), "--segment", bad}).status,
              2)
        << bad;
  }
}

}  // namespace
}  // namespace quorvel::cli
