// SPDX-License-Identifier: MIT
// Subtitle files as real ones are written, and the frames their cues land on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captions/reading/subtitles.h"
#include "captions/track/caption_track.h"

namespace quorvel::captions {
namespace {

using compose::SceneError;
using compose::SceneFile;

using ::testing::Contains;
using ::testing::HasSubstr;

// A cue of plain text at the given times.
Cue TextCue(int64_t start_ms, int64_t end_ms, std::string text, size_t line) {
  Cue cue;
  cue.start_ms = start_ms;
  cue.end_ms = end_ms;
  cue.text = std::move(text);
  cue.line = line;
  return cue;
}

struct ParseCase {
  const char* name;
  SubtitleFormat format;
  std::string text;
  std::vector<Cue> expected;  // start, end, text, line
};

TEST(Subtitles, ReadsTheFormsRealFilesTake) {
  const ParseCase cases[] = {
      {"srt with CRLF, a BOM and no last blank line",
       SubtitleFormat::kSubRip,
       "\xEF\xBB\xBF"
       "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\nworld\r\n\r\n2\r\n"
       "00:00:03,000 --> 00:00:04,000\r\nBye",
       {TextCue(1000, 2500, "Hello\nworld", 2), TextCue(3000, 4000, "Bye", 7)}},
      {"srt hours past 99, a dot, a short fraction, cues out of order",
       SubtitleFormat::kSubRip,
       "2\n123:00:00.5 --> 123:00:01,000\nlate\n\n1\n00:00:00,000 --> 00:00:01,000\nearly\n",
       {TextCue(0, 1000, "early", 6), TextCue(442800500, 442801000, "late", 2)}},
      {"srt with a missing blank line between cues and an empty cue",
       SubtitleFormat::kSubRip,
       "1\n00:00:01,000 --> 00:00:02,000\nA\n2\n00:00:02,000 --> 00:00:03,000\n\n",
       {TextCue(1000, 2000, "A", 2), TextCue(2000, 3000, "", 5)}},
      {"vtt with a header, NOTE, STYLE, identifiers, settings and references",
       SubtitleFormat::kWebVtt,
       "WEBVTT - talk\nKind: captions\n\nNOTE a comment\nstill the note\n\nSTYLE\n::cue {}\n\n"
       "intro\n00:01.000 --> 00:02.000 align:start position:10%\nFish &amp; chips &lt;3\n\n"
       "01:00:00.000 --> 01:00:01.000\n<i>kept</i>\n",
       {TextCue(1000, 2000, "Fish &amp; chips &lt;3", 11),
        TextCue(3600000, 3601000, "<i>kept</i>", 14)}},
  };
  for (const ParseCase& test : cases) {
    const std::vector<Cue> cues = ReadSubtitles(test.text, "subs", {test.format, "", false}).cues;
    ASSERT_EQ(cues.size(), test.expected.size()) << test.name;
    for (size_t i = 0; i < cues.size(); ++i) {
      EXPECT_EQ(cues[i].start_ms, test.expected[i].start_ms) << test.name << " cue " << i;
      EXPECT_EQ(cues[i].end_ms, test.expected[i].end_ms) << test.name << " cue " << i;
      EXPECT_EQ(cues[i].text, test.expected[i].text) << test.name << " cue " << i;
      EXPECT_EQ(cues[i].line, test.expected[i].line) << test.name << " cue " << i;
    }
  }
}

TEST(Subtitles, RefusesFilesWithNoCueOrNoTextNamingTheLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"\r\n\r\n", "subs.srt: no cues"},
      {std::string("1\n00:00:01,000 --> 00:00:02,000\nA") + '\0' + "B\n",
       "subs.srt:3: not a text file"},
      {"Hello\nworld\n", "subs.srt: no cues"},
  };
  for (const auto& [text, message] : cases) {
    try {
      ReadSubtitles(text, "subs.srt");
      ADD_FAILURE() << "took: " << text;
    } catch (const SceneError& error) {
      EXPECT_THAT(error.what(), HasSubstr(message));
    }
  }
  EXPECT_THROW(ReadSubtitles("00:01.000 --> 00:02.000\nA\n", "s.vtt"),
               SceneError);  // no WEBVTT line
  EXPECT_EQ(SubtitleFormatOf("talk.txt", "\xEF\xBB\xBFWEBVTT\n"), SubtitleFormat::kWebVtt);
  EXPECT_EQ(SubtitleFormatOf("TALK.SRT", "WEBVTT\n"), SubtitleFormat::kSubRip);
}

// A cue shows from the first frame at or after its start to the frame before the first at or
// after its end, at whole and at NTSC rates, and its opacity is 0 on every other frame.
TEST(CaptionTrack, CuesShowOnExactlyTheirFrames) {
  struct Rate {
    A_u_long time_scale;
    A_long frame_duration;
  };
  for (const Rate rate : {Rate{3000, 100}, Rate{30000, 1001}, Rate{2500, 100}}) {
    SceneFile style;
    style.file = "style.json";
    style.composition.time_scale = rate.time_scale;
    style.composition.frame_duration = rate.frame_duration;
    style.layers.resize(1);
    const std::vector<Cue> cues = {TextCue(1001, 2000, "one", 2),
                                   TextCue(2000, 2034, "two\nlines", 6)};
    const SceneFile scene = CaptionScene(style, cues, {}, "subs.srt");
    ASSERT_EQ(scene.layers.size(), 1u);
    const headless::TextLayer& layer = scene.layers[0].text;
    for (A_long frame = 0; frame < 80; ++frame) {
      const double seconds = headless::Seconds(frame * rate.frame_duration, rate.time_scale);
      const int64_t ms_scaled = static_cast<int64_t>(frame) * rate.frame_duration * 1000;
      const auto at_or_after = [&](int64_t ms) { return ms_scaled >= ms * rate.time_scale; };
      const char* expected = at_or_after(2034)   ? ""
                             : at_or_after(2000) ? "two\nlines"
                             : at_or_after(1001) ? "one"
                                                 : nullptr;
      const double opacity = layer.opacity.At(seconds);
      if (expected == nullptr || expected[0] == '\0') {
        EXPECT_EQ(opacity, 0) << "frame " << frame << " at " << rate.time_scale;
      } else {
        EXPECT_EQ(opacity, 100) << "frame " << frame << " at " << rate.time_scale;
        EXPECT_EQ(layer.text.At(seconds), expected) << "frame " << frame;
      }
    }
    EXPECT_DOUBLE_EQ(scene.composition.duration_seconds, 2.034);
    // --per-line: a layer for each line, the second shown only while the two-line cue is.
    const SceneFile lines = CaptionScene(style, cues, {true, 0, 5.0}, "subs.srt");
    ASSERT_EQ(lines.layers.size(), 2u);
    EXPECT_EQ(lines.layers[1].text.shown_line, 1);
    EXPECT_EQ(lines.layers[1].text.opacity.At(1.5), 0);
    EXPECT_EQ(lines.layers[0].text.opacity.At(1.5), 100);
    EXPECT_DOUBLE_EQ(lines.composition.duration_seconds, 5.0);
  }
}

TEST(CaptionTrack, FadesRampWithinEachCueAndWarnsOfCuesBetweenFrames) {
  SceneFile style;
  style.layers.resize(1);  // 30 frames a second
  const std::vector<Cue> cues = {TextCue(1000, 3000, "a", 2), TextCue(3000, 3500, "b", 6),
                                 TextCue(4010, 4020, "c", 9)};
  const SceneFile scene = CaptionScene(style, cues, {false, 0.5, std::nullopt}, "subs.srt");
  const headless::Animated<double>& opacity = scene.layers[0].text.opacity;
  EXPECT_DOUBLE_EQ(opacity.At(1.25), 50);
  EXPECT_DOUBLE_EQ(opacity.At(2.0), 100);
  EXPECT_DOUBLE_EQ(opacity.At(3.0), 0);     // one cue ends as the next starts
  EXPECT_DOUBLE_EQ(opacity.At(3.25), 100);  // a short cue's ramps meet at its middle
  // A shorter --duration cuts the track: the cue across its end ends with it (its fade too),
  // and one near a million hours on is left out.
  const std::vector<Cue> far = {TextCue(1000, 3000, "a", 2),
                                TextCue(3599990000000, 3599991000000, "z", 6)};
  const SceneFile cut = CaptionScene(style, far, {false, 0.5, 2.0}, "subs.srt");
  EXPECT_DOUBLE_EQ(cut.layers[0].text.opacity.At(1.75), 50);
  EXPECT_DOUBLE_EQ(cut.layers[0].text.opacity.At(2.0), 0);
  EXPECT_THAT(scene.warnings, Contains(HasSubstr("subs.srt:9: the cue (00:00:04.010 to "
                                                 "00:00:04.020) falls between two frames")));
  // Overlapping cues: the track lasts until the cue that ends last, not the one that starts last,
  // and a cue of no length warns that it shows on no frame.
  const std::vector<Cue> overlapping = {TextCue(100, 3000, "long", 2),
                                        TextCue(200, 200, "zero", 6)};
  const SceneFile both = CaptionScene(style, overlapping, {}, "subs.srt");
  EXPECT_DOUBLE_EQ(both.composition.duration_seconds, 3.0);
  EXPECT_THAT(both.warnings, Contains(HasSubstr("subs.srt:6: the cue (00:00:00.200 "
                                                "to 00:00:00.200) falls between")));
}

}  // namespace
}  // namespace quorvel::captions
