// SPDX-License-Identifier: MIT
#include "captions/subtitles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "compose/document/json_place.h"
#include "compose/document/text_file.h"

namespace quorvel::captions {

using compose::ByteOrderMarkLength;
using compose::FirstNonTextByte;
using compose::LineOf;
using compose::SceneError;

namespace {

[[noreturn]] void Fail(const std::string& file, size_t line, const std::string& message) {
  throw SceneError(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message);
}

// The lines, without their ends (CRLF, LF or CR), after a byte order mark. A NUL or a byte that
// is not UTF-8 means the file is not text.
std::vector<std::string> TextLines(const std::string& text, const std::string& file) {
  if (const size_t bad = FirstNonTextByte(text); bad != std::string::npos) {
    Fail(file, LineOf(text, bad), "not a text file: subtitles are read as UTF-8 text");
  }
  std::vector<std::string> lines(1);
  for (size_t i = ByteOrderMarkLength(text); i < text.size(); ++i) {
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

// Digits only, at least one and at most `most`; false otherwise.
bool ReadDigits(const std::string& text, size_t most, int64_t& value) {
  if (text.empty() || text.size() > most) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// "01:02:03,450", "1:02:03.450" or, without hours, "02:03.450": minutes and seconds of two
// digits below 60, hours of up to six digits (subtitles of long recordings pass 99), and
// milliseconds after a comma (SubRip) or a dot (WebVTT); either is taken in both.
std::optional<int64_t> ParseTimestamp(const std::string& text) {
  std::vector<std::string> parts(1);
  for (const char c : text) {
    if (c == ':') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  const std::string seconds_part = parts.back();
  const size_t mark = seconds_part.find_first_of(",.");
  if (mark == std::string::npos) return std::nullopt;
  int64_t hours = 0, minutes = 0, seconds = 0, fraction = 0;
  const std::string digits = seconds_part.substr(mark + 1);
  if ((parts.size() == 3 && !ReadDigits(parts[0], 6, hours)) ||
      !ReadDigits(parts[parts.size() - 2], 2, minutes) ||
      !ReadDigits(seconds_part.substr(0, mark), 2, seconds) || !ReadDigits(digits, 3, fraction) ||
      minutes > 59 || seconds > 59) {
    return std::nullopt;
  }
  for (size_t i = digits.size(); i < 3; ++i) fraction *= 10;  // ",5" is half a second
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "START --> END" and, after END, cue settings (passed over).
Cue ParseTiming(const std::string& line, size_t number, const std::string& file) {
  const size_t arrow = line.find("-->");
  const std::string start_text = Trimmed(line.substr(0, arrow));
  std::string end_text = Trimmed(line.substr(arrow + 3));
  end_text.resize(std::min(end_text.size(), end_text.find_first_of(" \t")));
  Cue cue;
  cue.line = number;
  for (const auto& [text, value] :
       {std::pair{&start_text, &cue.start_ms}, {&end_text, &cue.end_ms}}) {
    const std::optional<int64_t> ms = ParseTimestamp(*text);
    if (!ms) {
      Fail(file, number,
           "malformed timestamp '" + *text + "': expected hh:mm:ss,mmm (or hh:mm:ss.mmm)");
    }
    *value = *ms;
  }
  if (cue.end_ms <= cue.start_ms) {
    Fail(file, number,
         "the cue ends at " + ShownTimestamp(cue.end_ms) +
             (cue.end_ms == cue.start_ms
                  ? ", when it starts"
                  : ", before it starts (" + ShownTimestamp(cue.start_ms) + ")"));
  }
  return cue;
}

// WebVTT writes &, < and > (and two marks of direction and a no-break space) as references.
std::string DecodeReferences(const std::string& text) {
  static const std::pair<const char*, const char*> kReferences[] = {
      {"&amp;", "&"},       {"&lt;", "<"},       {"&gt;", ">"},
      {"&nbsp;", "\u00A0"}, {"&lrm;", "\u200E"}, {"&rlm;", "\u200F"}};
  std::string decoded;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [name, character] : kReferences) {
      if (text.compare(i, std::char_traits<char>::length(name), name) == 0) {
        decoded += character;
        i += std::char_traits<char>::length(name);
        replaced = true;
        break;
      }
    }
    if (!replaced) decoded += text[i++];
  }
  return decoded;
}

bool StartsWithWord(const std::string& line, const std::string& word) {
  return line.rfind(word, 0) == 0 &&
         (line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t');
}

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

std::vector<Cue> ParseSubtitles(const std::string& text, SubtitleFormat format,
                                const std::string& file) {
  const std::vector<std::string> lines = TextLines(text, file);
  const bool vtt = format == SubtitleFormat::kWebVtt;
  size_t i = 0;
  if (vtt) {
    if (lines.empty() || !StartsWithWord(lines[0], "WEBVTT")) {
      Fail(file, 1, "a WebVTT file starts with the line WEBVTT");
    }
    while (i < lines.size() && !IsBlank(lines[i])) ++i;  // the header
  }
  std::vector<Cue> cues;
  while (i < lines.size()) {
    if (IsBlank(lines[i])) {
      ++i;
      continue;
    }
    // A block: up to the next blank line.
    const size_t block = i;
    if (vtt && (StartsWithWord(lines[i], "NOTE") || StartsWithWord(lines[i], "STYLE") ||
                StartsWithWord(lines[i], "REGION"))) {
      while (i < lines.size() && !IsBlank(lines[i])) ++i;
      continue;
    }
    // A cue number (SubRip) or identifier (WebVTT) may come before the timing.
    if (!IsTimingLine(lines[i])) {
      int64_t ignored = 0;
      if (i + 1 >= lines.size() || !IsTimingLine(lines[i + 1]) ||
          (!vtt && !ReadDigits(Trimmed(lines[i]), 18, ignored))) {
        Fail(file, block + 1,
             "expected a cue: " + std::string(vtt ? "an identifier or " : "a number or ") +
                 "a timing line such as '00:00:01" + (vtt ? "." : ",") + "000 --> 00:00:04" +
                 (vtt ? "." : ",") + "000', found '" + lines[i].substr(0, 60) + "'");
      }
      ++i;
    }
    Cue cue = ParseTiming(lines[i], i + 1, file);
    ++i;
    std::string cue_text;
    for (bool first = true; i < lines.size() && !IsBlank(lines[i]); first = false, ++i) {
      // A SubRip file that leaves out the blank line before the next cue's number.
      int64_t ignored = 0;
      if (!vtt && i + 1 < lines.size() && IsTimingLine(lines[i + 1]) &&
          ReadDigits(Trimmed(lines[i]), 18, ignored)) {
        break;
      }
      if (IsTimingLine(lines[i])) {
        Fail(file, i + 1,
             "a timing line inside the text of the cue at line " + std::to_string(cue.line) +
                 "; cues are separated by a blank line");
      }
      cue_text += (first ? "" : "\n") + (vtt ? DecodeReferences(lines[i]) : lines[i]);
    }
    cue.text = std::move(cue_text);
    cues.push_back(std::move(cue));
  }
  if (cues.empty()) Fail(file, 0, "no cues");

  std::stable_sort(cues.begin(), cues.end(),
                   [](const Cue& a, const Cue& b) { return a.start_ms < b.start_ms; });
  for (size_t k = 1; k < cues.size(); ++k) {
    if (cues[k].start_ms < cues[k - 1].end_ms) {
      Fail(file, cues[k].line,
           "the cue starts at " + ShownTimestamp(cues[k].start_ms) + ", before the cue at line " +
               std::to_string(cues[k - 1].line) + " ends (" + ShownTimestamp(cues[k - 1].end_ms) +
               "); overlapping cues are not taken: end the earlier one first");
    }
  }
  return cues;
}

}  // namespace quorvel::captions
