// SPDX-License-Identifier: MIT
#include "headless/text/styled_text.h"

#include <algorithm>
#include <utility>

namespace quorvel::headless {

StyledText Unstyled(std::u32string text) {
  StyledText styled;
  styled.runs.push_back(StyledRun{0, text.size(), TextStyle{}});
  styled.text = std::move(text);
  return styled;
}

const TextStyle& StyleAt(const StyledText& styled, size_t index) {
  static const TextStyle plain;
  for (const StyledRun& run : styled.runs) {
    if (index < run.end) return run.style;
  }
  return styled.runs.empty() ? plain : styled.runs.back().style;
}

StyledText Slice(const StyledText& styled, size_t start, size_t end) {
  end = std::min(end, styled.text.size());
  start = std::min(start, end);
  StyledText slice;
  slice.text = styled.text.substr(start, end - start);
  for (const StyledRun& run : styled.runs) {
    const size_t from = std::max(run.start, start);
    const size_t to = std::min(run.end, end);
    if (from < to) slice.runs.push_back(StyledRun{from - start, to - start, run.style});
  }
  if (slice.runs.empty()) slice.runs.push_back(StyledRun{0, 0, StyleAt(styled, start)});
  return slice;
}

void AppendStyled(StyledText& styled, char32_t code_point, const TextStyle& style) {
  const size_t index = styled.text.size();
  styled.text.push_back(code_point);
  if (!styled.runs.empty() && styled.runs.back().end == index &&
      (styled.runs.back().style == style || styled.runs.back().start == index)) {
    styled.runs.back().style = style;  // an empty run takes the style of what fills it
    styled.runs.back().end = index + 1;
    return;
  }
  styled.runs.push_back(StyledRun{index, index + 1, style});
}

}  // namespace quorvel::headless
