// SPDX-License-Identifier: MIT
#include "media/video/encoder_settings.h"

#include <array>
#include <cstddef>

namespace quorvel::media {
namespace {

constexpr int kH264MostCrf = 51;
constexpr int kH264DefaultCrf = 18;
constexpr int kVp9MostCrf = 63;
constexpr int kVp9DefaultCrf = 24;
constexpr char kX264DefaultPreset[] = "veryfast";
constexpr int kVp9DefaultCpuUsed = 4;

// x264's presets, fastest first; VP9's are the same but the last, at cpu-used 8 down to 0.
constexpr std::array<const char*, 10> kPresets = {"ultrafast", "superfast", "veryfast", "faster",
                                                  "fast",      "medium",    "slow",     "slower",
                                                  "veryslow",  "placebo"};
constexpr size_t kVp9Presets = 9;
constexpr int kVp9MostCpuUsed = 8;

std::string PresetList(size_t count) {
  std::string list;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) list += i + 1 == count ? " and " : ", ";
    list += kPresets[i];
  }
  return list;
}

std::optional<size_t> PresetIndex(const std::string& name, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (name == kPresets[i]) return i;
  }
  return std::nullopt;
}

// "0" to "8": libvpx's own number.
std::optional<int> CpuUsedNumber(const std::string& text) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '0' + kVp9MostCpuUsed) return std::nullopt;
  return text[0] - '0';
}

const char* FormatName(VideoFormat format) {
  switch (format) {
    case VideoFormat::kProRes4444:
      return "ProRes 4444";
    case VideoFormat::kProRes422Hq:
      return "ProRes 422 HQ";
    case VideoFormat::kVp9WithAlpha:
      return "VP9";
    case VideoFormat::kH264:
      break;
  }
  return "H.264";
}

}  // namespace

FileStatus CheckEncoderSettings(VideoFormat format, const std::optional<int>& crf,
                                const std::optional<std::string>& preset) {
  const std::string name = FormatName(format);
  switch (format) {
    case VideoFormat::kProRes4444:
    case VideoFormat::kProRes422Hq:
      if (crf) return FileStatus::Failure(name + " takes no crf: its quality is its profile");
      if (preset) return FileStatus::Failure(name + " takes no preset: it has one speed");
      return {};
    case VideoFormat::kVp9WithAlpha:
      if (crf && (*crf < 0 || *crf > kVp9MostCrf)) {
        return FileStatus::Failure(name + " takes a crf from 0 (best) to " +
                                   std::to_string(kVp9MostCrf) + ", " +
                                   std::to_string(kVp9DefaultCrf) + " by default; " +
                                   std::to_string(*crf) + " is out of range");
      }
      if (preset && !PresetIndex(*preset, kVp9Presets) && !CpuUsedNumber(*preset)) {
        return FileStatus::Failure(name + " takes the presets " + PresetList(kVp9Presets) +
                                   " (fast by default), or libvpx's cpu-used 0 to 8; '" + *preset +
                                   "' is neither");
      }
      return {};
    case VideoFormat::kH264:
      break;
  }
  if (crf && (*crf < 0 || *crf > kH264MostCrf)) {
    return FileStatus::Failure(name + " takes a crf from 0 (lossless) to " +
                               std::to_string(kH264MostCrf) + ", " +
                               std::to_string(kH264DefaultCrf) + " by default; " +
                               std::to_string(*crf) + " is out of range");
  }
  if (preset && !PresetIndex(*preset, kPresets.size())) {
    return FileStatus::Failure(name + " takes the presets " + PresetList(kPresets.size()) + " (" +
                               kX264DefaultPreset + " by default); '" + *preset + "' is not one");
  }
  return {};
}

FileStatus CheckVideoBackground(VideoFormat format, const PF_Pixel& background) {
  if (format != VideoFormat::kProRes422Hq || background.alpha == 255) return {};
  return FileStatus::Failure(std::string("ProRes 422 HQ has no alpha, and the background is ") +
                             (background.alpha == 0 ? "transparent" : "partly transparent") +
                             ": make it opaque, or write ProRes 4444");
}

int CrfFor(VideoFormat format, const std::optional<int>& crf) {
  if (crf) return *crf;
  return format == VideoFormat::kVp9WithAlpha ? kVp9DefaultCrf : kH264DefaultCrf;
}

std::string X264PresetFor(const std::optional<std::string>& preset) {
  return preset ? *preset : kX264DefaultPreset;
}

int Vp9CpuUsedFor(const std::optional<std::string>& preset) {
  if (!preset) return kVp9DefaultCpuUsed;
  if (const std::optional<int> number = CpuUsedNumber(*preset)) return *number;
  const std::optional<size_t> index = PresetIndex(*preset, kVp9Presets);
  return index ? kVp9MostCpuUsed - static_cast<int>(*index) : kVp9DefaultCpuUsed;
}

}  // namespace quorvel::media
