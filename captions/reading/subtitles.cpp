// SPDX-License-Identifier: MIT
#include "captions/reading/subtitles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "captions/reading/cue_markup.h"
#include "captions/reading/subtitle_times.h"
#include "captions/reading/text_encoding.h"
#include "compose/document/text_file.h"
#include "compose/errors.h"

namespace quorvel::captions {

using compose::ByteOrderMarkLength;
using compose::SceneError;

namespace {

// The lines, without their ends (CRLF, LF or CR).
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines.back() += c;
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

bool IsBlank(const std::string& line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return c == ' ' || c == '\t' || c == '\f'; });
}

bool IsTimingLine(const std::string& line) {
  return line.find("-->") != std::string::npos;
}

// A SubRip cue number: digits only.
bool IsCueNumber(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  const size_t last = line.find_last_not_of(" \t");
  return first != std::string::npos &&
         std::all_of(line.begin() + static_cast<std::ptrdiff_t>(first),
                     line.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool StartsWithWord(const std::string& line, const std::string& word) {
  return line.rfind(word, 0) == 0 &&
         (line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t');
}

// Reads the blocks of one file, gathering its warnings.
class Reader {
 public:
  Reader(const std::string& file, SubtitleFormat format, bool strict)
      : file_(file), vtt_(format == SubtitleFormat::kWebVtt), strict_(strict) {}

  void Warn(size_t line, const std::string& message) {
    std::string warning = file_ + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message;
    if (strict_) throw SceneError(warning + " (an error under --strict)");
    warnings_.push_back(std::move(warning));
  }

  [[noreturn]] void Fail(size_t line, const std::string& message) const {
    throw SceneError(file_ + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message);
  }

  std::vector<Cue> Cues(const std::vector<std::string>& lines) {
    size_t i = 0;
    if (vtt_) {
      if (lines.empty() || !StartsWithWord(lines[0], "WEBVTT")) {
        Fail(1, "a WebVTT file starts with the line WEBVTT");
      }
      while (i < lines.size() && !IsBlank(lines[i])) ++i;  // the header
    }
    std::vector<Cue> cues;
    while (i < lines.size()) {
      if (IsBlank(lines[i])) {
        ++i;
      } else if (vtt_ && (StartsWithWord(lines[i], "NOTE") || StartsWithWord(lines[i], "STYLE") ||
                          StartsWithWord(lines[i], "REGION"))) {
        while (i < lines.size() && !IsBlank(lines[i])) ++i;
      } else if (std::optional<Cue> cue = Block(lines, i)) {
        cues.push_back(std::move(*cue));
      }
    }
    if (short_fractions_ > 0) {
      Warn(first_short_fraction_line_,
           "milliseconds of fewer than three digits, read as the fraction they write (',5' is "
           "500 ms)" +
               (short_fractions_ > 1
                    ? "; " + std::to_string(short_fractions_) + " such times in the file"
                    : std::string()));
    }
    if (cues.empty()) Fail(0, "no cues");
    std::stable_sort(cues.begin(), cues.end(),
                     [](const Cue& a, const Cue& b) { return a.start_ms < b.start_ms; });
    return cues;
  }

  std::vector<std::string> TakeWarnings() { return std::move(warnings_); }

 private:
  // The block from line `i` on: a cue, or nothing (a warning given); `i` is left after it.
  std::optional<Cue> Block(const std::vector<std::string>& lines, size_t& i) {
    const size_t block = i;
    // A cue number (SubRip) or identifier (WebVTT) may come before the timing.
    if (!IsTimingLine(lines[i]) && i + 1 < lines.size() && IsTimingLine(lines[i + 1])) ++i;
    if (!IsTimingLine(lines[i])) {
      const char mark = vtt_ ? '.' : ',';
      Warn(block + 1,
           "expected a cue: " + std::string(vtt_ ? "an identifier or " : "a number or ") +
               "a timing line such as '00:00:01" + mark + "000 --> 00:00:04" + mark +
               "000', found '" + lines[block].substr(0, 60) + "'; the block is skipped");
      SkipText(lines, i);
      return std::nullopt;
    }
    std::optional<Cue> cue = Timing(lines[i], i + 1);
    ++i;
    const size_t text_start = i;
    SkipText(lines, i);
    if (!cue) return std::nullopt;
    std::string text;
    for (size_t k = text_start; k < i; ++k) text += (k == text_start ? "" : "\n") + lines[k];
    CueMarkup markup = vtt_ ? WebVttMarkup(text) : SubRipMarkup(text);
    cue->text = std::move(markup.text);
    cue->alignment = markup.alignment;
    cue->timestamps = std::move(markup.timestamps);
    return cue;
  }

  // Past a cue's text: to a blank line, a timing line (the next cue, as files from video sites
  // write them) or, in SubRip, a number before a timing line.
  void SkipText(const std::vector<std::string>& lines, size_t& i) const {
    for (; i < lines.size() && !IsBlank(lines[i]) && !IsTimingLine(lines[i]); ++i) {
      if (!vtt_ && i + 1 < lines.size() && IsTimingLine(lines[i + 1]) && IsCueNumber(lines[i])) {
        break;
      }
    }
  }

  // "START --> END", cue settings after END (with or without a space) passed over.
  std::optional<Cue> Timing(const std::string& line, size_t number) {
    const size_t arrow = line.find("-->");
    const std::string start_text = Trimmed(line.substr(0, arrow));
    std::string end_text = Trimmed(line.substr(arrow + 3));
    end_text.resize(std::min(end_text.size(), end_text.find_first_not_of("0123456789:.,")));
    Cue cue;
    cue.line = number;
    for (const auto& [text, value] :
         {std::pair{&start_text, &cue.start_ms}, {&end_text, &cue.end_ms}}) {
      std::optional<int64_t> ms;
      if (vtt_) {
        ms = ParseWebVttTimestamp(*text);
      } else if (const std::optional<SubRipTime> time = ParseSubRipTimestamp(*text)) {
        ms = time->ms;
        if (time->short_fraction && short_fractions_++ == 0) first_short_fraction_line_ = number;
      }
      if (!ms) {
        Warn(number, "malformed timestamp '" + text->substr(0, 60) + "': expected " +
                         (vtt_ ? "hh:mm:ss.mmm or mm:ss.mmm" : "hh:mm:ss,mmm") +
                         "; the cue is skipped");
        return std::nullopt;
      }
      *value = *ms;
    }
    if (cue.end_ms < cue.start_ms) {
      Warn(number, "the cue ends at " + ShownTimestamp(cue.end_ms) + ", before it starts (" +
                       ShownTimestamp(cue.start_ms) + "); the cue is skipped");
      return std::nullopt;
    }
    return cue;
  }

  const std::string& file_;
  const bool vtt_;
  const bool strict_;
  std::vector<std::string> warnings_;
  size_t short_fractions_ = 0;
  size_t first_short_fraction_line_ = 0;
};

}  // namespace

SubtitleFormat SubtitleFormatOf(const std::string& name, const std::string& text) {
  std::string extension = std::filesystem::path(name).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".vtt") return SubtitleFormat::kWebVtt;
  if (extension == ".srt") return SubtitleFormat::kSubRip;
  return text.compare(ByteOrderMarkLength(text), 6, "WEBVTT") == 0 ? SubtitleFormat::kWebVtt
                                                                   : SubtitleFormat::kSubRip;
}

std::string ShownTimestamp(int64_t ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

SubtitleFile ReadSubtitles(const std::string& bytes, const std::string& file,
                           const ReadOptions& options) {
  Utf8Text text = ReadAsUtf8(bytes, options.encoding, file);
  SubtitleFile subtitles;
  subtitles.format = options.format ? *options.format : SubtitleFormatOf(file, text.text);
  Reader reader(file, subtitles.format, options.strict);
  if (!text.warning.empty()) {
    if (options.strict) throw SceneError(text.warning + " (an error under --strict)");
    subtitles.warnings.push_back(text.warning);
  }
  subtitles.cues = reader.Cues(TextLines(text.text));
  std::vector<std::string> warnings = reader.TakeWarnings();
  subtitles.warnings.insert(subtitles.warnings.end(), warnings.begin(), warnings.end());
  return subtitles;
}

}  // namespace quorvel::captions
