// SPDX-License-Identifier: MIT
#include "captions/words/cue_writer.h"

#include "captions/words/cue_text.h"

namespace quorvel::captions {
namespace {

// "00:00:01,500": SubRip marks the milliseconds with a comma.
std::string SubRipTimestamp(int64_t ms) {
  std::string text = ShownTimestamp(ms);
  text[text.rfind('.')] = ',';
  return text;
}

std::string TimedText(const Cue& cue) {
  std::string text;
  size_t from = 0;
  for (const Cue::Timestamp& timestamp : cue.timestamps) {
    text.append(cue.text, from, timestamp.offset - from);
    text += "<" + ShownTimestamp(timestamp.ms) + ">";
    from = timestamp.offset;
  }
  text.append(cue.text, from, std::string::npos);
  return text;
}

}  // namespace

std::string WriteSubRip(const std::vector<FormedCue>& cues) {
  std::string file;
  for (size_t i = 0; i < cues.size(); ++i) {
    const Cue& cue = cues[i].cue;
    file += std::to_string(i + 1) + "\n" + SubRipTimestamp(cue.start_ms) + " --> " +
            SubRipTimestamp(cue.end_ms) + "\n" + UnescapeCueText(cue.text) + "\n\n";
  }
  return file;
}

std::string WriteWebVtt(const std::vector<FormedCue>& cues) {
  std::string file = "WEBVTT\n\n";
  for (const FormedCue& formed : cues) {
    const Cue& cue = formed.cue;
    file += ShownTimestamp(cue.start_ms) + " --> " + ShownTimestamp(cue.end_ms) + "\n" +
            TimedText(cue) + "\n\n";
  }
  return file;
}

}  // namespace quorvel::captions
