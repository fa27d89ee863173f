// SPDX-License-Identifier: MIT
// Subtitle files, SubRip (.srt) and WebVTT (.vtt), read into timed cues.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::captions {

struct Cue {
  int64_t start_ms = 0;
  int64_t end_ms = 0;  // at or after the start
  // The cue's text as markup (headless/text/markup.h), lines separated by '\n'; may be empty.
  std::string text;
  size_t line = 0;  // the line of its timing ("... --> ..."), from 1, for messages
  // Where an ASS override block ({\an1} to {\an9}) puts the cue: the point of the frame's safe
  // area, numbered as a numeric keypad (1 bottom-left, 5 the centre, 9 top-right).
  std::optional<int> alignment;
  // WebVTT's inline timestamps (<00:00:01.500>): from byte `offset` of `text` on, the words are
  // spoken from `ms`.
  struct Timestamp {
    size_t offset = 0;
    int64_t ms = 0;
  };
  std::vector<Timestamp> timestamps;
};

enum class SubtitleFormat { kSubRip, kWebVtt };

// By the name's extension (.srt, .vtt, any case), else by the text: WebVTT starts "WEBVTT".
SubtitleFormat SubtitleFormatOf(const std::string& name, const std::string& text);

struct ReadOptions {
  std::optional<SubtitleFormat> format;  // empty: by the file's name, else its text
  std::string encoding;                  // empty: told from the bytes (text_encoding.h)
  bool strict = false;                   // a warning is a SceneError instead
};

struct SubtitleFile {
  SubtitleFormat format = SubtitleFormat::kSubRip;
  std::vector<Cue> cues;              // sorted by start, stable; they may overlap
  std::vector<std::string> warnings;  // whole lines: "talk.srt:12: ..."
};

// The cues of a subtitle file's bytes. A byte order mark, CRLF or CR line ends and a missing last
// blank line are taken; cue numbers and identifiers, WebVTT's header, NOTE, STYLE and REGION
// blocks and cue settings are passed over, and a timing line right after a cue's text starts the
// next cue. Cue text becomes markup (cue_markup.h). A block that cannot be read, a cue that ends
// before it starts, SubRip milliseconds of fewer than three digits and a guessed encoding are
// warnings naming the file and the line (SceneErrors when strict); a file that is not text, or
// has no cue, is a SceneError: "talk.srt:12: ...".
SubtitleFile ReadSubtitles(const std::string& bytes, const std::string& file,
                           const ReadOptions& options = {});

// "01:02:03.450".
std::string ShownTimestamp(int64_t ms);

}  // namespace quorvel::captions
