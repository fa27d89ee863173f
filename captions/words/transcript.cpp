// SPDX-License-Identifier: MIT
#include "captions/words/transcript.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>

#include "captions/words/cue_text.h"
#include "compose/document/json_place.h"

namespace quorvel::captions {

using compose::Json;
using compose::JsonPlace;
using compose::SceneError;
using compose::Shown;
using compose::ShownNumber;

namespace {

const char* const kSentenceEnds[] = {".", "!", "?", "…", "。", "！", "？", "．"};
// What may follow a sentence's end and still belong to it: "He said “no.”" ends a sentence.
const char* const kClosers[] = {"\"", "'", ")", "]", "”", "’", "」", "』", "）"};
// Punctuation beyond ASCII's that recognisers emit as words of their own.
const char* const kPunctuation[] = {"…",  "。", "、", "！", "？", "，", "．", "：",
                                    "；", "“",  "”",  "‘",  "’",  "「", "」", "『",
                                    "』", "（", "）", "—",  "–",  "«",  "»"};

bool EndsWith(const std::string& text, const char* end) {
  const size_t length = std::strlen(end);
  return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
}

bool IsPunctuation(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (!std::ispunct(c)) return false;
      ++i;
      continue;
    }
    size_t matched = 0;
    for (const char* mark : kPunctuation) {
      if (text.compare(i, std::strlen(mark), mark) == 0) matched = std::strlen(mark);
    }
    if (matched == 0) return false;
    i += matched;
  }
  return !text.empty();
}

// Spaces around a word are separators, and a run of them inside it is one space.
std::string TidiedText(const std::string& text) {
  std::string tidied;
  bool space = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      space = !tidied.empty();
      continue;
    }
    if (space) tidied += ' ';
    space = false;
    tidied += c;
  }
  return tidied;
}

std::string ShownSeconds(int64_t ms) {
  return ShownNumber(static_cast<double>(ms) / 1000) + " s";
}

// A word's "start" or "end" in milliseconds; nothing when it is missing or null.
std::optional<int64_t> ReadTime(const JsonPlace& word, const char* key) {
  const auto found = word.value().find(key);
  if (found == word.value().end() || found->is_null()) return std::nullopt;
  const JsonPlace place = word.Member(key);
  if (!found->is_number()) place.Fail("expected a time in seconds, found " + Shown(*found));
  const double seconds = found->get<double>();
  if (!std::isfinite(seconds)) place.Fail("the time is not a finite number");
  if (seconds < 0) place.Fail("the time " + ShownNumber(seconds) + " is negative");
  if (seconds > kMaxTranscriptSeconds) {
    place.Fail(ShownNumber(seconds) + " s is past the longest time taken, " +
               ShownNumber(kMaxTranscriptSeconds) + " s");
  }
  return std::llround(seconds * 1000);
}

class WordReader {
 public:
  explicit WordReader(Transcript& transcript) : transcript_(transcript) {}

  void Read(const JsonPlace& word) {
    if (!word.value().is_object()) {
      word.Fail("expected a word {\"word\": text, \"start\": seconds, \"end\": seconds}, found " +
                Shown(word.value()));
    }
    const char* text_key = word.value().contains("word") ? "word" : "text";
    if (!word.value().contains(text_key)) word.Fail("a word needs its text in \"word\"");
    const JsonPlace text_place = word.Member(text_key);
    if (!text_place.value().is_string()) {
      text_place.Fail("expected the word's text, found " + Shown(text_place.value()));
    }
    const std::string text = TidiedText(text_place.value().get<std::string>());
    const std::string place = word.file() + ": " + word.path();
    std::vector<Word>& words = transcript_.words;
    if (text.empty()) {
      transcript_.warnings.push_back(place + ": a blank word, passed over");
      return;
    }
    const std::optional<int64_t> start = ReadTime(word, "start");
    const std::optional<int64_t> end = ReadTime(word, "end");
    if (!start || !end) {
      if (words.empty()) {
        word.Fail(
            "the first word has no \"start\" and \"end\": the words after it are timed "
            "from it");
      }
      Word& before = words.back();
      before.text += (IsPunctuation(text) ? "" : " ") + text;
      before.sentence_end = EndsSentence(before.text);
      transcript_.warnings.push_back(place + ": \"" + text +
                                     "\" has no \"start\" and \"end\"; joined to the word before");
      return;
    }
    if (*end < *start) {
      word.Fail("the word ends at " + ShownSeconds(*end) + ", before it starts (" +
                ShownSeconds(*start) + ")");
    }
    if (!words.empty() && *start < words.back().end_ms) {
      word.Fail("the word starts at " + ShownSeconds(*start) + ", before the word before it (" +
                words.back().place + ") ends at " + ShownSeconds(words.back().end_ms) +
                "; words are taken in order of time, without overlap");
    }
    words.push_back({text, *start, *end, EndsSentence(text), place});
  }

 private:
  Transcript& transcript_;
};

void ReadWordList(const JsonPlace& list, WordReader& reader) {
  if (!list.value().is_array()) list.Fail("expected a list of words, found " + Shown(list.value()));
  for (size_t i = 0; i < list.value().size(); ++i) reader.Read(list.Element(i));
}

// The text of markup without its tags (<i>, <c.loud>, <00:00:01.500>): its '<' are all tags'.
std::string WithoutTags(const std::string& markup) {
  std::string text;
  bool in_tag = false;
  for (const char c : markup) {
    if (c == '<') in_tag = true;
    if (!in_tag) text += c;
    if (c == '>') in_tag = false;
  }
  return text;
}

std::vector<std::string> SpaceSeparated(const std::string& tidied) {
  std::vector<std::string> parts;
  for (size_t begin = 0; begin < tidied.size();) {
    const size_t end = std::min(tidied.find(' ', begin), tidied.size());
    parts.push_back(tidied.substr(begin, end - begin));
    begin = end + 1;
  }
  return parts;
}

}  // namespace

bool EndsSentence(const std::string& text) {
  std::string rest = text;
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (const char* closer : kClosers) {
      if (rest.size() > std::strlen(closer) && EndsWith(rest, closer)) {
        rest.resize(rest.size() - std::strlen(closer));
        stripped = true;
      }
    }
  }
  for (const char* end : kSentenceEnds) {
    if (EndsWith(rest, end)) return true;
  }
  return false;
}

Transcript ParseTranscript(const std::string& text, const std::string& file) {
  const Json document = compose::ParseJsonText(text, file);
  const JsonPlace top(document, file, "");
  Transcript transcript;
  WordReader reader(transcript);
  if (document.is_array()) {
    ReadWordList(top, reader);
  } else if (document.is_object() && document.contains("segments")) {
    const JsonPlace segments = top.Member("segments");
    if (!segments.value().is_array()) {
      segments.Fail("expected a list of segments, found " + Shown(segments.value()));
    }
    for (size_t i = 0; i < segments.value().size(); ++i) {
      const JsonPlace segment = segments.Element(i);
      if (!segment.value().is_object() || !segment.value().contains("words")) {
        segment.Fail(
            "expected a segment with \"words\": captions are formed from word times, "
            "which recognisers write when asked for word timestamps");
      }
      ReadWordList(segment.Member("words"), reader);
    }
  } else {
    top.Fail(
        "expected a transcript: {\"segments\": [{\"words\": [...]}, ...]} or a list of "
        "words [{\"word\": text, \"start\": seconds, \"end\": seconds}, ...]");
  }
  if (transcript.words.empty()) throw SceneError(file + ": the transcript has no words");
  return transcript;
}

std::vector<Word> WordsOfTimedCue(const Cue& cue, const std::string& file) {
  const std::string place = file + ":" + std::to_string(cue.line);
  std::vector<Cue::Timestamp> starts{{0, cue.start_ms}};
  starts.insert(starts.end(), cue.timestamps.begin(), cue.timestamps.end());
  for (size_t k = 1; k < starts.size(); ++k) {
    if (starts[k].offset < starts[k - 1].offset || starts[k].offset > cue.text.size()) {
      throw SceneError(place + ": the inline timestamps are out of place in the cue's text");
    }
    if (starts[k].ms < starts[k - 1].ms || starts[k].ms > cue.end_ms) {
      throw SceneError(place + ": the inline timestamp " + ShownTimestamp(starts[k].ms) +
                       " is outside " + ShownTimestamp(starts[k - 1].ms) + " to " +
                       ShownTimestamp(cue.end_ms) +
                       ": timestamps run in order within the cue's time");
    }
  }
  std::vector<Word> words;
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end_offset = k + 1 < starts.size() ? starts[k + 1].offset : cue.text.size();
    const int64_t end_ms = k + 1 < starts.size() ? starts[k + 1].ms : cue.end_ms;
    const std::vector<std::string> parts = SpaceSeparated(TidiedText(UnescapeCueText(
        WithoutTags(cue.text.substr(starts[k].offset, end_offset - starts[k].offset)))));
    size_t total = 0;
    for (const std::string& part : parts) total += CharacterCount(part);
    // Words sharing one timestamp share its time by their lengths.
    const double duration = static_cast<double>(end_ms - starts[k].ms);
    size_t before = 0;
    for (const std::string& part : parts) {
      const int64_t start = starts[k].ms + std::llround(duration * static_cast<double>(before) /
                                                        static_cast<double>(total));
      before += CharacterCount(part);
      words.push_back({part, start, end_ms, EndsSentence(part), place});
    }
  }
  // Each word lasts until the next starts, across pieces that hold no words.
  for (size_t i = 0; i + 1 < words.size(); ++i) words[i].end_ms = words[i + 1].start_ms;
  if (!words.empty()) words.back().end_ms = cue.end_ms;
  return words;
}

}  // namespace quorvel::captions
