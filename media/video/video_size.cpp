// SPDX-License-Identifier: MIT
#include "media/video/video_size.h"

#include <cstdint>
#include <string>

namespace quorvel::media {
namespace {

constexpr int64_t kProResMostPixels = int64_t{8192} * 8192;
// The largest frames of the 8K levels (6.2 of each).
constexpr A_long kH264MostSide = 8192;
constexpr int64_t kH264MostMacroblocks = int64_t{8192 / 16} * (4352 / 16);
constexpr A_long kVp9MostSide = 16384;
constexpr int64_t kVp9MostPixels = int64_t{8192} * 4352;

// 67108864 as "67,108,864".
std::string Grouped(int64_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

FileStatus CheckVideoSize(VideoFormat format, A_long width, A_long height) {
  const int64_t pixels = int64_t{width} * height;
  const std::string size = SizeText(width, height);
  switch (format) {
    case VideoFormat::kProRes4444:
    case VideoFormat::kProRes422Hq:
      if (pixels <= kProResMostPixels) return {};
      return FileStatus::Failure(
          std::string(format == VideoFormat::kProRes4444 ? "ProRes 4444" : "ProRes 422 HQ") +
          " takes frames of at most " + Grouped(kProResMostPixels) + " pixels (8192x8192); " +
          size + " is larger");
    case VideoFormat::kVp9WithAlpha:
      if (width <= kVp9MostSide && height <= kVp9MostSide && pixels <= kVp9MostPixels) return {};
      return FileStatus::Failure("VP9 takes frames of at most " + std::to_string(kVp9MostSide) +
                                 " pixels a side and " + Grouped(kVp9MostPixels) +
                                 " pixels in all (8192x4352); " + size + " is larger");
    case VideoFormat::kH264:
      break;
  }
  const int64_t macroblocks = (int64_t{width} + 15) / 16 * ((int64_t{height} + 15) / 16);
  if (width > kH264MostSide || height > kH264MostSide || macroblocks > kH264MostMacroblocks) {
    return FileStatus::Failure("H.264 takes frames of at most " + std::to_string(kH264MostSide) +
                               " pixels a side and " + Grouped(kH264MostMacroblocks) +
                               " macroblocks of 16x16 pixels (8192x4352); " + size + " is larger");
  }
  if (width % 2 != 0 || height % 2 != 0) {
    return FileStatus::Failure(
        "H.264 (4:2:0) needs an even width and height, and " + size + " is not; make the frames " +
        SizeText(width + width % 2, height + height % 2) + ", or write .mov or .webm");
  }
  return {};
}

}  // namespace quorvel::media
