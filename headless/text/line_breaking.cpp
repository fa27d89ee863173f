// SPDX-License-Identifier: MIT
#include "headless/text/line_breaking.h"

#if QUORVEL_HAVE_UNIBREAK
#include <linebreak.h>
#endif

#include <algorithm>
#include <limits>
#include <mutex>

namespace quorvel::headless {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The paragraph measured: prefix sums of advances, and where each stretch's trailing spaces
// begin.
class Measure {
 public:
  Measure(const std::u32string& paragraph, const std::vector<double>& advances)
      : paragraph_(paragraph), prefix_(paragraph.size() + 1, 0.0) {
    for (size_t i = 0; i < paragraph.size(); ++i) {
      prefix_[i + 1] = prefix_[i] + (i < advances.size() ? advances[i] : 0.0);
    }
  }

  // [start, end) less its trailing spaces.
  size_t ContentEnd(size_t start, size_t end) const {
    while (end > start && IsBreakingSpace(paragraph_[end - 1])) --end;
    return end;
  }
  double Width(size_t start, size_t end) const {
    return prefix_[ContentEnd(start, end)] - prefix_[start];
  }
  LineSpan Line(size_t start, size_t next, double limit) const {
    const double width = Width(start, next);
    return LineSpan{start, ContentEnd(start, next), next, width, width > limit + kFitTolerance};
  }

 private:
  const std::u32string& paragraph_;
  std::vector<double> prefix_;
};

std::vector<LineSpan> Greedy(const Measure& measure, const std::vector<size_t>& stops,
                             double width) {
  std::vector<LineSpan> lines;
  size_t first = 0;  // index into stops of the current line's start
  while (first + 1 < stops.size()) {
    size_t last = first + 1;  // the line runs to stops[last]; one piece always goes on
    while (last + 1 < stops.size() &&
           measure.Width(stops[first], stops[last + 1]) <= width + kFitTolerance) {
      ++last;
    }
    lines.push_back(measure.Line(stops[first], stops[last], width));
    first = last;
  }
  return lines;
}

// Of the splits of stops into exactly `count` lines that fit, the one whose longest line is
// shortest and, of those, whose shortest line is longest. Lines that overflow (a lone piece) count
// for neither.
std::vector<LineSpan> Balanced(const Measure& measure, const std::vector<size_t>& stops,
                               double width, size_t count) {
  const size_t n = stops.size();
  const auto fits = [&](size_t i, size_t j) {
    return j == i + 1 || measure.Width(stops[i], stops[j]) <= width + kFitTolerance;
  };
  const auto overflows = [&](size_t i, size_t j) {
    return measure.Width(stops[i], stops[j]) > width + kFitTolerance;
  };
  // longest[k][j]: the least longest line of k lines ending at stops[j].
  std::vector<std::vector<double>> longest(count + 1, std::vector<double>(n, kInfinity));
  longest[0][0] = -kInfinity;
  for (size_t k = 1; k <= count; ++k) {
    for (size_t j = 1; j < n; ++j) {
      for (size_t i = j; i-- > 0 && fits(i, j);) {
        if (longest[k - 1][i] == kInfinity) continue;
        const double line = overflows(i, j) ? -kInfinity : measure.Width(stops[i], stops[j]);
        longest[k][j] = std::min(longest[k][j], std::max(longest[k - 1][i], line));
      }
    }
  }
  const double bound = longest[count][n - 1];
  // shortest[k][j]: the greatest shortest line of k lines ending at stops[j], none longer than
  // the bound; from[k][j] the start of the last of them.
  std::vector<std::vector<double>> shortest(count + 1, std::vector<double>(n, -kInfinity));
  std::vector<std::vector<size_t>> from(count + 1, std::vector<size_t>(n, 0));
  shortest[0][0] = kInfinity;
  for (size_t k = 1; k <= count; ++k) {
    for (size_t j = 1; j < n; ++j) {
      for (size_t i = j; i-- > 0 && fits(i, j);) {
        if (shortest[k - 1][i] == -kInfinity) continue;
        const bool overflowing = overflows(i, j);
        const double line = measure.Width(stops[i], stops[j]);
        if (!overflowing && line > bound) continue;
        const double value = std::min(shortest[k - 1][i], overflowing ? kInfinity : line);
        if (value > shortest[k][j]) {
          shortest[k][j] = value;
          from[k][j] = i;
        }
      }
    }
  }
  std::vector<LineSpan> lines(count);
  size_t j = n - 1;
  for (size_t k = count; k > 0; --k) {
    const size_t i = from[k][j];
    lines[k - 1] = measure.Line(stops[i], stops[j], width);
    j = i;
  }
  return lines;
}

}  // namespace

bool IsBreakingSpace(char32_t code_point) {
  return code_point == U' ' || code_point == U'\t' || code_point == 0x1680 ||
         (code_point >= 0x2000 && code_point <= 0x2006) ||
         (code_point >= 0x2008 && code_point <= 0x200A) || code_point == 0x205F ||
         code_point == 0x3000;
}

#if QUORVEL_HAVE_UNIBREAK
std::vector<bool> LineBreakOpportunities(const std::u32string& paragraph) {
  static std::once_flag initialised;
  std::call_once(initialised, init_linebreak);
  std::vector<bool> opportunities(paragraph.size() + 1, false);
  opportunities[paragraph.size()] = true;
  if (paragraph.empty()) return opportunities;
  const std::vector<utf32_t> text(paragraph.begin(), paragraph.end());
  std::vector<char> breaks(paragraph.size());
  set_linebreaks_utf32(text.data(), text.size(), nullptr, breaks.data());
  // breaks[i] tells of the place after character i.
  for (size_t i = 0; i + 1 < paragraph.size(); ++i) {
    opportunities[i + 1] = breaks[i] == LINEBREAK_ALLOWBREAK || breaks[i] == LINEBREAK_MUSTBREAK;
  }
  return opportunities;
}
#else
// Without libunibreak: after a run of spaces or a zero-width space only.
std::vector<bool> LineBreakOpportunities(const std::u32string& paragraph) {
  std::vector<bool> opportunities(paragraph.size() + 1, false);
  opportunities[paragraph.size()] = true;
  for (size_t i = 1; i < paragraph.size(); ++i) {
    const bool after_space = IsBreakingSpace(paragraph[i - 1]) || paragraph[i - 1] == 0x200B;
    opportunities[i] = after_space && !IsBreakingSpace(paragraph[i]);
  }
  return opportunities;
}
#endif

std::vector<LineSpan> BreakParagraph(const std::u32string& paragraph,
                                     const std::vector<double>& advances, double width,
                                     bool balanced) {
  const Measure measure(paragraph, advances);
  if (paragraph.empty()) return {LineSpan{}};
  std::vector<size_t> stops;  // where lines may start, and the end
  const std::vector<bool> opportunities = LineBreakOpportunities(paragraph);
  for (size_t i = 0; i < opportunities.size(); ++i) {
    if (i == 0 || opportunities[i]) stops.push_back(i);
  }
  std::vector<LineSpan> lines = Greedy(measure, stops, width);
  // Balancing keeps three tables of lines by break places and, for each, tries the places a
  // line can start from: a paragraph of a book, not a caption, would take too much memory and
  // time, and keeps its greedy lines.
  constexpr size_t kMostBalancedStops = 4096;
  constexpr size_t kMostBalancedCells = size_t{1} << 20;
  const bool small_enough =
      stops.size() <= kMostBalancedStops && lines.size() <= kMostBalancedCells / stops.size();
  if (balanced && lines.size() > 1 && small_enough) {
    lines = Balanced(measure, stops, width, lines.size());
  }
  return lines;
}

}  // namespace quorvel::headless
