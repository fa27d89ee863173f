// SPDX-License-Identifier: MIT
#include "compose/render/output_pattern.h"

#include "compose/errors.h"

namespace quorvel::compose {
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
      throw ArgumentError("output name '" + text +
                          "': a frame number is written %d or %04d (and a percent sign %%)");
    }
    if (has_field_) {
      throw ArgumentError("output name '" + text + "' has more than one frame number");
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

media::OutputTarget CheckedOutput(const std::filesystem::path& path) {
  media::OutputTarget target;
  media::FileStatus status = media::ResolveOutput(path, target);
  if (status) status = media::CheckWritable(target);
  if (!status) throw RenderError(status.message);
  return target;
}

}  // namespace quorvel::compose
