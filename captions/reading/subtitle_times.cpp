// SPDX-License-Identifier: MIT
#include "captions/reading/subtitle_times.h"

namespace quorvel::captions {

namespace {

// A timestamp's fields as written: "h:m:s<mark>f" or "m:s<mark>f", hours empty when left out.
struct Fields {
  std::string hours, minutes, seconds, fraction;
};

std::optional<Fields> SplitTimestamp(const std::string& text, const char* marks) {
  const size_t last_colon = text.rfind(':');
  if (last_colon == std::string::npos) return std::nullopt;
  const size_t first_colon = text.find(':');
  if (first_colon == 0 && first_colon != last_colon) return std::nullopt;  // ":02:03.000"
  const size_t mark = text.find_first_of(marks, last_colon);
  if (mark == std::string::npos) return std::nullopt;
  Fields fields;
  const size_t minutes_start = first_colon == last_colon ? 0 : first_colon + 1;
  if (first_colon != last_colon) fields.hours = text.substr(0, first_colon);
  fields.minutes = text.substr(minutes_start, last_colon - minutes_start);
  fields.seconds = text.substr(last_colon + 1, mark - last_colon - 1);
  fields.fraction = text.substr(mark + 1);
  return fields;
}

// Digits only, from `least` to `most` of them.
bool ReadDigits(const std::string& text, size_t least, size_t most, int64_t& value) {
  if (text.size() < least || text.size() > most) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// How loosely a format writes its times: the marks before the fraction, and the fewest digits
// of minutes and seconds (at most two) and of the fraction (at most three).
struct TimestampRules {
  const char* marks;
  size_t least_clock_digits;
  size_t least_fraction_digits;
};

// The time in milliseconds, and how many digits its fraction had.
std::optional<std::pair<int64_t, size_t>> ParseTimestamp(const std::string& text,
                                                         const TimestampRules& rules) {
  const std::optional<Fields> fields = SplitTimestamp(text, rules.marks);
  int64_t hours = 0, minutes = 0, seconds = 0, fraction = 0;
  if (!fields || (!fields->hours.empty() && !ReadDigits(fields->hours, 1, 6, hours)) ||
      !ReadDigits(fields->minutes, rules.least_clock_digits, 2, minutes) ||
      !ReadDigits(fields->seconds, rules.least_clock_digits, 2, seconds) ||
      !ReadDigits(fields->fraction, rules.least_fraction_digits, 3, fraction) || minutes > 59 ||
      seconds > 59) {
    return std::nullopt;
  }
  for (size_t i = fields->fraction.size(); i < 3; ++i) fraction *= 10;
  return std::pair{((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction,
                   fields->fraction.size()};
}

}  // namespace

std::optional<SubRipTime> ParseSubRipTimestamp(const std::string& text) {
  const auto time = ParseTimestamp(text, {",.", 1, 1});
  if (!time) return std::nullopt;
  return SubRipTime{time->first, time->second < 3};
}

std::optional<int64_t> ParseWebVttTimestamp(const std::string& text) {
  const auto time = ParseTimestamp(text, {".", 2, 3});
  if (!time) return std::nullopt;
  return time->first;
}

}  // namespace quorvel::captions
