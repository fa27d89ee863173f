// SPDX-License-Identifier: MIT
// The timestamps of subtitle files: SubRip's, as loosely as its files write them, and WebVTT's,
// by its rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::captions {

struct SubRipTime {
  int64_t ms = 0;
  bool short_fraction = false;  // ",5": fewer than three digits, read as the fraction they write
};

// "01:02:03,450", "1:02:03.450" or, without hours, "02:03,450": minutes and seconds of one or two
// digits below 60, hours of up to six digits (subtitles of long recordings pass 99), and one to
// three digits of a second after a comma or a dot.
std::optional<SubRipTime> ParseSubRipTimestamp(const std::string& text);

// [hours:]mm:ss.ttt: hours of any count of digits (at most six here), minutes and seconds of two
// digits below 60, exactly three digits of milliseconds after a dot.
std::optional<int64_t> ParseWebVttTimestamp(const std::string& text);

}  // namespace quorvel::captions
