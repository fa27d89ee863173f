// SPDX-License-Identifier: MIT
// Footage that cannot be read, or not all of it: one line naming the file and why, the frames
// that can be read up to a fault, and a stop honoured.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "headless/common/interruption.h"
#include "headless/pixels/memory_budget.h"
#include "media/footage/footage_reader.h"
#include "tests/media/test_media.h"

namespace quorvel::media {
namespace {

namespace fs = std::filesystem;
using test::FlatFrameIndex;
using test::MediaFolder;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string Bytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FootageFaults, OpeningFailsWithOneLineNamingTheFileAndWhy) {
  MediaFolder folder;
  ASSERT_TRUE(folder.Ffmpeg("-f lavfi -i sine=d=0.2 sound.wav"));
  ASSERT_TRUE(folder.Ffmpeg("-f lavfi -i color=s=40000x2 -frames:v 1 wide.png"));
  ASSERT_TRUE(folder.Ffmpeg("-f lavfi -i testsrc2=s=64x36 -frames:v 2 -c:v libx264 h264.mkv"));
  // The same file with its codec's name changed (to one of the same length) in the header.
  std::string unknown = Bytes(folder / "h264.mkv");
  const size_t codec = unknown.find("V_MPEG4/ISO/AVC");
  ASSERT_NE(codec, std::string::npos);
  unknown.replace(codec, 15, "V_QUORVEL/XYZ/A");
  Write(folder / "unknown.mkv", unknown);
  Write(folder / "notes.txt", "Shot list\n1. The harbour at dawn\n2. The market\n");
  fs::create_directories(folder / "clips.mov");

  const struct {
    const char* name;
    const char* why;
  } cases[] = {
      {"missing.mp4", "no such file"},
      {"clips.mov", "it is a folder, not a file"},
      {"notes.txt", "not a media file that FFmpeg's libraries know"},
      {"sound.wav", "it has no video stream"},
      {"unknown.mkv", "its video is in a codec that FFmpeg's libraries do not know"},
      {"wide.png", "its frames are 40000x2, larger than the host's 30000x30000"},
  };
  for (const auto& c : cases) {
    media::FileStatus status;
    const auto reader = FootageReader::Open(folder / c.name, status);
    EXPECT_FALSE(reader) << c.name;
    EXPECT_FALSE(status.ok) << c.name;
    EXPECT_EQ(status.message, "cannot read '" + (folder / c.name).string() + "': " + c.why);
  }
}

// Flat frames at 24 a second, without B-frames, so that frame n shows at n / 24 seconds and
// the frames decoded before a fault are those stored before it.
class CutFootage : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, const std::string& codec) {
    EXPECT_TRUE(folder_.Ffmpeg("-f lavfi -i \"color=s=64x36:r=24," +
                               std::string(test::kFlatColourFrames) + "\" -frames:v 36 -bf 0 " +
                               codec + " " + name));
    return Bytes(folder_ / name);
  }

  MediaFolder folder_;
};

// Frames up to the fault come as they are; then the next times fail naming the file and the
// time, the same each time asked, while earlier frames are still there.
TEST_F(CutFootage, FramesUpToTheFaultThenAFailureNamingTheFileAndTime) {
  enum class Damage { kCutBetweenFrames, kCutWithinAFrame, kSpoiltFrame };
  const struct {
    const char* name;
    const char* codec;
    Damage damage;
    const char* why;
    bool later_frames_readable;  // past the fault, by a seek: all of ProRes's frames are keyframes
  } cases[] = {
      {"between.mp4", "-c:v libx264 -g 6 -movflags +faststart", Damage::kCutBetweenFrames,
       "the file is cut short: its frames stop here, and it says they go on to 1.500 s", false},
      {"within.mp4", "-c:v libx264 -g 6 -movflags +faststart", Damage::kCutWithinAFrame,
       "the file is cut short or damaged here", false},
      {"within.mkv", "-c:v libx264 -g 6", Damage::kCutWithinAFrame,
       "the file is cut short: its frames stop here, and it says they go on to 1.500 s", false},
      {"spoilt.mov", "-c:v prores_ks", Damage::kSpoiltFrame,
       "the prores decoder failed: Invalid data found when processing input", true},
  };
  constexpr int kLost = 12;  // the first frame lost
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = Make(c.name, c.codec);
    if (c.damage == Damage::kSpoiltFrame) {
      // The frame's ProRes signature.
      size_t at = 0;
      for (int frame = 0; frame <= kLost; ++frame) at = bytes.find("icpf", at + 1);
      ASSERT_NE(at, std::string::npos);
      bytes.replace(at, 4, "xxxx");
    } else {
      // Where the frame's bytes are in the file, as ffprobe finds them.
      ASSERT_TRUE(folder_.Run("ffprobe -v error -show_entries packet=pos -of csv=p=0 " +
                              std::string(c.name) + " > positions"));
      std::ifstream positions(folder_ / "positions");
      size_t at = 0;
      for (int frame = 0; frame <= kLost; ++frame) positions >> at;
      ASSERT_TRUE(positions) << "no position for frame " << kLost;
      bytes.resize(at + (c.damage == Damage::kCutWithinAFrame ? 8 : 0));
    }
    Write(folder_ / c.name, bytes);
    media::FileStatus status;
    const auto reader = FootageReader::Open(folder_ / c.name, status);
    ASSERT_TRUE(reader) << status.message;
    int failed_at = -1;
    std::string failure;
    for (int n = 0; n < 36; ++n) {
      const FootageFrame frame = reader->FrameAt(n, 24);
      if (!frame.status) {
        failed_at = n;
        failure = frame.status.message;
        break;
      }
      ASSERT_NE(frame.world, nullptr) << n;
      EXPECT_EQ(FlatFrameIndex(*frame.world), n);
    }
    EXPECT_EQ(failed_at, kLost) << failure;
    const std::string name = "cannot read '" + (folder_ / c.name).string() + "' at ";
    ASSERT_THAT(failure, StartsWith(name));
    EXPECT_THAT(failure, EndsWith(std::string(": ") + c.why));
    EXPECT_THAT(failure, Not(HasSubstr("\n")));
    // The time named is that of the first frame lost, to the millisecond of the file's clock.
    const double seconds = std::stod(failure.substr(name.size()));
    EXPECT_NEAR(seconds, failed_at / 24.0, 0.0011);
    EXPECT_EQ(reader->FrameAt(failed_at + 1, 24).status.message, failure);
    const FootageFrame last = reader->FrameAt(35, 24);
    if (c.later_frames_readable) {
      ASSERT_NE(last.world, nullptr) << last.status.message;
      EXPECT_EQ(FlatFrameIndex(*last.world), 35);
    } else {
      EXPECT_EQ(last.status.message, failure);
    }
    EXPECT_EQ(reader->FrameAt(failed_at, 24).status.message, failure);
    const FootageFrame first = reader->FrameAt(1, 24);
    ASSERT_NE(first.world, nullptr) << first.status.message;
    EXPECT_EQ(FlatFrameIndex(*first.world), 1);
  }
}

TEST_F(CutFootage, AStopGivesUpAndReadingGoesOnAfter) {
  Make("film.mkv", "-c:v libx264 -g 6");
  media::FileStatus status;
  const auto reader = FootageReader::Open(folder_ / "film.mkv", status);
  ASSERT_TRUE(reader) << status.message;
  headless::RequestInterruption();
  const FootageFrame stopped = reader->FrameAt(30, 24);
  headless::ClearInterruption();
  EXPECT_EQ(stopped.world, nullptr);
  EXPECT_EQ(stopped.status.message,
            "cannot read '" + (folder_ / "film.mkv").string() + "': stopped");
  const FootageFrame frame = reader->FrameAt(30, 24);
  ASSERT_NE(frame.world, nullptr) << frame.status.message;
  EXPECT_EQ(FlatFrameIndex(*frame.world), 30);
}

TEST_F(CutFootage, AFrameLargerThanTheMemoryBudgetIsToldBeforeRendering) {
  Make("film.mkv", "-c:v libx264");
  media::FileStatus status;
  const auto reader = FootageReader::Open(folder_ / "film.mkv", status);
  ASSERT_TRUE(reader) << status.message;
  // 64x36: rows of 272 bytes (a multiple of 16 past 256).
  EXPECT_EQ(reader->info().frame_bytes, 272u * 36);
  EXPECT_TRUE(reader->CheckMemoryBudget());
  headless::SetMemoryBudget(4096);
  const media::FileStatus check = reader->CheckMemoryBudget();
  const FootageFrame frame = reader->FrameAt(0, 24);
  headless::SetMemoryBudget(0);
  EXPECT_EQ(check.message, "cannot read '" + (folder_ / "film.mkv").string() +
                               "': a 64x36 frame takes 9.6 KiB, more than the memory budget of "
                               "4 KiB");
  EXPECT_EQ(frame.world, nullptr);
  EXPECT_THAT(frame.status.message, HasSubstr("memory budget"));
}

}  // namespace
}  // namespace quorvel::media
