// SPDX-License-Identifier: MIT
#include "media/video/encoder_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "tests/media/support/media_probe.h"
#include "tests/media/support/test_video.h"

namespace quorvel::media {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(EncoderSettings, EachFormatTakesItsOwnRangesAndNamesThemWhenRefusing) {
  const struct {
    VideoFormat format;
    std::optional<int> crf;
    std::optional<std::string> preset;
    const char* refusal;  // null: taken
  } cases[] = {
      {VideoFormat::kH264, 0, "placebo", nullptr},
      {VideoFormat::kH264, 51, "ultrafast", nullptr},
      {VideoFormat::kH264, std::nullopt, std::nullopt, nullptr},
      {VideoFormat::kH264, 52, std::nullopt,
       "H.264 takes a crf from 0 (lossless) to 51, 18 by default; 52 is out of range"},
      {VideoFormat::kH264, -1, std::nullopt, "-1 is out of range"},
      {VideoFormat::kH264, std::nullopt, "quick",
       "H.264 takes the presets ultrafast, superfast, veryfast, faster, fast, medium, slow, "
       "slower, veryslow and placebo (veryfast by default); 'quick' is not one"},
      {VideoFormat::kH264, std::nullopt, "4", "'4' is not one"},
      {VideoFormat::kVp9WithAlpha, 63, "veryslow", nullptr},
      {VideoFormat::kVp9WithAlpha, 0, "8", nullptr},
      {VideoFormat::kVp9WithAlpha, 64, std::nullopt,
       "VP9 takes a crf from 0 (best) to 63, 24 by default; 64 is out of range"},
      {VideoFormat::kVp9WithAlpha, std::nullopt, "placebo",
       "VP9 takes the presets ultrafast, superfast, veryfast, faster, fast, medium, slow, slower "
       "and veryslow (fast by default), or libvpx's cpu-used 0 to 8; 'placebo' is neither"},
      {VideoFormat::kVp9WithAlpha, std::nullopt, "9", "'9' is neither"},
      {VideoFormat::kProRes4444, std::nullopt, std::nullopt, nullptr},
      {VideoFormat::kProRes4444, 18, std::nullopt,
       "ProRes 4444 takes no crf: its quality is its profile"},
      {VideoFormat::kProRes422Hq, std::nullopt, "fast", "ProRes 422 HQ takes no preset"},
  };
  for (const auto& c : cases) {
    const FileStatus checked = CheckEncoderSettings(c.format, c.crf, c.preset);
    const std::string label = std::to_string(static_cast<int>(c.format)) + " " +
                              std::to_string(c.crf.value_or(-99)) + " " + c.preset.value_or("-");
    if (c.refusal == nullptr) {
      EXPECT_TRUE(checked) << label << ": " << checked.message;
    } else {
      EXPECT_FALSE(checked) << label;
      EXPECT_THAT(checked.message, HasSubstr(c.refusal)) << label;
    }
  }
}

// The names run from libvpx's fastest (8) to its slowest (0); its own numbers pass through.
TEST(EncoderSettings, Vp9PresetsAreLibvpxSpeeds) {
  const struct {
    std::optional<std::string> preset;
    int cpu_used;
  } cases[] = {{std::nullopt, 4}, {"ultrafast", 8}, {"veryfast", 6}, {"fast", 4},
               {"medium", 3},     {"veryslow", 0},  {"0", 0},        {"7", 7}};
  for (const auto& c : cases) {
    EXPECT_EQ(Vp9CpuUsedFor(c.preset), c.cpu_used) << c.preset.value_or("unset");
  }
}

TEST(EncoderSettings, OnlyProRes422HqRefusesABackgroundThatIsNotOpaque) {
  const struct {
    VideoFormat format;
    A_u_char alpha;
    const char* refusal;
  } cases[] = {
      {VideoFormat::kProRes422Hq, 255, nullptr},
      {VideoFormat::kProRes422Hq, 0,
       "ProRes 422 HQ has no alpha, and the background is transparent: make it opaque, or write "
       "ProRes 4444"},
      {VideoFormat::kProRes422Hq, 128, "the background is partly transparent"},
      {VideoFormat::kProRes4444, 0, nullptr},
      {VideoFormat::kH264, 0, nullptr},  // laid over black, as it always was
  };
  for (const auto& c : cases) {
    const FileStatus checked = CheckVideoBackground(c.format, PF_Pixel{c.alpha, 10, 20, 30});
    if (c.refusal == nullptr) {
      EXPECT_TRUE(checked) << static_cast<int>(c.alpha);
    } else {
      EXPECT_THAT(checked.message, HasSubstr(c.refusal)) << static_cast<int>(c.alpha);
    }
  }
}

class EncoderSettingsInFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = fs::temp_directory_path() / ("quorvel-encoder-test-" + std::to_string(random()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  static VideoSettings Settings(VideoFormat format) {
    VideoSettings settings;
    settings.format = format;
    settings.width = 64;
    settings.height = 48;
    settings.background = {255, 0, 0, 0};
    settings.library_messages = [](const std::string&) {};
    return settings;
  }
  fs::path folder_;
};

// What a player finds: the profile and pixels each choice makes.
TEST_F(EncoderSettingsInFiles, TheFileHoldsTheProfileAndPixelsAskedFor) {
  const auto with = [](VideoSettings settings, std::optional<int> crf,
                       std::optional<std::string> preset) {
    settings.crf = crf;
    settings.preset = preset;
    return settings;
  };
  const struct {
    const char* name;
    VideoSettings settings;
    int profile;
    AVPixelFormat pixels;
  } cases[] = {
      {"hq.mov", Settings(VideoFormat::kProRes422Hq), FF_PROFILE_PRORES_HQ, AV_PIX_FMT_YUV422P10LE},
      // FFmpeg's decoder gives 4444 as 12 bits (the encoder took 10).
      {"4444.mov", Settings(VideoFormat::kProRes4444), FF_PROFILE_PRORES_4444,
       AV_PIX_FMT_YUVA444P12LE},
      // x264's fastest preset leaves out what the High profile adds (CABAC, B-frames, 8x8).
      {"ultrafast.mp4", with(Settings(VideoFormat::kH264), 30, "ultrafast"),
       FF_PROFILE_H264_CONSTRAINED_BASELINE, AV_PIX_FMT_YUV420P},
      {"default.mp4", Settings(VideoFormat::kH264), FF_PROFILE_H264_HIGH, AV_PIX_FMT_YUV420P},
  };
  for (const auto& c : cases) {
    const fs::path path = folder_ / c.name;
    const FileStatus written = test::WriteTestVideo(path, c.settings, 3, test::Frames::kNoise);
    ASSERT_TRUE(written) << c.name << ": " << written.message;
    const test::MediaProbe probe = test::ProbeMedia(path);
    const test::StreamProbe* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr) << c.name;
    EXPECT_EQ(video->profile, c.profile) << c.name;
    EXPECT_EQ(video->pixels, c.pixels) << c.name;
  }
}

// A lower crf keeps more of the noise, in a larger file: measured 4.7 times as large for H.264
// and 1.9 times for VP9 (whose alpha plane and headers weigh more in frames this small).
TEST_F(EncoderSettingsInFiles, ALowerCrfMakesALargerFile) {
  for (const VideoFormat format : {VideoFormat::kH264, VideoFormat::kVp9WithAlpha}) {
    std::uintmax_t sizes[2] = {};
    const int crfs[2] = {10, 45};
    for (int i = 0; i < 2; ++i) {
      VideoSettings settings = Settings(format);
      settings.crf = crfs[i];
      const fs::path path =
          folder_ / ("crf" + std::to_string(crfs[i]) +
                     (format == VideoFormat::kH264 ? std::string(".mp4") : std::string(".webm")));
      ASSERT_TRUE(test::WriteTestVideo(path, settings, 3, test::Frames::kNoise));
      sizes[i] = fs::file_size(path);
    }
    EXPECT_GT(sizes[0] * 2, sizes[1] * 3) << static_cast<int>(format);
  }
}

TEST_F(EncoderSettingsInFiles, TheWriterRefusesWhatTheChecksRefuseAndWritesNothing) {
  VideoSettings bad_crf = Settings(VideoFormat::kH264);
  bad_crf.crf = 60;
  VideoSettings see_through = Settings(VideoFormat::kProRes422Hq);
  see_through.background.alpha = 0;
  const struct {
    const char* name;
    VideoSettings settings;
    const char* refusal;
  } cases[] = {{"v.mp4", bad_crf, "60 is out of range"},
               {"v.mov", see_through, "ProRes 422 HQ has no alpha"}};
  for (const auto& c : cases) {
    const fs::path path = folder_ / c.name;
    const FileStatus written = test::WriteTestVideo(path, c.settings, 1);
    EXPECT_THAT(written.message, HasSubstr("cannot write '" + path.string() + "': ")) << c.name;
    EXPECT_THAT(written.message, HasSubstr(c.refusal)) << c.name;
    EXPECT_TRUE(fs::is_empty(folder_)) << c.name;
  }
}

}  // namespace
}  // namespace quorvel::media
