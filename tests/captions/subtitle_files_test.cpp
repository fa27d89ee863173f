// SPDX-License-Identifier: MIT
// Subtitle files as players meet them: in old encodings, with markup of both formats, from video
// sites without blank lines, with broken blocks that are skipped and said.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "captions/reading/subtitles.h"
#include "compose/errors.h"

namespace quorvel::captions {
namespace {

using compose::SceneError;
using ::testing::HasSubstr;

struct ExpectedCue {
  int64_t start_ms;
  int64_t end_ms;
  std::string text;
  size_t line;
  std::optional<int> alignment = std::nullopt;
  std::vector<std::pair<size_t, int64_t>> timestamps = {};
};

struct ReadCase {
  const char* name;
  const char* file;
  std::string bytes;
  std::vector<ExpectedCue> expected;
  std::vector<std::string> warnings = {};  // each the start of one warning, in order
  std::string encoding = "";
};

// UTF-16 with its byte order mark, from text of code points below U+10000.
std::string Utf16(const std::u16string& text, bool big_endian) {
  std::string bytes;
  for (const char16_t unit : u"\uFEFF" + text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

const char kSrtHead[] = "1\n00:00:01,000 --> 00:00:02,000\n";

void ExpectRead(const ReadCase& test) {
  SCOPED_TRACE(test.name);
  SubtitleFile read;
  try {
    read = ReadSubtitles(test.bytes, test.file, {std::nullopt, test.encoding, false});
  } catch (const SceneError& error) {
    ADD_FAILURE() << error.what();
    return;
  }
  ASSERT_EQ(read.cues.size(), test.expected.size());
  for (size_t i = 0; i < read.cues.size(); ++i) {
    const Cue& cue = read.cues[i];
    const ExpectedCue& expected = test.expected[i];
    EXPECT_EQ(cue.start_ms, expected.start_ms) << "cue " << i;
    EXPECT_EQ(cue.end_ms, expected.end_ms) << "cue " << i;
    EXPECT_EQ(cue.text, expected.text) << "cue " << i;
    EXPECT_EQ(cue.line, expected.line) << "cue " << i;
    EXPECT_EQ(cue.alignment, expected.alignment) << "cue " << i;
    std::vector<std::pair<size_t, int64_t>> timestamps;
    for (const Cue::Timestamp& timestamp : cue.timestamps) {
      timestamps.emplace_back(timestamp.offset, timestamp.ms);
    }
    EXPECT_EQ(timestamps, expected.timestamps) << "cue " << i;
  }
  ASSERT_EQ(read.warnings.size(), test.warnings.size()) << ::testing::PrintToString(read.warnings);
  for (size_t i = 0; i < read.warnings.size(); ++i) {
    EXPECT_EQ(read.warnings[i].rfind(test.warnings[i], 0), 0u) << read.warnings[i];
  }
}

TEST(SubtitleFiles, MarkupOfBothFormatsBecomesTheTextLayersMarkup) {
  const ReadCase cases[] = {
      {"srt tags of any case kept, unknown tags dropped, literal < > & escaped",
       "s.srt",
       std::string(kSrtHead) +
           "<B>bold</B> <i>it</i> <u>u</u> <s>s</s> <span class=x>x</span> a < b & c > d <3\n",
       {{1000, 2000, "<b>bold</b> <i>it</i> <u>u</u> <s>s</s> x a &lt; b &amp; c &gt; d &lt;3",
         2}}},
      {"srt font attributes re-quoted, others and an empty font dropped",
       "s.srt",
       std::string(kSrtHead) +
           "<font face='Times New' size=20 COLOR=\"#FF0000\" id=\"q\">x</font><font>y</font>\n"
           "<font color=\"a&quot;\">z</FONT>",
       {{1000, 2000,
         "<font face=\"Times New\" size=\"20\" color=\"#FF0000\">x</font>y\n"
         "<font color=\"a&amp;quot;\">z</font>",
         2}}},
      {"srt badly nested tags closed innermost first and opened again",
       "s.srt",
       std::string(kSrtHead) + "<b><i>x</b>y</i></u>",
       {{1000, 2000, "<b><i>x</i></b><i>y</i>", 2}}},
      {"srt {\\an8} places the cue, other override blocks go, an unclosed one stays",
       "s.srt",
       std::string(kSrtHead) + "{\\an8}Top {\\pos(10,20)\\b1}line\n{\\an3 open {not an override}",
       {{1000, 2000, "Top line\n{\\an3 open {not an override}", 2, 8}}},
      {"srt later \\an in one block wins; no \\an leaves the place to the style",
       "s.srt",
       std::string(kSrtHead) + "{\\an1\\i1\\an7}A\n\n2\n00:00:03,000 --> 00:00:04,000\n{\\fs20}B",
       {{1000, 2000, "A", 2, 7}, {3000, 4000, "B", 6}}},
      {"vtt c, v, lang, ruby go with their content kept, rt's content is not drawn",
       "s.vtt",
       "WEBVTT\n\n00:01.000 --> 00:02.000\n<c.yellow.bg_blue>c</c> <v.loud Roger B>v</v> "
       "<lang en-GB>l</lang> <ruby>\xE6\xBC\xA2<rt>kan <b>x</b></rt></ruby> <b>b</b> <i>i</i> "
       "<u>u</u> <s>s</s> <ruby>x<rt>y</ruby>z",
       {{1000, 2000, "c v l \xE6\xBC\xA2 <b>b</b> <i>i</i> <u>u</u> s xz", 3}}},
      {"vtt inline timestamps read out at their byte in the text; others dropped",
       "s.vtt",
       "WEBVTT\n\n00:01.000 --> 00:05.000\n<i>Caf\xC3\xA9</i> <00:00:01.500>never "
       "<00:02.750>drinks <01.900>liquid <1:00:00.000>&amp; <00:03.5>nitrogen",
       {{1000,
         5000,
         "<i>Caf\xC3\xA9</i> never drinks liquid &amp; nitrogen",
         3,
         std::nullopt,
         {{13, 1500}, {19, 2750}, {33, 3600000}}}}},
      {"srt: the document's example; SubRip has no references, its & is text",
       "s.srt",
       std::string(kSrtHead) + "{\\an8}<FONT color=#ffff00>Fire!</FONT>\n\n"
                               "2\n00:00:03,000 --> 00:00:04,000\n<v Ann>Fish &amp; <i>chips</i>\n",
       {{1000, 2000, "<font color=\"#ffff00\">Fire!</font>", 2, 8},
        {3000, 4000, "Fish &amp;amp; <i>chips</i>", 6}}},
      {"vtt: the document's example",
       "s.vtt",
       "WEBVTT\n\n00:01.000 --> 00:03.000\n<v Ann>Fish &amp; <i>chips</i> <00:00:02.000>&#233;",
       {{1000, 3000, "Fish &amp; <i>chips</i> \xC3\xA9", 3, std::nullopt, {{24, 2000}}}}},
      {"vtt references decoded and escaped again for the markup",
       "s.vtt",
       "WEBVTT\n\n00:01.000 --> 00:02.000\n&lt;3 &amp;&gt; &quot;q&apos; &#233;&#x41;&#0; "
       "&nbsp;&lrm;&rlm; &bogus; R&D <no end",
       {{1000, 2000,
         "&lt;3 &amp;&gt; \"q' \xC3\xA9"
         "A\xEF\xBF\xBD \xC2\xA0\xE2\x80\x8E\xE2\x80\x8F &amp;bogus; R&amp;D &lt;no end",
         3}}},
  };
  for (const ReadCase& test : cases) ExpectRead(test);
}

TEST(SubtitleFiles, EncodingsAreToldOrNamed) {
  const std::u16string cafe_quoted =
      u"1\n00:00:01,000 --> 00:00:02,000\nCaf\u00E9 \u201Chi\u201D\n";
  const std::string cafe_quoted_utf8 = "Caf\xC3\xA9 \xE2\x80\x9Chi\xE2\x80\x9D";
  const ReadCase cases[] = {
      {"UTF-8 with a byte order mark",
       "s.srt",
       "\xEF\xBB\xBF" + std::string(kSrtHead) + "Caf\xC3\xA9 \xE2\x80\x9Chi\xE2\x80\x9D\n",
       {{1000, 2000, cafe_quoted_utf8, 2}}},
      {"UTF-16 LE with a byte order mark",
       "s.srt",
       Utf16(cafe_quoted, false),
       {{1000, 2000, cafe_quoted_utf8, 2}}},
      {"UTF-16 BE with a byte order mark, WebVTT told from the text",
       "s.txt",
       Utf16(u"WEBVTT\n\n00:01.000 --> 00:02.000\nCaf\u00E9 \u201Chi\u201D", true),
       {{1000, 2000, cafe_quoted_utf8, 3}}},
      {"not UTF-8: Windows-1252, with a warning naming the first line that is not",
       "s.srt",
       std::string(kSrtHead) + "ok\n\n2\n00:00:03,000 --> 00:00:04,000\nCaf\xE9 \x93hi\x94\n",
       {{1000, 2000, "ok", 2}, {3000, 4000, cafe_quoted_utf8, 6}},
       {"s.srt:7: not UTF-8 text: the file is read as Windows-1252"}},
      {"ISO-8859-15 named: 0xA4 is the euro sign",
       "s.srt",
       std::string(kSrtHead) + "5 \xA4\n",
       {{1000, 2000, "5 \xE2\x82\xAC", 2}},
       {},
       "iso-8859-15"},
      {"Shift_JIS named",
       "s.srt",
       std::string(kSrtHead) + "\x93\xFA\x96\x7B\n",
       {{1000, 2000, "\xE6\x97\xA5\xE6\x9C\xAC", 2}},
       {},
       "SHIFT_JIS"},
      {"UTF-16BE named, without a mark",
       "s.srt",
       Utf16(cafe_quoted, true).substr(2),
       {{1000, 2000, cafe_quoted_utf8, 2}},
       {},
       "utf-16be"},
      {"Windows-1252 named: no warning",
       "s.srt",
       std::string(kSrtHead) + "\x80\n",
       {{1000, 2000, "\xE2\x82\xAC", 2}},
       {},
       "cp1252"},
  };
  for (const ReadCase& test : cases) ExpectRead(test);

  const struct {
    std::string bytes;
    std::string encoding;
    const char* message;
  } refused[] = {
      {std::string(kSrtHead) + "A" + '\0' + "B\n", "", "s.srt:3: not a text file"},
      {std::string("1\0\n\0", 4), "", "s.srt:1: not a text file"},  // UTF-16 without its mark
      {std::string(kSrtHead) + "\xE9\n", "UTF-8", "s.srt:3: not UTF-8 text"},
      {std::string(kSrtHead) + "A\n", "klingon-8", "s.srt: unknown encoding 'klingon-8'"},
      {std::string(kSrtHead) + "\x93\n", "SHIFT_JIS", "s.srt:3: not SHIFT_JIS text"},
      {std::string("\xFF\xFE\x00\xD8", 4), "", "s.srt:1: not valid UTF-16 text"},
  };
  for (const auto& test : refused) {
    try {
      ReadSubtitles(test.bytes, "s.srt", {std::nullopt, test.encoding, false});
      ADD_FAILURE() << "took: " << test.message;
    } catch (const SceneError& error) {
      EXPECT_THAT(error.what(), HasSubstr(test.message));
    }
  }
}

TEST(SubtitleFiles, ForgivingReadingSkipsWhatItCannotReadAndSaysWhere) {
  const ReadCase cases[] = {
      {"vtt from a video site: no blank line between cues, settings right after the end",
       "s.vtt",
       "WEBVTT\nKind: captions\n\n00:00:00.000 --> 00:00:01.000 align:start position:0%\none\n"
       "00:00:01.000 --> 00:00:02.000align:start\ntwo\nlines\nid\n00:02.000 --> 00:03.000\n3",
       {{0, 1000, "one", 4}, {1000, 2000, "two\nlines\nid", 6}, {2000, 3000, "3", 10}}},
      {"overlapping and zero-length cues kept, sorted by start, ties in file order",
       "s.srt",
       "1\n00:00:02,000 --> 00:00:04,000\nB\n2\n00:00:01,000 --> 00:00:03,000\nA\n\n"
       "3\n00:00:02,000 --> 00:00:02,000\nZ\n",
       {{1000, 3000, "A", 5}, {2000, 4000, "B", 2}, {2000, 2000, "Z", 9}}},
      {"srt fractions of fewer than three digits read as fractions, said once",
       "s.srt",
       "1\n00:00:01,5 --> 00:00:02,25\nA\n\n2\n00:00:03.000 --> 00:00:04.7\nB\n",
       {{1500, 2250, "A", 2}, {3000, 4700, "B", 6}},
       {"s.srt:2: milliseconds of fewer than three digits, read as the fraction they write "
        "(',5' is 500 ms); 3 such times in the file"}},
      {"srt blocks that cannot be read skipped, each warning naming its line",
       "s.srt",
       "1\n00:00:01,000 --> 00:00:02,000\nA\n\ngarbage line\nmore\n\n3\n00:00:61,000 --> "
       "00:01:02,000\nbad\n\n4\n00:00:05,000 --> 00:00:04,000\nbackwards\n\n5\n00:00:06,000 --> "
       "00:00:07,000\nE\n",
       {{1000, 2000, "A", 2}, {6000, 7000, "E", 17}},
       {"s.srt:5: expected a cue: a number or a timing line",
        "s.srt:9: malformed timestamp '00:00:61,000'",
        "s.srt:13: the cue ends at 00:00:04.000, before it starts (00:00:05.000); the cue is "
        "skipped"}},
      {"srt timestamps that are not times skipped: seven-digit hours, no fraction, four fields",
       "s.srt",
       "1\n1000000:00:00,000 --> 1000000:00:01,000\nA\n\n2\n00:00:01 --> 00:00:02,000\nB\n\n"
       "3\n1:2:3:4,000 --> 1:2:3:5,000\nC\n\n4\n0:1:2,3 --> 0:1:2,45\nD\n\n"
       "5\n:02:03,000 --> 00:02:04,000\nE\n",
       {{62300, 62450, "D", 14}},
       {"s.srt:2: malformed timestamp '1000000:00:00,000'",
        "s.srt:6: malformed timestamp '00:00:01'", "s.srt:10: malformed timestamp '1:2:3:4,000'",
        "s.srt:18: malformed timestamp ':02:03,000'",
        "s.srt:14: milliseconds of fewer than three digits"}},
      {"vtt timestamps by WebVTT's rules: three fraction digits, a dot, two-digit minutes",
       "s.vtt",
       "WEBVTT\n\n00:01.5 --> 00:02.000\nA\n\n1:00:00.000 --> 1:00:01.000\nB\n\n"
       "00:00:01,000 --> 00:00:02,000\nC\n\n1:02.000 --> 01:03.000\nD\n",
       {{3600000, 3601000, "B", 6}},
       {"s.vtt:3: malformed timestamp '00:01.5'", "s.vtt:9: malformed timestamp '00:00:01,000'",
        "s.vtt:12: malformed timestamp '1:02.000'"}},
  };
  for (const ReadCase& test : cases) ExpectRead(test);

  // Cues of one start keep the file's order, however many there are.
  std::string many = "WEBVTT\n";
  for (int k = 0; k < 60; ++k) {
    many += "\n00:0" + std::to_string(k % 3) + ".000 --> 00:09.000\n" + std::to_string(k) + "\n";
  }
  const std::vector<Cue> cues = ReadSubtitles(many, "s.vtt").cues;
  ASSERT_EQ(cues.size(), 60u);
  for (size_t i = 1; i < cues.size(); ++i) {
    EXPECT_TRUE(cues[i - 1].start_ms < cues[i].start_ms ||
                (cues[i - 1].start_ms == cues[i].start_ms &&
                 std::stoi(cues[i - 1].text) < std::stoi(cues[i].text)))
        << cues[i - 1].text << " before " << cues[i].text;
  }
}

TEST(SubtitleFiles, StrictMakesTheFirstWarningTheError) {
  const std::pair<std::string, std::string> cases[] = {
      {std::string(kSrtHead) + "A\n\nnot a cue\n",
       "s.srt:5: expected a cue: a number or a timing line"},
      {std::string(kSrtHead) + "Caf\xE9\n", "s.srt:3: not UTF-8 text"},
      {"1\n00:00:01,5 --> 00:00:02,000\nA\n", "s.srt:2: milliseconds of fewer than three"},
  };
  for (const auto& [bytes, message] : cases) {
    EXPECT_EQ(ReadSubtitles(bytes, "s.srt").warnings.size(), 1u) << message;
    try {
      ReadSubtitles(bytes, "s.srt", {std::nullopt, "", true});
      ADD_FAILURE() << "took: " << message;
    } catch (const SceneError& error) {
      EXPECT_THAT(error.what(), HasSubstr(message));
      EXPECT_THAT(error.what(), HasSubstr("(an error under --strict)"));
    }
  }
}

#if !defined(_WIN32)
// Hostile cue text is read in one pass: were any of these quadratic, the alarm would end the
// child long before it finished.
TEST(SubtitleFilesDeathTest, HostileTextIsReadInLinearTime) {
  const auto repeated = [](const std::string& piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  const size_t n = 1000000;
  const std::string texts[] = {
      std::string(8 * n, 'a'),
      repeated("<b>", n),
      repeated("{\\", n),
      repeated("<a", n),
      repeated("&#", n),
      repeated("<1", n) + ">",
      repeated("<b>", n / 10) + repeated("</i>", n / 10),
      "<i>" + repeated("<b>", n / 10) + repeated("</i><i>", n / 10),
  };
  for (const std::string& text : texts) {
    for (const char* file : {"s.srt", "s.vtt"}) {
      const std::string bytes =
          std::string(file[2] == 'v' ? "WEBVTT\n\n" : "") + "00:01.000 --> 00:02.000\n" + text;
      const ReadOptions options;
      EXPECT_EXIT(
          {
            alarm(10);
            ReadSubtitles(bytes, file, options);
            std::_Exit(0);
          },
          ::testing::ExitedWithCode(0), "")
          << file << " " << text.substr(0, 12);
    }
  }
}
#endif

}  // namespace
}  // namespace quorvel::captions
