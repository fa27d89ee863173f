// SPDX-License-Identifier: MIT
#include "cli/output_path.h"

#include <cctype>

#include "cli/cli_error.h"

namespace quorvel::cli {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

OutputPattern::OutputPattern(const std::string& text) : text_(text) {
  std::string* part = &before_;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *part += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      *part += '%';
      ++i;
      continue;
    }
    // "%d" or "%0Nd".
    size_t end = i + 1;
    int width = 0;
    if (end + 2 < text.size() && text[end] == '0' && IsDigit(text[end + 1]) &&
        text[end + 1] != '0' && text[end + 2] == 'd') {
      width = text[end + 1] - '0';
      end += 2;
    }
    if (end >= text.size() || text[end] != 'd') {
      throw UsageError("output name '" + text +
                       "': a frame number is written %d or %04d (and a percent sign %%)");
    }
    if (has_field_) {
      throw UsageError("output name '" + text + "' has more than one frame number");
    }
    has_field_ = true;
    width_ = width;
    part = &after_;
    i = end;
  }
}

std::filesystem::path OutputPattern::ForFrame(A_long frame) const {
  if (!has_field_) return before_;
  std::string number = std::to_string(frame);
  if (number.size() < static_cast<size_t>(width_)) {
    number.insert(0, static_cast<size_t>(width_) - number.size(), '0');
  }
  return before_ + number + after_;
}

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

media::OutputTarget CheckedOutput(const std::filesystem::path& path) {
  media::OutputTarget target;
  media::FileStatus status = media::ResolveOutput(path, target);
  if (status) status = media::CheckWritable(target);
  if (!status) throw CliError(status.message);
  return target;
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
