// SPDX-License-Identifier: MIT
// Footage colour: frames from the reader against the same frames decoded by the ffmpeg tool.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "media/footage/footage_reader.h"
#include "tests/media/test_media.h"

namespace quorvel::media {
namespace {

using test::Compare;
using test::Difference;
using test::MediaFolder;
// testsrc2's third frame, 160x90, from the reader and from "ffmpeg -i clip -pix_fmt rgb24", in
// code values: the mean and the largest difference of a channel. The reader converts exactly
// where the tool takes libswscale's fast path, hence the differences; measured:
//   H.264 4:2:0 BT.709 tagged      0.72, 3      ProRes 422 HQ, 10 bits   0.90, 4
//   H.264 4:2:0 untagged (BT.601)  0.72, 3      H.264 4:2:2, 10 bits     1.13, 4
//   H.264 full range (yuvj420p)    0.33, 2      AV1 4:2:0 untagged       0.67, 3
//   JPEG (yuvj444p)                0, 0         HEVC 4:2:0, 10 bits, BT.2020   0, 0 (*)
// (*) For 10-bit 4:2:0 the tool interpolates chroma bicubically, which rings at testsrc2's
// colour edges: 2.8 and 78 from the reader, and further from testsrc2 itself than the reader
// (3.0 against 1.6 on average, at x265's crf 4). So that clip is compared with the tool told
// to convert as the reader does, which still checks the matrix.
// Against testsrc2's own RGB the reader is the closer of the two (see frame_conversion.cpp).
TEST(FootageColour, FramesMatchFfmpegsOwnDecoding) {
  constexpr char kAsTheReader[] = "-sws_flags neighbor+accurate_rnd+full_chroma_int+bitexact";
  const struct {
    const char* name;
    const char* encode;     // the ffmpeg tool's arguments that make it from testsrc2
    const char* reference;  // the tool's output options for the reference frame
    ColourMatrix matrix;
    bool full_range;
    bool assumed;
    double most_mean;
    int most;
  } cases[] = {
      {"bt709.mp4",
       "-vf scale=out_color_matrix=bt709 -pix_fmt yuv420p -colorspace bt709 -color_primaries bt709 "
       "-color_trc bt709 -c:v libx264",
       "", ColourMatrix::kBt709, false, false, 1, 3},
      {"untagged_sd.mp4", "-pix_fmt yuv420p -c:v libx264", "", ColourMatrix::kBt601, false, true, 1,
       3},
      {"full_range.mp4", "-pix_fmt yuvj420p -c:v libx264", "", ColourMatrix::kBt601, true, true, 1,
       3},
      {"prores422.mov", "-pix_fmt yuv422p10le -c:v prores_ks -profile:v 3", "",
       ColourMatrix::kBt601, false, true, 1.2, 4},
      {"x264_10bit_422.mkv",
       "-vf scale=out_color_matrix=bt709 -pix_fmt yuv422p10le -colorspace bt709 -c:v libx264", "",
       ColourMatrix::kBt709, false, false, 1.2, 4},
      {"av1.mkv", "-pix_fmt yuv420p -c:v libaom-av1 -cpu-used 8", "", ColourMatrix::kBt601, false,
       true, 1, 3},
      {"hevc_bt2020.mkv",
       "-vf scale=out_color_matrix=bt2020 -pix_fmt yuv420p10le -colorspace bt2020nc "
       "-color_primaries bt2020 -c:v libx265 -x265-params log-level=error",
       kAsTheReader, ColourMatrix::kBt2020, false, false, 0, 0},
      {"still.jpg", "-frames:v 1 -q:v 2 -pix_fmt yuvj444p", "", ColourMatrix::kBt601, true, false,
       1, 3},
  };
  MediaFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(folder.Ffmpeg("-f lavfi -i testsrc2=s=160x90:r=25 -frames:v 3 " +
                              std::string(c.encode) + " " + c.name));
    media::FileStatus status;
    const auto reader = FootageReader::Open(folder / c.name, status);
    ASSERT_TRUE(reader) << status.message;
    EXPECT_EQ(reader->info().matrix, c.matrix);
    EXPECT_EQ(reader->info().full_range, c.full_range);
    EXPECT_EQ(reader->info().colour_assumed, c.assumed);
    const bool still = reader->info().still;
    const FootageFrame frame = reader->FrameAt(still ? 0 : 2, 25);
    ASSERT_NE(frame.world, nullptr) << frame.status.message;
    const Difference difference = Compare(
        *frame.world, folder.DecodedByFfmpeg(c.name, still ? 0 : 2, "rgb24", "", c.reference), 3);
    EXPECT_LE(difference.mean, c.most_mean) << difference;
    EXPECT_LE(difference.most, c.most) << difference;
  }
}

// testsrc2 over an alpha ramp, transparent at the left edge to opaque at the right.
constexpr char kWithAlpha[] =
    "-f lavfi -i \"testsrc2=s=64x36:r=25,format=rgba,geq=r='r(X\\,Y)':g='g(X\\,Y)':"
    "b='b(X\\,Y)':a='255*X/(W-1)'\" -frames:v 1 ";

TEST(FootageColour, AlphaComesInPremultiplied) {
  const struct {
    const char* name;
    const char* encode;
    const char* decode;  // the ffmpeg tool's options for the reference's input
    const char* codec;
    double most_mean;
    int most;
  } cases[] = {
      {"alpha.png", "", "", "png", 0, 0},
      {"prores4444.mov", "-c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le", "", "prores", 1,
       3},
      {"vp9.webm", "-c:v libvpx-vp9 -pix_fmt yuva420p -crf 10 -b:v 0", "-c:v libvpx-vp9",
       "libvpx-vp9", 1, 3},
  };
  MediaFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(folder.Ffmpeg(kWithAlpha + std::string(c.encode) + " " + c.name));
    media::FileStatus status;
    const auto reader = FootageReader::Open(folder / c.name, status);
    ASSERT_TRUE(reader) << status.message;
    EXPECT_TRUE(reader->info().alpha);
    EXPECT_EQ(reader->info().codec, c.codec);
    const FootageFrame frame = reader->FrameAt(0, 25);
    ASSERT_NE(frame.world, nullptr) << frame.status.message;
    const Difference difference = Compare(
        *frame.world, test::Premultiplied(folder.DecodedByFfmpeg(c.name, 0, "rgba", c.decode)), 4);
    EXPECT_LE(difference.mean, c.most_mean) << difference;
    EXPECT_LE(difference.most, c.most) << difference;
  }
}

// A PNG still with alpha through ProRes 4444 and back, both read by the reader.
TEST(FootageColour, ProRes4444KeepsAPngStillWithinACodeValue) {
  MediaFolder folder;
  ASSERT_TRUE(folder.Ffmpeg(kWithAlpha + std::string("still.png")));
  ASSERT_TRUE(
      folder.Ffmpeg("-i still.png -c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le "
                    "still.mov"));
  media::FileStatus status;
  const auto png = FootageReader::Open(folder / "still.png", status);
  ASSERT_TRUE(png) << status.message;
  const auto prores = FootageReader::Open(folder / "still.mov", status);
  ASSERT_TRUE(prores) << status.message;
  EXPECT_TRUE(png->info().still);
  EXPECT_FALSE(prores->info().still);
  const FootageFrame original = png->FrameAt(0, 25);
  ASSERT_NE(original.world, nullptr);
  std::vector<uint8_t> rgba;
  for (A_long y = 0; y < original.world->height; ++y) {
    for (A_long x = 0; x < original.world->width; ++x) {
      const PF_Pixel& pixel = headless::PixelAt(*original.world, x, y);
      rgba.insert(rgba.end(), {pixel.red, pixel.green, pixel.blue, pixel.alpha});
    }
  }
  const FootageFrame round_trip = prores->FrameAt(0, 25);
  ASSERT_NE(round_trip.world, nullptr);
  const Difference difference = Compare(*round_trip.world, rgba, 4);
  EXPECT_LE(difference.most, 1) << difference;
}

// A clip tagged to be turned (as phones tag theirs) against the same clip untagged, and against
// the ffmpeg tool, which turns it as players do.
TEST(FootageColour, TaggedRotationTurnsTheFrame) {
  MediaFolder folder;
  ASSERT_TRUE(
      folder.Ffmpeg("-f lavfi -i testsrc2=s=64x36:r=25 -frames:v 2 -pix_fmt yuv444p "
                    "-c:v libx264 plain.mp4"));
  media::FileStatus status;
  const auto plain = FootageReader::Open(folder / "plain.mp4", status);
  ASSERT_TRUE(plain) << status.message;
  const FootageFrame upright = plain->FrameAt(0, 25);
  ASSERT_NE(upright.world, nullptr);
  // This ffmpeg turns "rotate" counter-clockwise: it writes the tag into the display matrix
  // as FFmpeg's own angle, and turns it back so when it decodes.
  const struct {
    int tag;
    int rotation;  // clockwise, as the ffmpeg tool and players show it
    A_long width, height;
    // Where the upright frame's pixel (x, y) lands, for a frame 64x36.
    A_long (*x)(A_long x, A_long y);
    A_long (*y)(A_long x, A_long y);
  } cases[] = {
      {90, 270, 36, 64, [](A_long, A_long y) { return y; },
       [](A_long x, A_long) { return 63 - x; }},
      {180, 180, 64, 36, [](A_long x, A_long) { return 63 - x; },
       [](A_long, A_long y) { return 35 - y; }},
      {270, 90, 36, 64, [](A_long, A_long y) { return 35 - y; },
       [](A_long x, A_long) { return x; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    const std::string name = "turned" + std::to_string(c.tag) + ".mp4";
    ASSERT_TRUE(folder.Ffmpeg("-i plain.mp4 -c copy -metadata:s:v rotate=" + std::to_string(c.tag) +
                              " " + name));
    const auto turned = FootageReader::Open(folder / name, status);
    ASSERT_TRUE(turned) << status.message;
    EXPECT_EQ(turned->info().rotation, c.rotation);
    EXPECT_FALSE(turned->info().mirrored);
    ASSERT_EQ(turned->info().width, c.width);
    ASSERT_EQ(turned->info().height, c.height);
    const FootageFrame frame = turned->FrameAt(0, 25);
    ASSERT_NE(frame.world, nullptr) << frame.status.message;
    int moved = 0;
    for (A_long y = 0; y < 36; ++y) {
      for (A_long x = 0; x < 64; ++x) {
        const PF_Pixel& want = headless::PixelAt(*upright.world, x, y);
        const PF_Pixel& got = headless::PixelAt(*frame.world, c.x(x, y), c.y(x, y));
        if (std::memcmp(&want, &got, sizeof want) != 0) ++moved;
      }
    }
    EXPECT_EQ(moved, 0);
    const Difference difference =
        Compare(*frame.world, folder.DecodedByFfmpeg(name, 0, "rgb24"), 3);
    EXPECT_LE(difference.mean, 1) << difference;
    EXPECT_LE(difference.most, 3) << difference;
  }
}

}  // namespace
}  // namespace quorvel::media
