// SPDX-License-Identifier: MIT
// Transcripts as recognisers write them and as WebVTT's inline timestamps give them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captions/words/transcript.h"
#include "compose/errors.h"

namespace quorvel::captions {
namespace {

using compose::SceneError;
using ::testing::HasSubstr;

struct ExpectedWord {
  std::string text;
  int64_t start_ms;
  int64_t end_ms;
  bool sentence_end;
};

void ExpectWords(const std::vector<Word>& words, const std::vector<ExpectedWord>& expected,
                 const std::string& name) {
  ASSERT_EQ(words.size(), expected.size()) << name;
  for (size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(words[i].text, expected[i].text) << name << " word " << i;
    EXPECT_EQ(words[i].start_ms, expected[i].start_ms) << name << " word " << i;
    EXPECT_EQ(words[i].end_ms, expected[i].end_ms) << name << " word " << i;
    EXPECT_EQ(words[i].sentence_end, expected[i].sentence_end) << name << " word " << i;
  }
}

TEST(Transcript, ReadsTheFormsRecognisersWrite) {
  const struct {
    const char* name;
    std::string json;
    std::vector<ExpectedWord> expected;
  } cases[] = {
      {"segments of words with spaces around them, times rounded to the millisecond",
       R"({"text": " Hello there. Bye", "language": "en", "segments": [
            {"start": 0.0, "end": 1.0, "text": " Hello there.", "words": [
              {"word": " Hello", "start": 0.0006, "end": 0.42},
              {"word": " there. ", "start": 0.42, "end": 1.0004}]},
            {"start": 1.5, "end": 2, "words": [{"word": " Bye", "start": 1.5, "end": 2}]}]})",
       {{"Hello", 1, 420, false}, {"there.", 420, 1000, true}, {"Bye", 1500, 2000, false}}},
      {"\"text\" for the word, and spaces inside made one",
       R"({"segments": [{"words": [{"text": "New \n York?", "start": 1, "end": 2, "p": 0.9}]}]})",
       {{"New York?", 1000, 2000, true}}},
      {"a bare list of words",
       R"([{"word": "一", "start": 0, "end": 0.5}, {"word": "二。", "start": 0.5, "end": 1}])",
       {{"一", 0, 500, false}, {"二。", 500, 1000, true}}},
  };
  for (const auto& test : cases) {
    const Transcript transcript = ParseTranscript(test.json, "talk.json");
    ExpectWords(transcript.words, test.expected, test.name);
    EXPECT_TRUE(transcript.warnings.empty()) << test.name;
  }
}

TEST(Transcript, RefusesBadInputNamingThePlace) {
  const struct {
    const char* name;
    std::string json;
    std::string message;
  } cases[] = {
      {"overlapping words",
       R"({"segments": [{"words": [{"word": "a", "start": 0, "end": 1},
                                   {"word": "b", "start": 0.5, "end": 1.5}]}]})",
       "talk.json: segments[0].words[1]: the word starts at 0.5 s, before the word before it "
       "(talk.json: segments[0].words[0]) ends at 1 s"},
      {"out of order across segments",
       R"({"segments": [{"words": [{"word": "a", "start": 5, "end": 6}]},
                        {"words": [{"word": "b", "start": 1, "end": 2}]}]})",
       "talk.json: segments[1].words[0]: the word starts at 1 s"},
      {"a word ending before it starts", R"([{"word": "a", "start": 2, "end": 1}])",
       "talk.json: [0]: the word ends at 1 s, before it starts (2 s)"},
      {"a negative time", R"([{"word": "a", "start": -1, "end": 1}])",
       "talk.json: [0].start: the time -1 is negative"},
      {"a time past the longest", R"([{"word": "a", "start": 0, "end": 1e300}])",
       "talk.json: [0].end: 1e+300 s is past the longest time taken, 360000 s"},
      {"a time that is not a number", R"([{"word": "a", "start": "0", "end": 1}])",
       "talk.json: [0].start: expected a time in seconds, found \"0\""},
      {"no words in the segments", R"({"segments": [{"words": []}]})",
       "talk.json: the transcript has no words"},
      {"an empty list", "[]", "talk.json: the transcript has no words"},
      {"an untimed first word", R"([{"word": "Oh", "start": null}])",
       "talk.json: [0]: the first word has no \"start\" and \"end\""},
      {"segments without word times", R"({"segments": [{"start": 0, "end": 1, "text": "hi"}]})",
       "talk.json: segments[0]: expected a segment with \"words\""},
      {"a word without text", R"([{"start": 0, "end": 1}])",
       "talk.json: [0]: a word needs its text in \"word\""},
      {"neither form", R"({"text": "hi"})", "talk.json: expected a transcript"},
      {"not JSON", "[{", "talk.json: "},
  };
  for (const auto& test : cases) {
    try {
      ParseTranscript(test.json, "talk.json");
      ADD_FAILURE() << test.name << ": no error";
    } catch (const SceneError& error) {
      EXPECT_THAT(error.what(), HasSubstr(test.message)) << test.name;
    }
  }
}

TEST(Transcript, UntimedWordsJoinTheWordBefore) {
  const Transcript transcript = ParseTranscript(
      R"([{"word": " Hello", "start": 0, "end": 0.4}, {"word": ","},
          {"word": " world", "start": 0.5, "end": 0.9}, {"word": "!", "start": 1},
          {"word": " again", "end": 2}, {"word": "  "}, {"word": "Bye", "start": 3, "end": 3.5},
          {"word": "…”"}])",
      "talk.json");
  ExpectWords(
      transcript.words,
      {{"Hello,", 0, 400, false}, {"world! again", 500, 900, false}, {"Bye…”", 3000, 3500, true}},
      "joined");
  EXPECT_EQ(transcript.words[1].place, "talk.json: [2]");
  ASSERT_EQ(transcript.warnings.size(), 5u);
  EXPECT_EQ(transcript.warnings[0],
            "talk.json: [1]: \",\" has no \"start\" and \"end\"; joined to the word before");
  EXPECT_EQ(transcript.warnings[3], "talk.json: [5]: a blank word, passed over");
}

TEST(Transcript, SentenceEnds) {
  const struct {
    const char* text;
    bool ends;
  } cases[] = {{"done.", true},    {"why?", true},   {"stop!", true}, {"wait…", true},
               {"終わり。", true}, {"本当？", true}, {"“no.”", true}, {"(yes!)", true},
               {"so,", false},     {"3.5kg", false}, {"Mr", false},   {"”", false},
               {"", false}};
  for (const auto& test : cases) EXPECT_EQ(EndsSentence(test.text), test.ends) << test.text;
}

TEST(Transcript, WordsOfAWebVttCueWithInlineTimestamps) {
  Cue cue;
  cue.start_ms = 1000;
  cue.end_ms = 4000;
  cue.line = 7;
  // "<i>Hello</i> " then "big\n" from 1.5 s, then three words sharing 2 s to 4 s by length.
  cue.text = "<i>Hello</i> big\nworld &amp; co";
  cue.timestamps = {{13, 1500}, {17, 2000}};
  ExpectWords(WordsOfTimedCue(cue, "subs.vtt"),
              {{"Hello", 1000, 1500, false},
               {"big", 1500, 2000, false},
               {"world", 2000, 3250, false},
               {"&", 3250, 3500, false},
               {"co", 3500, 4000, false}},
              "timed cue");
  cue.timestamps = {{13, 1500}, {17, 1400}};
  EXPECT_THROW(
      try { WordsOfTimedCue(cue, "subs.vtt"); } catch (const SceneError& error) {
        EXPECT_THAT(error.what(),
                    HasSubstr("subs.vtt:7: the inline timestamp 00:00:01.400 is outside "
                              "00:00:01.500 to 00:00:04.000"));
        throw;
      },
      SceneError);
  cue.timestamps = {{13, 4500}};
  EXPECT_THROW(WordsOfTimedCue(cue, "subs.vtt"), SceneError);
  cue.timestamps = {{99, 1500}};
  EXPECT_THROW(WordsOfTimedCue(cue, "subs.vtt"), SceneError);
}

}  // namespace
}  // namespace quorvel::captions
