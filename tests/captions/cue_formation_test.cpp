// SPDX-License-Identifier: MIT
// Timed words formed into cues, and the cues written as subtitle files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "captions/reading/subtitles.h"
#include "captions/words/cue_formation.h"
#include "captions/words/cue_text.h"
#include "captions/words/cue_writer.h"
#include "captions/words/transcript.h"

namespace quorvel::captions {
namespace {

// The words of `script`, each 300 ms long and following the one before at once; "|" is a
// silence of 500 ms, "||" one of 400 ms.
std::vector<Word> Spoken(const std::string& script) {
  std::vector<Word> words;
  int64_t at = 0;
  std::istringstream tokens(script);
  for (std::string token; tokens >> token;) {
    if (token == "|" || token == "||") {
      at += token == "|" ? 500 : 400;
      continue;
    }
    words.push_back({token, at, at + 300, EndsSentence(token), token});
    at += 300;
  }
  return words;
}

FormationOptions Limits(size_t max_chars, size_t max_lines, double max_duration = 7) {
  FormationOptions options;
  options.max_chars = max_chars;
  options.max_lines = max_lines;
  options.max_duration_seconds = max_duration;
  return options;
}

TEST(CueFormation, GathersWordsWithinTheLimits) {
  const struct {
    const char* name;
    std::string script;
    FormationOptions options;
    std::vector<std::string> texts;
  } cases[] = {
      {"characters a line", "aaa bbb ccc ddd", Limits(10, 1), {"aaa bbb", "ccc ddd"}},
      {"lines a cue", "aaa bbb ccc ddd eee", Limits(7, 2), {"aaa bbb\nccc ddd", "eee"}},
      {"duration: the fourth word would end at 1.2 s",
       "a b c d e",
       Limits(42, 2, 1.0),
       {"a b c", "d e"}},
      {"a pause of the option's length ends a cue",
       "one two | three four",
       Limits(42, 2),
       {"one two", "three four"}},
      {"a shorter pause does not", "one two || three four", Limits(42, 2), {"one two three four"}},
      {"a sentence's end once half full",
       "It was a fine day today. We went out",
       Limits(42, 1),
       {"It was a fine day today.", "We went out"}},
      {"a sentence's end before half full stays",
       "Yes. I think so",
       Limits(42, 2),
       {"Yes. I think so"}},
      {"a cue over its limit ends at its last sentence's end",
       "Done. Next one here ok",
       Limits(20, 1),
       {"Done.", "Next one here ok"}},
      {"a word longer than a line stands alone on its line",
       "a incomprehensibilities b",
       Limits(10, 2),
       {"a\nincomprehensibilities", "b"}},
      {"and in its cue when one line is all",
       "x incomprehensibilities y",
       Limits(10, 1),
       {"x", "incomprehensibilities", "y"}},
      {"a word longer than the longest cue stands alone", "a b", Limits(42, 2, 0.2), {"a", "b"}},
      {"64 characters as two even lines, not 41 and 22",
       "we shall walk along the quiet river until the evening bells ring",
       Limits(42, 2),
       {"we shall walk along the quiet\nriver until the evening bells ring"}},
      {"three lines as even as they can be",
       "aa bb cc dd ee ff gg hh ii",
       Limits(12, 3),
       {"aa bb cc\ndd ee ff\ngg hh ii"}},
      {"lines the longest word leaves free as even as they can be",
       "xxxxxxxxxx bb cc dd ee",
       Limits(10, 3),
       {"xxxxxxxxxx\nbb cc\ndd ee"}},
      {"markup characters escaped", "Fish & <chips>", Limits(42, 2), {"Fish &amp; &lt;chips&gt;"}},
  };
  for (const auto& test : cases) {
    const std::vector<FormedCue> cues = FormCues(Spoken(test.script), test.options);
    std::vector<std::string> texts;
    for (const FormedCue& formed : cues) texts.push_back(formed.cue.text);
    EXPECT_EQ(texts, test.texts) << test.name;
  }
}

TEST(CueFormation, KeepsEachWordsSpanAndTime) {
  const std::vector<Word> words = {{"Fish", 100, 400, false, "0"},
                                   {"&", 400, 500, false, "1"},
                                   {"chips", 600, 1000, false, "2"},
                                   {"again", 5000, 5300, false, "3"}};
  const std::vector<FormedCue> cues = FormCues(words, Limits(8, 2));
  ASSERT_EQ(cues.size(), 2u);
  const Cue& cue = cues[0].cue;
  EXPECT_EQ(cue.text, "Fish &amp;\nchips");
  EXPECT_EQ(cue.start_ms, 100);
  EXPECT_EQ(cue.end_ms, 1000);
  ASSERT_EQ(cue.timestamps.size(), 2u);
  EXPECT_EQ(cue.timestamps[0].offset, 5u);
  EXPECT_EQ(cue.timestamps[0].ms, 400);
  EXPECT_EQ(cue.timestamps[1].offset, 11u);
  EXPECT_EQ(cue.timestamps[1].ms, 600);
  ASSERT_EQ(cues[0].words.size(), 3u);
  const size_t spans[3][2] = {{0, 4}, {5, 10}, {11, 16}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(cues[0].words[i].begin, spans[i][0]) << i;
    EXPECT_EQ(cues[0].words[i].end, spans[i][1]) << i;
    EXPECT_EQ(cues[0].words[i].start_ms, words[i].start_ms) << i;
    EXPECT_EQ(cues[0].words[i].end_ms, words[i].end_ms) << i;
  }
  EXPECT_EQ(cues[1].cue.text, "again");
  EXPECT_TRUE(cues[1].cue.timestamps.empty());
}

TEST(CueFormation, RefusesOptionsOutOfRangeAndWordsOutOfOrder) {
  for (const FormationOptions& options :
       {Limits(0, 2), Limits(42, 0), Limits(1001, 2), Limits(42, 2, -1), Limits(42, 2, 1e300)}) {
    EXPECT_THROW(FormCues(Spoken("a"), options), std::invalid_argument);
  }
  std::vector<Word> words = Spoken("a b");
  words[1].start_ms = 100;
  EXPECT_THROW(FormCues(words, FormationOptions()), std::invalid_argument);
}

TEST(CueWriter, WritesSubRipAndWebVtt) {
  std::vector<Word> words = Spoken("Fish & <chips>. | Tea?");
  for (Word& word : words) {
    word.start_ms += 3723000;  // 01:02:03
    word.end_ms += 3723000;
  }
  words[0].start_ms += 4;
  const std::vector<FormedCue> cues = FormCues(words, FormationOptions());
  EXPECT_EQ(WriteSubRip(cues),
            "1\n01:02:03,004 --> 01:02:03,900\nFish & <chips>.\n\n"
            "2\n01:02:04,400 --> 01:02:04,700\nTea?\n\n");
  EXPECT_EQ(WriteWebVtt(cues),
            "WEBVTT\n\n"
            "01:02:03.004 --> 01:02:03.900\n"
            "Fish <01:02:03.300>&amp; <01:02:03.600>&lt;chips&gt;.\n\n"
            "01:02:04.400 --> 01:02:04.700\nTea?\n\n");
}

TEST(CueWriter, WrittenFilesReadBack) {
  const std::vector<FormedCue> cues = FormCues(
      Spoken("we shall walk along the quiet river until the evening bells ring. | A & B < C. "
             "And then the night came down over all the little houses by the water"),
      FormationOptions());
  ASSERT_EQ(cues.size(), 2u);
  for (const SubtitleFormat format : {SubtitleFormat::kSubRip, SubtitleFormat::kWebVtt}) {
    const bool vtt = format == SubtitleFormat::kWebVtt;
    const std::vector<Cue> read =
        ReadSubtitles(vtt ? WriteWebVtt(cues) : WriteSubRip(cues), "out", {format, "", true}).cues;
    ASSERT_EQ(read.size(), cues.size());
    for (size_t i = 0; i < cues.size(); ++i) {
      EXPECT_EQ(read[i].start_ms, cues[i].cue.start_ms) << vtt << " " << i;
      EXPECT_EQ(read[i].end_ms, cues[i].cue.end_ms) << vtt << " " << i;
      EXPECT_EQ(read[i].text, cues[i].cue.text) << vtt << " " << i;
      if (!vtt) continue;
      // WebVTT carries each word's time back.
      ASSERT_EQ(read[i].timestamps.size(), cues[i].cue.timestamps.size()) << i;
      for (size_t k = 0; k < read[i].timestamps.size(); ++k) {
        EXPECT_EQ(read[i].timestamps[k].offset, cues[i].cue.timestamps[k].offset) << i << " " << k;
        EXPECT_EQ(read[i].timestamps[k].ms, cues[i].cue.timestamps[k].ms) << i << " " << k;
      }
    }
  }
}

}  // namespace
}  // namespace quorvel::captions
