// SPDX-License-Identifier: MIT
#include "cli/output_path.h"

#include <cctype>

#include "cli/cli_error.h"

namespace quorvel::cli {

using compose::FrameRange;

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<media::VideoFormat> OutputFormatOf(const std::string& name) {
  if (IsStandardOutput(name)) return std::nullopt;
  media::OutputTarget target;
  // A device takes the PNG whatever it is called; what cannot be written at all (a folder) is
  // told as such when the output is checked.
  if (!media::ResolveOutput(name, target) || target.kind == media::OutputTarget::Kind::kStream) {
    return std::nullopt;
  }
  const std::filesystem::path path(name);
  if (const auto video = media::VideoFormatFor(path)) {
    if (!media::VideoOutputAvailable()) {
      throw UsageError(name + ": this build writes no video (it has no FFmpeg); use .png");
    }
    return video;
  }
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension != ".png") {
    throw UsageError(path.filename().string() +
                     ": unsupported output; use .png, .mov, .webm or .mp4");
  }
  return std::nullopt;
}

A_long ParseFrameNumber(const std::string& text, const std::string& option) {
  constexpr size_t kMaxDigits = 9;  // below 2^31 whatever the digits
  if (text.empty() || text.size() > kMaxDigits) {
    throw UsageError(option + " '" + text + "': expected a frame number (0 or more)");
  }
  A_long number = 0;
  for (const char c : text) {
    if (!IsDigit(c)) {
      // Built once, on the way out.
      // NOLINTNEXTLINE(performance-inefficient-string-concatenation)
      throw UsageError(option + " '" + text + "': expected a frame number (0 or more)");
    }
    number = number * 10 + (c - '0');
  }
  return number;
}

FrameRange ParseFrameRange(const std::string& text, const std::string& option) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos) {
    const A_long frame = ParseFrameNumber(text, option);
    return {frame, frame};
  }
  FrameRange range{};
  try {
    range = {ParseFrameNumber(text.substr(0, dash), option),
             ParseFrameNumber(text.substr(dash + 1), option)};
  } catch (const UsageError&) {
    // Told about the whole value: a part alone ("" of "-5-3") says nothing.
    throw UsageError(option + " '" + text +
                     "': expected a frame N or frames A-B, whole numbers from 0");
  }
  if (range.last < range.first) {
    throw UsageError(option + " '" + text + "': the first frame comes after the last");
  }
  return range;
}

}  // namespace quorvel::cli
