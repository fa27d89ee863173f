// SPDX-License-Identifier: MIT
// Which frame footage shows at a composition's frame times: the one whose span, from its
// timestamp to the next frame's, holds the time. The clips' frames are each a flat colour of
// their own, so the frame shown is known from its colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "headless/pixels/world.h"
#include "media/footage/footage_reader.h"
#include "media/footage/frame_conversion.h"
#include "tests/media/test_media.h"

namespace quorvel::media {
namespace {

using test::FlatFrameIndex;
using test::MediaFolder;

struct Clip {
  const char* name;
  std::string make;  // the ffmpeg tool's arguments
  int frames;
  // Frame k's timestamp is pts_numerator(k) / pts_denominator seconds.
  std::function<int64_t(int)> pts_numerator;
  int64_t pts_denominator;
  int64_t end_numerator;  // where the last frame ends, over pts_denominator; 0 when unwritten
};

std::string FlatSource(const std::string& rate) {
  return "-f lavfi -i \"color=c=black:s=64x36:r=" + rate + "," + test::kFlatColourFrames;
}

std::vector<Clip> Clips() {
  const std::string film = FlatSource("24000/1001") + "\" -frames:v 24 -c:v libx264 -g 6 ";
  // A variable rate: frames of 55, 55 and 10 ms in turn, timed by setpts in milliseconds and
  // kept so through the encoder and the file.
  const std::string variable = FlatSource("25") +
                               ",settb=1/1000,setpts=40*N+15*mod(N\\,3)\" -frames:v 20 "
                               "-fps_mode passthrough -enc_time_base 1:1000 -c:v libx264 -g 5 ";
  const auto film_pts = [](int k) { return int64_t{1001} * k; };
  const auto variable_pts = [](int k) { return int64_t{40} * k + 15 * (k % 3); };
  return {
      {"film.mp4", film + "film.mp4", 24, film_pts, 24000, 1001 * 24},
      {"film.mov", film + "-bf 0 film.mov", 24, film_pts, 24000, 1001 * 24},
      {"variable.mp4", variable + "-video_track_timescale 1000 variable.mp4", 20, variable_pts,
       1000, 0},
      {"variable.mkv", variable + "variable.mkv", 20, variable_pts, 1000, 0},
  };
}

// The frame whose span holds time/scale seconds: -1 for none (past the end), -2 where the
// clip does not say (past its last timestamp, when the last frame's length was not written).
int ExpectedFrame(const Clip& clip, int64_t time, int64_t scale) {
  const auto at_or_after = [&](int64_t numerator) {
    return time * clip.pts_denominator >= numerator * scale;
  };
  int frame = 0;
  while (frame + 1 < clip.frames && at_or_after(clip.pts_numerator(frame + 1))) ++frame;
  if (frame + 1 < clip.frames) return frame;
  if (clip.end_numerator != 0) return at_or_after(clip.end_numerator) ? -1 : frame;
  // A second past the last timestamp is past any frame's length.
  if (at_or_after(clip.pts_numerator(frame) + clip.pts_denominator)) return -1;
  return -2;
}

int FrameShown(FootageReader& reader, int64_t time, int64_t scale) {
  const FootageFrame frame = reader.FrameAt(time, static_cast<int32_t>(scale));
  EXPECT_TRUE(frame.status) << frame.status.message;
  return frame.world == nullptr ? -1 : FlatFrameIndex(*frame.world);
}

// The same, from the frame as decoded, converted here to tell its colour.
int NativeFrameShown(FootageReader& reader, int64_t time, int64_t scale) {
  const FootageNativeFrame frame = reader.NativeFrameAt(time, static_cast<int32_t>(scale));
  EXPECT_TRUE(frame.status) << frame.status.message;
  if (frame.frame == nullptr) return -1;
  headless::OwnedWorld world(reader.info().width, reader.info().height);
  FrameConverter converter;
  std::string why;
  EXPECT_TRUE(converter.ToStraight(*frame.frame, AV_CODEC_ID_NONE, world.width(), world.height(),
                                   headless::WorldRow(world.world(), 0), world.world().rowbytes,
                                   why))
      << why;
  return FlatFrameIndex(world.world());
}

class FootageTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const Clip& clip : Clips()) ASSERT_TRUE(folder_.Ffmpeg(clip.make)) << clip.make;
  }
  std::unique_ptr<FootageReader> Open(const Clip& clip) {
    media::FileStatus status;
    auto reader = FootageReader::Open(folder_ / clip.name, status);
    EXPECT_TRUE(status) << status.message;
    return reader;
  }
  MediaFolder folder_;
};

// Each composition frame of 25 and 30 frames a second, from a little before the start to past
// the end, read in order, backwards, and in jumps both ways, by one reader per order, as a
// world and as decoded.
TEST_F(FootageTiming, EachCompositionFrameShowsTheFrameWhoseSpanHoldsItsTime) {
  for (const Clip& clip : Clips()) {
    for (const int64_t rate : {25, 30}) {
      SCOPED_TRACE(std::string(clip.name) + " at " + std::to_string(rate) + " fps");
      std::vector<int64_t> in_order;
      for (int64_t n = -2; n <= rate + 2; ++n) in_order.push_back(n);
      std::vector<int64_t> backwards(in_order.rbegin(), in_order.rend());
      // Steps of 11 frames, forward and round again: every time once, as 11 is prime to the
      // 30 and 35 times.
      std::vector<int64_t> jumps;
      for (size_t i = 0; i < in_order.size(); ++i) {
        jumps.push_back(in_order[i * 11 % in_order.size()]);
      }
      for (const auto* order : {&in_order, &backwards, &jumps}) {
        const auto reader = Open(clip);
        ASSERT_TRUE(reader);
        for (const int64_t n : *order) {
          const int expected = ExpectedFrame(clip, n, rate);
          if (expected == -2) continue;
          const char* how = order == &in_order    ? " in order"
                            : order == &backwards ? " backwards"
                                                  : " in jumps";
          // Both ways of asking, by turns, from one reader.
          EXPECT_EQ(FrameShown(*reader, n, rate), expected) << "frame " << n << how;
          EXPECT_EQ(NativeFrameShown(*reader, n, rate), expected) << "native frame " << n << how;
        }
      }
    }
  }
}

// Matroska and WebM keep times in milliseconds: frame 2 of 30 a second at 67 ms, after 2/30 s.
// Read at their own rate, such files still give each frame once, in turn.
TEST_F(FootageTiming, MillisecondTimestampsGiveEachFrameAtItsOwnRate) {
  const struct {
    const char* name;
    int64_t time_per_frame;
    int32_t time_scale;
  } cases[] = {{"thirty.mkv", 1, 30}, {"film.webm", 1001, 24000}};
  for (const auto& c : cases) {
    const std::string rate = std::to_string(c.time_scale) + "/" + std::to_string(c.time_per_frame);
    ASSERT_TRUE(folder_.Ffmpeg(FlatSource(rate) + "\" -frames:v 36 -c:v " +
                               (std::string(c.name).find("webm") != std::string::npos
                                    ? "libvpx-vp9 -deadline realtime "
                                    : "libx264 ") +
                               c.name));
    media::FileStatus status;
    const auto reader = FootageReader::Open(folder_ / c.name, status);
    ASSERT_TRUE(reader) << status.message;
    for (int n = 0; n < 36; ++n) {
      const FootageFrame frame = reader->FrameAt(n * c.time_per_frame, c.time_scale);
      ASSERT_NE(frame.world, nullptr) << c.name << " " << n << frame.status.message;
      EXPECT_EQ(FlatFrameIndex(*frame.world), n) << c.name;
    }
  }
}

// A job rendering a range of frames starts partway and may jump: five seconds with a keyframe
// each second, read ahead past keyframes, back, and on.
TEST_F(FootageTiming, JumpsAheadAndBackGiveTheFramesOfThoseTimes) {
  ASSERT_TRUE(folder_.Ffmpeg(FlatSource("24") + "\" -frames:v 120 -c:v libx264 -g 24 long.mp4"));
  media::FileStatus status;
  const auto reader = FootageReader::Open(folder_ / "long.mp4", status);
  ASSERT_TRUE(reader) << status.message;
  for (const int n : {70, 71, 100, 119, 10, 11, 12, 60, 118, 0, 95, 96, 30}) {
    const FootageFrame frame = reader->FrameAt(n, 24);
    ASSERT_NE(frame.world, nullptr) << n << frame.status.message;
    EXPECT_EQ(FlatFrameIndex(*frame.world), n);
  }
}

TEST_F(FootageTiming, InfoGivesTheRateExactlyAndTheDuration) {
  const struct {
    size_t clip;
    int64_t numerator, denominator;
    double duration;
  } cases[] = {
      {0, 24000, 1001, 1.001},
      {1, 24000, 1001, 1.001},
  };
  const std::vector<Clip> clips = Clips();
  for (const auto& c : cases) {
    const auto reader = Open(clips[c.clip]);
    ASSERT_TRUE(reader);
    const FootageInfo& info = reader->info();
    EXPECT_EQ(info.rate_numerator, c.numerator) << clips[c.clip].name;
    EXPECT_EQ(info.rate_denominator, c.denominator) << clips[c.clip].name;
    EXPECT_DOUBLE_EQ(info.duration, c.duration) << clips[c.clip].name;
    EXPECT_FALSE(info.still);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 36);
  }
}

}  // namespace
}  // namespace quorvel::media
