// SPDX-License-Identifier: MIT
#include "captions/words/cue_formation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "captions/words/cue_text.h"

namespace quorvel::captions {
namespace {

// Beyond these a caption is no longer a caption; they also bound the work of balancing lines.
constexpr size_t kMostChars = 1000;
constexpr size_t kMostLines = 10;

int64_t OptionMilliseconds(double seconds, const char* name) {
  if (!std::isfinite(seconds) || seconds < 0 || seconds > kMaxTranscriptSeconds) {
    throw std::invalid_argument(std::string(name) + " must be 0 to " +
                                std::to_string(static_cast<int64_t>(kMaxTranscriptSeconds)) +
                                " seconds");
  }
  return std::llround(seconds * 1000);
}

void CheckInOrder(const std::vector<Word>& words) {
  for (size_t i = 0; i < words.size(); ++i) {
    const bool after_before = i == 0 || words[i].start_ms >= words[i - 1].end_ms;
    if (words[i].start_ms < 0 || words[i].end_ms < words[i].start_ms || !after_before) {
      throw std::invalid_argument(words[i].place + ": words must be in order of time");
    }
  }
}

// Lines filled in turn: the fewest lines that hold the words.
class LineFill {
 public:
  explicit LineFill(size_t max_chars) : max_chars_(max_chars) {}

  void Add(size_t length) {
    if (lines_ > 0 && current_ + 1 + length <= max_chars_) {
      current_ += 1 + length;
    } else {
      ++lines_;
      current_ = length;
    }
  }
  size_t lines() const { return lines_; }

 private:
  size_t max_chars_;
  size_t lines_ = 0;
  size_t current_ = 0;
};

// The first word of each line after the first: the fewest lines of at most max_chars (or of
// one longer word), with the longest line as short as it can be and, among those, the lengths
// closest to even (the least sum of squares).
std::vector<size_t> BalancedBreaks(const std::vector<size_t>& lengths, size_t max_chars) {
  const size_t count = lengths.size();
  LineFill fill(max_chars);
  for (const size_t length : lengths) fill.Add(length);
  const size_t lines = fill.lines();
  constexpr size_t kNone = std::numeric_limits<size_t>::max();
  // For lines [0, l) holding words [0, i): the shortest longest line, then the least sum of
  // squares within the longest line found, and where that line l-1 starts.
  std::vector<std::vector<size_t>> longest(lines + 1, std::vector<size_t>(count + 1, kNone));
  std::vector<std::vector<size_t>> squares = longest;
  std::vector<std::vector<size_t>> start = longest;
  longest[0][0] = 0;
  squares[0][0] = 0;
  // Each line [j, i), its words with a space between each two: j runs back from i while the
  // line fits (a line of one word always does).
  const auto for_each_line = [&](size_t i, auto visit) {
    size_t length = 0;
    for (size_t j = i; j-- > 0;) {
      length += lengths[j] + (j + 1 < i ? 1 : 0);
      if (j + 1 < i && length > max_chars) break;
      visit(j, length);
    }
  };
  for (size_t l = 1; l <= lines; ++l) {
    for (size_t i = 1; i <= count; ++i) {
      for_each_line(i, [&](size_t j, size_t length) {
        if (longest[l - 1][j] == kNone) return;
        longest[l][i] = std::min(longest[l][i], std::max(longest[l - 1][j], length));
      });
    }
  }
  const size_t bound = longest[lines][count];
  for (size_t l = 1; l <= lines; ++l) {
    for (size_t i = 1; i <= count; ++i) {
      // Among equals the smallest start, visited last, so that the lower lines are longer.
      for_each_line(i, [&](size_t j, size_t length) {
        if (squares[l - 1][j] == kNone || length > bound) return;
        const size_t total = squares[l - 1][j] + length * length;
        if (total <= squares[l][i]) {
          squares[l][i] = total;
          start[l][i] = j;
        }
      });
    }
  }
  std::vector<size_t> breaks;
  for (size_t l = lines, i = count; l > 1; --l) {
    i = start[l][i];
    breaks.insert(breaks.begin(), i);
  }
  return breaks;
}

// Words [first, last) as one cue.
FormedCue Formed(const std::vector<Word>& words, size_t first, size_t last, size_t max_chars) {
  std::vector<size_t> lengths;
  for (size_t i = first; i < last; ++i) lengths.push_back(CharacterCount(words[i].text));
  const std::vector<size_t> breaks = BalancedBreaks(lengths, max_chars);
  FormedCue formed;
  Cue& cue = formed.cue;
  cue.start_ms = words[first].start_ms;
  cue.end_ms = words[last - 1].end_ms;
  for (size_t i = first; i < last; ++i) {
    if (i > first) {
      const bool new_line = std::find(breaks.begin(), breaks.end(), i - first) != breaks.end();
      cue.text += new_line ? '\n' : ' ';
    }
    const size_t begin = cue.text.size();
    cue.text += EscapeCueText(words[i].text);
    formed.words.push_back({begin, cue.text.size(), words[i].start_ms, words[i].end_ms});
    if (i > first) cue.timestamps.push_back({begin, words[i].start_ms});
  }
  return formed;
}

}  // namespace

std::vector<FormedCue> FormCues(const std::vector<Word>& words, const FormationOptions& options) {
  if (options.max_chars < 1 || options.max_chars > kMostChars || options.max_lines < 1 ||
      options.max_lines > kMostLines) {
    throw std::invalid_argument("a caption takes 1 to " + std::to_string(kMostChars) +
                                " characters a line and 1 to " + std::to_string(kMostLines) +
                                " lines");
  }
  const int64_t max_duration = OptionMilliseconds(options.max_duration_seconds, "max_duration");
  const int64_t pause = OptionMilliseconds(options.pause_seconds, "pause");
  CheckInOrder(words);
  const size_t half_full = options.max_chars * options.max_lines / 2;
  std::vector<FormedCue> cues;
  for (size_t first = 0; first < words.size();) {
    LineFill fill(options.max_chars);
    fill.Add(CharacterCount(words[first].text));
    size_t characters = CharacterCount(words[first].text);
    size_t last_sentence_end = words[first].sentence_end ? first : words.size();
    bool over_a_limit = false;
    size_t end = first + 1;
    for (; end < words.size(); ++end) {
      const Word& before = words[end - 1];
      const Word& word = words[end];
      if (word.start_ms - before.end_ms >= pause) break;
      if (before.sentence_end && characters >= half_full) break;
      LineFill tried = fill;
      tried.Add(CharacterCount(word.text));
      if (tried.lines() > options.max_lines || word.end_ms - words[first].start_ms > max_duration) {
        over_a_limit = true;
        break;
      }
      fill = tried;
      characters += 1 + CharacterCount(word.text);
      if (word.sentence_end) last_sentence_end = end;
    }
    if (over_a_limit && last_sentence_end < words.size()) end = last_sentence_end + 1;
    cues.push_back(Formed(words, first, end, options.max_chars));
    first = end;
  }
  return cues;
}

}  // namespace quorvel::captions
