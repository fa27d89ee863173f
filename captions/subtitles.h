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

// The cues in order of time. A byte order mark, CRLF or CR line ends and a missing last blank
// line are taken; cue numbers and identifiers, WebVTT's header, NOTE, STYLE and REGION blocks
// and cue settings are passed over; WebVTT's character references (&amp; &lt; &gt; &nbsp;
// &lrm; &rlm;) are decoded, and markup is kept as written. Anything else, and cues that overlap
// or end before they start, is a SceneError naming the file and the line: "subs.srt:12: ...".
std::vector<Cue> ParseSubtitles(const std::string& text, SubtitleFormat format,
                                const std::string& file);

// "01:02:03.450".
std::string ShownTimestamp(int64_t ms);

}  // namespace quorvel::captions
