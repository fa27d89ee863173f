// SPDX-License-Identifier: MIT
// Videos over footage that fills the frame are made from its decoded frames, the layers laid
// into their planes: the picture is the one compositing in RGB gives (within rounding and the
// frame's chroma subsampling), the colour tags are the footage's, and anything else (footage
// moved or scaled, frames past its end) is composited in RGB as before.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "cli/cli.h"
#include "media/footage/footage_reader.h"
#include "media/image/png_input.h"
#include "tests/media/test_media.h"

namespace quorvel::cli {
namespace {

using media::test::MediaFolder;

int Quorvel(std::vector<std::string> arguments, std::string* err = nullptr) {
  arguments.insert(arguments.end(), {"--module", QUORVEL_MODULE_PATH});
  std::ostringstream out;
  std::ostringstream errors;
  Console console{out, errors, false};
  const int status = RunCli(arguments, console);
  if (err != nullptr) *err = errors.str();
  return status;
}

// The matrix the video's stream is tagged with, as FFmpeg names it.
std::string TaggedMatrix(const std::string& path) {
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return "";
  avformat_find_stream_info(input, nullptr);
  std::string name = av_color_space_name(input->streams[0]->codecpar->color_space);
  avformat_close_input(&input);
  return name;
}

// Frame `index` of a video read as the footage reader reads footage: exactly converted.
headless::OwnedWorld FrameOf(const std::string& path, int index, double rate) {
  media::FileStatus status;
  const auto reader = media::FootageReader::Open(path, status);
  EXPECT_TRUE(reader) << status.message;
  headless::OwnedWorld copy(1, 1);
  if (!reader) return copy;
  const media::FootageFrame frame =
      reader->FrameAt(static_cast<int64_t>(index * 1000 / rate), 1000);
  EXPECT_TRUE(frame.status && frame.world != nullptr) << frame.status.message;
  copy = headless::OwnedWorld(frame.world->width, frame.world->height);
  for (A_long y = 0; y < copy.height(); ++y) {
    std::copy_n(headless::WorldRow(*frame.world, y), copy.width(),
                headless::WorldRow(copy.world(), y));
  }
  return copy;
}

class PassThrough : public ::testing::Test {
 protected:
  std::string Out(const std::string& name) const { return (folder_ / name).string(); }
  // A style whose box covers part of a 320x180 frame, with a half-transparent fill and text.
  std::string Scene(const std::string& footage, const std::string& footage_keys = "") {
    std::ofstream(Out("scene.json")) << R"({"composition": {"width": 320, "height": 180,
        "fps": 25, "duration": 1},
      "layers": [{"text": "Quorvel", "size": 40, "anchor": "center", "position": [160, 90],
                  "effect": {"Expansion Uniform": 12, "Fill Color": "#20406a",
                             "Fill Opacity": 60, "Roundness": 40}},
                 {"footage": ")" + footage + "\"" +
                                            footage_keys + "}]}";
    return Out("scene.json");
  }
  MediaFolder folder_;
};

// An SD clip tagged BT.601: made from its own frames the video keeps its tags; and frame by
// frame it is the RGB composite (the PNG of the same frame) within the encoder's rounding at
// --crf 0 (lossless) and the chroma subsampling at the box's and the letters' edges.
TEST_F(PassThrough, TheVideoIsTheFootageWithTheLayersLaidIntoItsPlanes) {
  ASSERT_TRUE(
      folder_.Ffmpeg("-f lavfi -i testsrc2=s=320x180:r=25:d=1 -c:v libx264 "
                     "-pix_fmt yuv420p -colorspace smpte170m -color_primaries smpte170m "
                     "-color_trc smpte170m sd.mp4"));
  const std::string scene = Scene(Out("sd.mp4"));
  std::string err;
  ASSERT_EQ(Quorvel({"render", scene, "-o", Out("through.mp4"), "--crf", "0"}, &err), 0) << err;
  EXPECT_EQ(TaggedMatrix(Out("through.mp4")), "smpte170m");
  ASSERT_EQ(Quorvel({"render", scene, "-o", Out("f.png"), "--frame", "12"}, &err), 0) << err;
  const media::PngImage png = media::ReadPng(Out("f.png"));
  ASSERT_TRUE(png.status);
  const headless::OwnedWorld through = FrameOf(Out("through.mp4"), 12, 25);
  std::vector<uint8_t> rgb;
  for (A_long y = 0; y < png.world->height(); ++y) {
    for (A_long x = 0; x < png.world->width(); ++x) {
      const PF_Pixel& p = headless::PixelAt(png.world->world(), x, y);
      rgb.insert(rgb.end(), {p.red, p.green, p.blue});
    }
  }
  // Away from the box the video is the footage itself, bit for bit (--crf 0 is lossless); over
  // it the two differ by rounding, by chroma shared between pixels, and where the footage's
  // colour lies outside what RGB can show (testsrc2's saturated edges): compositing in RGB
  // clips it first. Measured: mean 0.57 over the frame, 2.06 over the box.
  int64_t box_sum = 0;
  int64_t box_values = 0;
  int outside_most = 0;
  for (A_long y = 0; y < through.height(); ++y) {
    for (A_long x = 0; x < through.width(); ++x) {
      const PF_Pixel& p = headless::PixelAt(through.world(), x, y);
      const uint8_t* expected = &rgb[(static_cast<size_t>(y) * through.width() + x) * 3];
      const bool over_box = x >= 60 && x < 260 && y >= 50 && y < 130;
      for (const auto& [got, want] : {std::pair<int, int>{p.red, expected[0]},
                                      {p.green, expected[1]},
                                      {p.blue, expected[2]}}) {
        const int off = std::abs(got - want);
        if (over_box) {
          box_sum += off;
          ++box_values;
        } else {
          outside_most = std::max(outside_most, off);
        }
      }
    }
  }
  EXPECT_LE(media::test::Compare(through.world(), rgb, 3).mean, 1.0);
  EXPECT_EQ(outside_most, 0);
  EXPECT_LE(static_cast<double>(box_sum) / static_cast<double>(box_values), 4.0)
      << "box mean " << static_cast<double>(box_sum) / static_cast<double>(box_values);
}

// Footage that is moved or scaled is composited in RGB, the video tagged BT.709 as before; so
// are frames the footage does not reach (past its end the background shows).
TEST_F(PassThrough, FootageMovedOrEndedIsCompositedInRgb) {
  ASSERT_TRUE(
      folder_.Ffmpeg("-f lavfi -i testsrc2=s=320x180:r=25:d=0.5 -c:v libx264 "
                     "-pix_fmt yuv420p -colorspace smpte170m short.mp4"));
  std::string err;
  ASSERT_EQ(Quorvel({"render", Scene(Out("short.mp4"), R"(, "scale": 50)"), "-o", Out("moved.mp4")},
                    &err),
            0)
      << err;
  EXPECT_EQ(TaggedMatrix(Out("moved.mp4")), "bt709");
  ASSERT_EQ(Quorvel({"render", Scene(Out("short.mp4")), "-o", Out("ended.mp4"), "--set",
                     "composition.background=#ff0000"},
                    &err),
            0)
      << err;
  EXPECT_EQ(TaggedMatrix(Out("ended.mp4")), "smpte170m");
  // Frame 20 is past the half second of footage: the red background, read in BT.601.
  const auto frame = FrameOf(Out("ended.mp4"), 20, 25);
  const PF_Pixel& after = headless::PixelAt(frame.world(), 5, 5);
  EXPECT_NEAR(after.red, 255, 6);
  EXPECT_NEAR(after.green, 0, 6);
}

}  // namespace
}  // namespace quorvel::cli
