// SPDX-License-Identifier: MIT
// Footage's frames as decoded, written to H.264 as they are: the frames and the colour tags
// that come out, read back with FFmpeg's libraries, and what such a video refuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "headless/pixels/world.h"
#include "media/common/ffmpeg_handles.h"
#include "media/footage/footage_reader.h"
#include "media/video/video_output.h"
#include "tests/media/support/media_probe.h"
#include "tests/media/test_media.h"

namespace quorvel::media {
namespace {

using test::MediaFolder;
using ::testing::HasSubstr;

constexpr int kFrames = 8;
constexpr int kRate = 25;

// The settings of an H.264 video that takes the footage's frames as decoded, lossless where x264
// can be (crf 0 at 8 bits).
VideoSettings NativeSettings(const FootageInfo& info) {
  VideoSettings settings;
  settings.format = VideoFormat::kH264;
  settings.width = info.width;
  settings.height = info.height;
  settings.time_scale = kRate;
  settings.frame_duration = 1;
  settings.crf = 0;
  settings.native = info.native;
  return settings;
}

std::unique_ptr<FootageReader> OpenFootage(const std::filesystem::path& path) {
  FileStatus status;
  auto reader = FootageReader::Open(path, status);
  EXPECT_TRUE(reader) << status.message;
  return reader;
}

std::unique_ptr<VideoWriter> OpenWriter(const std::filesystem::path& path,
                                        const VideoSettings& settings, FileStatus& status) {
  OutputTarget target;
  status = ResolveOutput(path, target);
  if (!status) return nullptr;
  return VideoWriter::Open(target, settings, status);
}

// How far two decoded frames of one planar format are apart, over all their samples.
test::Difference PlaneDifference(const AVFrame& a, const AVFrame& b) {
  const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(a.format));
  if (a.format != b.format || a.width != b.width || a.height != b.height) return {1e9, 1 << 30};
  test::Difference difference;
  int64_t sum = 0;
  int64_t samples = 0;
  const bool wide = layout->comp[0].depth > 8;
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane == 0 ? a.width : AV_CEIL_RSHIFT(a.width, layout->log2_chroma_w);
    const int height = plane == 0 ? a.height : AV_CEIL_RSHIFT(a.height, layout->log2_chroma_h);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row_a = a.data[plane] + static_cast<ptrdiff_t>(y) * a.linesize[plane];
      const uint8_t* row_b = b.data[plane] + static_cast<ptrdiff_t>(y) * b.linesize[plane];
      for (int x = 0; x < width; ++x) {
        const int value_a = wide ? reinterpret_cast<const uint16_t*>(row_a)[x] : row_a[x];
        const int value_b = wide ? reinterpret_cast<const uint16_t*>(row_b)[x] : row_b[x];
        const int off = std::abs(value_a - value_b);
        sum += off;
        difference.most = std::max(difference.most, off);
        ++samples;
      }
    }
  }
  difference.mean = static_cast<double>(sum) / static_cast<double>(samples);
  return difference;
}

// testsrc2 in several pixel formats and colours, each read as decoded and written so; the video
// carries the source's tags (its matrix and range as read: as tagged, or as assumed for an
// untagged one; its primaries and transfer as tagged) and, read back, the source's frames: the
// same bit for bit at 8 bits, where crf 0 is lossless; at 10 bits, where it is not, within a mean
// of 1.5 and at most 24 code values (measured 0.67 to 1.15, and 9 to 18, at testsrc2's sharp
// edges). The first has a second of sound, copied beside the frames and trimmed to them.
TEST(NativeVideo, KeepsTheFramesAndTheirColourTags) {
  const struct {
    const char* name;
    const char* encode;
    AVPixelFormat pixels;  // as read back: FFmpeg reads full-range H.264 as its yuvj formats
    AVColorSpace space;
    AVColorRange range;
    AVColorPrimaries primaries;
    AVColorTransferCharacteristic transfer;
    double most_mean;
    int most;
  } cases[] = {
      {"pal.mp4",
       "-pix_fmt yuv420p -colorspace bt470bg -color_primaries bt470bg -color_trc gamma28",
       AV_PIX_FMT_YUV420P, AVCOL_SPC_BT470BG, AVCOL_RANGE_MPEG, AVCOL_PRI_BT470BG,
       AVCOL_TRC_GAMMA28, 0, 0},
      {"full444.mp4",
       "-pix_fmt yuv444p -color_range pc -colorspace bt709 -color_primaries bt709 "
       "-color_trc bt709",
       AV_PIX_FMT_YUVJ444P, AVCOL_SPC_BT709, AVCOL_RANGE_JPEG, AVCOL_PRI_BT709, AVCOL_TRC_BT709, 0,
       0},
      {"jpeg_range.mp4", "-pix_fmt yuvj420p", AV_PIX_FMT_YUVJ420P, AVCOL_SPC_SMPTE170M,
       AVCOL_RANGE_JPEG, AVCOL_PRI_UNSPECIFIED, AVCOL_TRC_UNSPECIFIED, 0, 0},
      {"untagged.mp4", "-pix_fmt yuv420p", AV_PIX_FMT_YUV420P, AVCOL_SPC_SMPTE170M,
       AVCOL_RANGE_MPEG, AVCOL_PRI_UNSPECIFIED, AVCOL_TRC_UNSPECIFIED, 0, 0},
      {"pq422.mp4",
       "-pix_fmt yuv422p10le -colorspace bt2020nc -color_primaries bt2020 -color_trc smpte2084",
       AV_PIX_FMT_YUV422P10LE, AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG, AVCOL_PRI_BT2020,
       AVCOL_TRC_SMPTE2084, 1.5, 24},
  };
  MediaFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool sound = &c == &cases[0];
    const std::string source = std::string("source_") + c.name;
    // testsrc2 for the frames' span (a frame count would cut the sound at the last frame).
    ASSERT_TRUE(folder.Ffmpeg(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=" + std::to_string(double{kFrames} / kRate) + " " +
        (sound ? "-f lavfi -i sine=sample_rate=48000:duration=1 -c:a aac " : "") + "-c:v libx264 " +
        c.encode + " " + source));
    const auto footage = OpenFootage(folder / source);
    ASSERT_TRUE(footage);
    VideoSettings settings = NativeSettings(footage->info());
    if (sound) settings.audio = AudioSource{folder / source, 0, 0, double{kFrames} / kRate};
    FileStatus status;
    const auto writer = OpenWriter(folder / c.name, settings, status);
    ASSERT_TRUE(writer) << status.message;
    for (int n = 0; n < kFrames; ++n) {
      const FootageNativeFrame frame = footage->NativeFrameAt(n, kRate);
      ASSERT_NE(frame.frame, nullptr) << frame.status.message;
      ASSERT_TRUE(writer->Write(*frame.frame));
    }
    ASSERT_TRUE(writer->Finish());

    const test::MediaProbe probe = test::ProbeMedia(folder / c.name);
    const test::StreamProbe* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->pixels, c.pixels);
    EXPECT_EQ(video->colour_space, c.space);
    EXPECT_EQ(video->colour_range, c.range);
    EXPECT_EQ(video->primaries, c.primaries);
    EXPECT_EQ(video->transfer, c.transfer);
    EXPECT_EQ(video->packets.size(), size_t{kFrames});
    const test::StreamProbe* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(audio != nullptr, sound);
    if (audio != nullptr) {
      EXPECT_NEAR(audio->duration(), double{kFrames} / kRate, 0.03);
    }

    const auto written = OpenFootage(folder / c.name);
    ASSERT_TRUE(written);
    for (int n = 0; n < kFrames; ++n) {
      SCOPED_TRACE(n);
      const FootageNativeFrame want = footage->NativeFrameAt(n, kRate);
      const FootageNativeFrame got = written->NativeFrameAt(n, kRate);
      ASSERT_NE(want.frame, nullptr);
      ASSERT_NE(got.frame, nullptr) << got.status.message;
      const test::Difference difference = PlaneDifference(*want.frame, *got.frame);
      EXPECT_LE(difference.mean, c.most_mean) << difference;
      EXPECT_LE(difference.most, c.most) << difference;
    }
  }
}

// Worlds given to such a video are converted in the footage's matrix and range, so that read as
// tagged they show their colour: here BT.601 (tagged bt470bg) in limited range. Converted in
// BT.709, as other videos are written, they come back 5 to 10 code values off.
TEST(NativeVideo, WorldsTakeTheFootagesColour) {
  MediaFolder folder;
  ASSERT_TRUE(folder.Ffmpeg(
      "-f lavfi -i testsrc2=s=64x36:r=25 -frames:v 2 -pix_fmt yuv420p -colorspace bt470bg "
      "-c:v libx264 source.mp4"));
  const auto footage = OpenFootage(folder / "source.mp4");
  ASSERT_TRUE(footage);
  FileStatus status;
  const auto writer = OpenWriter(folder / "mixed.mp4", NativeSettings(footage->info()), status);
  ASSERT_TRUE(writer) << status.message;
  headless::OwnedWorld world(64, 36);
  for (A_long y = 0; y < 36; ++y) {
    for (A_long x = 0; x < 64; ++x) world.At(x, y) = {255, 30, 144, 255};
  }
  const FootageNativeFrame frame = footage->NativeFrameAt(0, kRate);
  ASSERT_NE(frame.frame, nullptr);
  ASSERT_TRUE(writer->Write(*frame.frame));
  ASSERT_TRUE(writer->Write(world.world()));
  ASSERT_TRUE(writer->Finish());

  const auto written = OpenFootage(folder / "mixed.mp4");
  ASSERT_TRUE(written);
  const FootageFrame shown = written->FrameAt(1, kRate);
  ASSERT_NE(shown.world, nullptr) << shown.status.message;
  const PF_Pixel& centre = headless::PixelAt(*shown.world, 32, 18);
  EXPECT_NEAR(centre.red, 30, 2);
  EXPECT_NEAR(centre.green, 144, 2);
  EXPECT_NEAR(centre.blue, 255, 2);
}

FramePtr BlankFrame(AVPixelFormat format, int width, int height) {
  FramePtr frame(av_frame_alloc());
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  return frame;
}

// What cannot be taken is refused with its reason, and leaves no file behind.
TEST(NativeVideo, RefusesWhatItCannotTake) {
  MediaFolder folder;
  NativeFormat yuv420;
  yuv420.pixel_format = AV_PIX_FMT_YUV420P;
  yuv420.colour_space = AVCOL_SPC_BT709;
  yuv420.colour_range = AVCOL_RANGE_MPEG;
  const auto settings_for = [&](VideoFormat format, int pixels) {
    VideoSettings settings;
    settings.format = format;
    settings.width = 64;
    settings.height = 36;
    settings.native = yuv420;
    settings.native->pixel_format = pixels;
    return settings;
  };
  const struct {
    const char* name;
    VideoSettings settings;
    const char* why;
  } opening[] = {
      {"vp9.webm", settings_for(VideoFormat::kVp9WithAlpha, AV_PIX_FMT_YUV420P),
       "only H.264 (.mp4) takes footage's frames as they were decoded"},
      {"rgb.mp4", settings_for(VideoFormat::kH264, AV_PIX_FMT_RGB24),
       "libx264 takes no frames in rgb24"},
      {"alpha.mp4", settings_for(VideoFormat::kH264, AV_PIX_FMT_YUVA420P),
       "libx264 takes no frames in yuva420p"},
  };
  for (const int taken :
       {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV422P10LE}) {
    NativeFormat native = yuv420;
    native.pixel_format = taken;
    EXPECT_TRUE(CheckNativeFormat(VideoFormat::kH264, native)) << taken;
  }
  for (const auto& c : opening) {
    SCOPED_TRACE(c.name);
    FileStatus status;
    EXPECT_FALSE(OpenWriter(folder / c.name, c.settings, status));
    EXPECT_THAT(status.message, HasSubstr(c.name));
    EXPECT_THAT(status.message, HasSubstr(c.why));
    EXPECT_FALSE(CheckNativeFormat(c.settings.format, *c.settings.native));
  }

  const FramePtr yuv444 = BlankFrame(AV_PIX_FMT_YUV444P, 64, 36);
  const FramePtr larger = BlankFrame(AV_PIX_FMT_YUV420P, 128, 72);
  ASSERT_TRUE(yuv444 && larger);
  FileStatus status;
  VideoSettings composited = settings_for(VideoFormat::kH264, AV_PIX_FMT_YUV420P);
  composited.native.reset();
  const struct {
    const char* name;
    VideoSettings settings;
    const AVFrame* frame;
    const char* why;
  } writing[] = {
      {"composited.mp4", composited, larger.get(),
       "a decoded frame, but the video was opened for composited frames"},
      {"format.mp4", settings_for(VideoFormat::kH264, AV_PIX_FMT_YUV420P), yuv444.get(),
       "a decoded frame in yuv444p, but the video was opened for yuv420p"},
      {"size.mp4", settings_for(VideoFormat::kH264, AV_PIX_FMT_YUV420P), larger.get(),
       "a frame of another size"},
  };
  for (const auto& c : writing) {
    SCOPED_TRACE(c.name);
    auto writer = OpenWriter(folder / c.name, c.settings, status);
    ASSERT_TRUE(writer) << status.message;
    const FileStatus written = writer->Write(*c.frame);
    EXPECT_FALSE(written);
    EXPECT_THAT(written.message, HasSubstr(c.name));
    EXPECT_THAT(written.message, HasSubstr(c.why));
    writer.reset();
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder / ""));
}

// Footage stored turned is given only as a world, turned upright.
TEST(NativeVideo, TurnedFootageIsNotGivenAsDecoded) {
  MediaFolder folder;
  ASSERT_TRUE(
      folder.Ffmpeg("-f lavfi -i testsrc2=s=64x36:r=25 -frames:v 2 -c:v libx264 plain.mp4"));
  ASSERT_TRUE(folder.Ffmpeg("-i plain.mp4 -c copy -metadata:s:v rotate=90 turned.mp4"));
  const auto footage = OpenFootage(folder / "turned.mp4");
  ASSERT_TRUE(footage);
  const FootageNativeFrame native = footage->NativeFrameAt(0, kRate);
  EXPECT_EQ(native.frame, nullptr);
  EXPECT_FALSE(native.status);
  EXPECT_THAT(native.status.message, HasSubstr("turned.mp4"));
  EXPECT_THAT(native.status.message, HasSubstr("stored turned (270 degrees)"));
  EXPECT_NE(footage->FrameAt(0, kRate).world, nullptr);
}

}  // namespace
}  // namespace quorvel::media
