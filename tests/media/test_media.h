// SPDX-License-Identifier: MIT
// Test footage, made on the spot by the ffmpeg tool from its own test sources (testsrc2, color,
// sine) in a folder of the test's own, and FFmpeg's own decoding of it to compare against.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"
#include "hostapi/host_api.h"

namespace quorvel::media::test {

namespace fs = std::filesystem;

// A folder named after the running test, emptied first and removed after.
class MediaFolder {
 public:
  MediaFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("quorvel_media_") + test->test_suite_name() + "_" + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    folder_ = fs::temp_directory_path() / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  ~MediaFolder() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  MediaFolder(const MediaFolder&) = delete;
  MediaFolder& operator=(const MediaFolder&) = delete;

  fs::path operator/(const std::string& name) const { return folder_ / name; }

  // Runs a shell command in this folder; true when it succeeds.
  bool Run(const std::string& command) const {
    return std::system(("cd '" + folder_.string() + "' && " + command).c_str()) == 0;
  }

  // Runs "ffmpeg <arguments>" quietly in this folder; its errors go to the test's output.
  bool Ffmpeg(const std::string& arguments) const {
    return Run("ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments);
  }

  // A frame as the ffmpeg tool decodes it (frame `index`, counted from 0), raw, in its
  // `pixel_format` (rgb24, rgba), turned as the file says. The options go before the input
  // (a decoder) and before the output (libswscale's flags).
  std::vector<uint8_t> DecodedByFfmpeg(const std::string& clip, int index,
                                       const std::string& pixel_format,
                                       const std::string& input_options = "",
                                       const std::string& output_options = "") const {
    const std::string raw = clip + "." + std::to_string(index) + "." + pixel_format;
    if (!Ffmpeg(input_options + " -i '" + clip + "' -vf 'select=eq(n\\," + std::to_string(index) +
                ")' -frames:v 1 " + output_options + " -f rawvideo -pix_fmt " + pixel_format +
                " '" + raw + "'")) {
      return {};
    }
    std::ifstream file(folder_ / raw, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

 private:
  fs::path folder_;
};

// Flat frames of a colour of their own for 216 frames: frame k's red is 16 + 40 (k mod 6), its
// green 16 + 40 (k / 6 mod 6) and its blue 16 + 40 (k / 36 mod 6). A filter for the ffmpeg tool,
// after a source.
constexpr char kFlatColourFrames[] =
    "format=rgb24,geq=r='16+40*mod(N\\,6)':g='16+40*mod(floor(N/6)\\,6)':"
    "b='16+40*mod(floor(N/36)\\,6)'";

// The frame a world shows, by its colour; -1 when its colour is none of them or not flat.
inline int FlatFrameIndex(const PF_EffectWorld& world) {
  const PF_Pixel& centre = headless::PixelAt(world, world.width / 2, world.height / 2);
  const PF_Pixel& corner = headless::PixelAt(world, 0, world.height - 1);
  const int digits[3] = {(centre.red - 16 + 20) / 40, (centre.green - 16 + 20) / 40,
                         (centre.blue - 16 + 20) / 40};
  const int values[3] = {centre.red, centre.green, centre.blue};
  const int corners[3] = {corner.red, corner.green, corner.blue};
  for (int c = 0; c < 3; ++c) {
    if (std::abs(values[c] - (16 + 40 * digits[c])) > 6 || std::abs(corners[c] - values[c]) > 6) {
      return -1;
    }
  }
  return centre.alpha == 255 ? digits[0] + 6 * digits[1] + 36 * digits[2] : -1;
}

// How far a world's straight colour is from reference pixels (rgb24 or rgba): the mean and the
// largest difference of a channel, over every channel of every pixel.
struct Difference {
  double mean = 0;
  int most = 0;
};

inline Difference Compare(const PF_EffectWorld& world, const std::vector<uint8_t>& reference,
                          int channels) {
  Difference difference;
  const size_t pixels = static_cast<size_t>(world.width) * static_cast<size_t>(world.height);
  if (reference.size() != pixels * static_cast<size_t>(channels)) return {1e9, 1 << 30};
  int64_t sum = 0;
  const uint8_t* expected = reference.data();
  for (A_long y = 0; y < world.height; ++y) {
    for (A_long x = 0; x < world.width; ++x, expected += channels) {
      const PF_Pixel& pixel = headless::PixelAt(world, x, y);
      const int got[4] = {pixel.red, pixel.green, pixel.blue, pixel.alpha};
      for (int c = 0; c < channels; ++c) {
        const int off = std::abs(got[c] - expected[c]);
        sum += off;
        difference.most = std::max(difference.most, off);
      }
    }
  }
  difference.mean = static_cast<double>(sum) / static_cast<double>(pixels * channels);
  return difference;
}

// Straight RGBA bytes premultiplied, as the host keeps colour.
inline std::vector<uint8_t> Premultiplied(std::vector<uint8_t> rgba) {
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    const PF_Pixel pixel = headless::Premultiply({rgba[i + 3], rgba[i], rgba[i + 1], rgba[i + 2]});
    rgba[i] = pixel.red;
    rgba[i + 1] = pixel.green;
    rgba[i + 2] = pixel.blue;
  }
  return rgba;
}

inline std::ostream& operator<<(std::ostream& out, const Difference& difference) {
  return out << "mean " << difference.mean << ", most " << difference.most;
}

}  // namespace quorvel::media::test
