// SPDX-License-Identifier: MIT
// The box behind the spoken word, measured in rendered frames: for each word, in the middle of
// its time, the highlight's box (a green nothing else has) holds all of that word's ink and none
// of any other word's, whatever the layout (wrapped, per line, markup, right to left, mixed
// directions) and on both text layers; with travel it moves from word to word and rests on each.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "captions/track/caption_track.h"
#include "captions/track/word_highlight.h"
#include "captions/words/cue_formation.h"
#include "captions/words/transcript.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"
#include "headless/pixels/world.h"
#include "tests/headless/scoped_environment.h"

namespace quorvel::captions {
namespace {

using compose::SceneError;
using compose::SceneFile;
using compose::SceneRenderer;
using headless::test::ScopedEnvironment;

// A transparent 960x540 frame at 25 fps; the caption's box (if any) dark blue, the highlight's
// pure green with a small margin, so that neighbouring words stay clear of it.
SceneFile Style(const std::string& effect, const std::string& highlight,
                const std::string& layer = "") {
  return compose::ParseSceneFile(
      R"({"composition": {"width": 960, "height": 540, "fps": 25, "duration": 1},
          "layers": [{"text": "x", "font": "DejaVu Sans", "size": 36, "color": "#ffffff",
                      "anchor": "bottom-center", "position": [480, 480],
                      "alignment": "center" )" +
          layer + (effect.empty() ? "" : R"(, "effect": )" + effect) + R"(}],
          "highlight": {"effect": {"Fill Color": "#00ff00", "Expansion Width": 2,
                                   "Expansion Height": 2})" +
          (highlight.empty() ? "" : ", " + highlight) + "}}",
      "style.json");
}

struct Rect {
  int left = 1 << 30;
  int top = 1 << 30;
  int right = -1;  // past the last column
  int bottom = -1;
  bool Empty() const { return right < 0; }
  bool Holds(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

bool IsGreen(const PF_Pixel& pixel) {
  return pixel.alpha == 255 && pixel.green > 200 && pixel.red < 60 && pixel.blue < 60;
}

// Where the highlight's green shows (text over it is white, so its pixels are not green).
Rect GreenBox(const headless::OwnedWorld& image) {
  Rect box;
  for (int y = 0; y < image.world().height; ++y) {
    for (int x = 0; x < image.world().width; ++x) {
      if (IsGreen(headless::PixelAt(image.world(), x, y))) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
    }
  }
  return box;
}

struct Ink {
  int x;
  int y;
};

// The pixels of one word of a cue at `frame` and those of the other words, as the scene's top
// layer (the caption's text) draws them alone, that word in red and the rest white.
struct WordInks {
  std::vector<Ink> word;
  std::vector<Ink> others;
};

WordInks InkOf(const SceneFile& scene, const Cue& cue, const CueWord& word, A_long frame) {
  SceneFile alone = scene;
  alone.layers.resize(1);
  alone.groups.clear();
  alone.layers[0].group.reset();
  const std::string& text = cue.text;
  alone.layers[0].text.text = headless::Animated<std::string>(
      text.substr(0, word.begin) + "<font color=\"#ff0000\">" +
      text.substr(word.begin, word.end - word.begin) + "</font>" + text.substr(word.end));
  SceneRenderer renderer(QUORVEL_MODULE_PATH, alone);
  const headless::OwnedWorld image = renderer.RenderChecked(frame);
  WordInks inks;
  for (int y = 0; y < image.world().height; ++y) {
    for (int x = 0; x < image.world().width; ++x) {
      const PF_Pixel& pixel = headless::PixelAt(image.world(), x, y);
      if (pixel.alpha == 0) continue;
      (pixel.green * 2 < pixel.red ? inks.word : inks.others).push_back({x, y});
    }
  }
  return inks;
}

std::vector<Cue> TranscriptCues(const std::string& transcript, size_t max_chars = 42) {
  FormationOptions options;
  options.max_chars = max_chars;
  std::vector<Cue> cues;
  for (const FormedCue& formed :
       FormCues(ParseTranscript(transcript, "talk.json").words, options)) {
    cues.push_back(formed.cue);
  }
  return cues;
}

// The green box in the frame in the middle of each word's time, for each word of each cue,
// checked (`check_ink`) against every word's ink.
std::vector<Rect> CheckEveryWord(const SceneFile& style, const std::vector<Cue>& cues,
                                 bool per_line, bool check_ink = true) {
  const SceneFile scene = CaptionScene(style, cues, {per_line, 0, std::nullopt}, "talk.json");
  SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
  std::vector<Rect> boxes;
  for (const Cue& cue : cues) {
    const std::vector<CueWord> words = CueWords(cue);
    for (size_t index = 0; index < words.size(); ++index) {
      const int64_t end_ms = index + 1 < words.size() ? words[index + 1].start_ms : cue.end_ms;
      const auto frame = static_cast<A_long>(
          FirstFrameAtOrAfter((words[index].start_ms + end_ms) / 2, scene.composition));
      const headless::OwnedWorld image = renderer.RenderChecked(frame);
      const Rect box = GreenBox(image);
      SCOPED_TRACE("word " + std::to_string(index) + " of \"" + cue.text + "\"");
      EXPECT_FALSE(box.Empty());
      if (check_ink) {
        const WordInks ink = InkOf(scene, cue, words[index], frame);
        const auto inside = [&](const std::vector<Ink>& pixels) {
          return std::count_if(pixels.begin(), pixels.end(),
                               [&](const Ink& pixel) { return box.Holds(pixel.x, pixel.y); });
        };
        EXPECT_FALSE(ink.word.empty());
        EXPECT_EQ(static_cast<size_t>(inside(ink.word)), ink.word.size()) << "the word's own ink";
        EXPECT_EQ(inside(ink.others), 0) << "ink of other words";
        // The text is over the box: most of the word's pixels show the text, not the green.
        const auto green = std::count_if(ink.word.begin(), ink.word.end(), [&](const Ink& pixel) {
          return IsGreen(headless::PixelAt(image.world(), pixel.x, pixel.y));
        });
        EXPECT_LT(green * 2, static_cast<long>(ink.word.size()));
      }
      boxes.push_back(box);
    }
  }
  return boxes;
}

constexpr char kTalk[] = R"({"segments": [{"start": 0.1, "end": 2.6, "words": [
    {"word": " The", "start": 0.1, "end": 0.3}, {"word": " box", "start": 0.35, "end": 0.6},
    {"word": " follows", "start": 0.65, "end": 1.0}, {"word": " every", "start": 1.05, "end": 1.3},
    {"word": " word", "start": 1.35, "end": 1.6}, {"word": " as", "start": 1.65, "end": 1.8},
    {"word": " spoken.", "start": 1.85, "end": 2.6}]}]})";

class WordHighlight : public ::testing::TestWithParam<const char*> {
 protected:
  ScopedEnvironment backend_{"QUORVEL_TEXT_BACKEND", GetParam()};
  ScopedEnvironment folder_{"QUORVEL_FONT_DIR", "/usr/share/fonts/truetype/dejavu"};
};

TEST_P(WordHighlight, TheBoxHoldsTheSpokenWordAndNoOtherOverTheCaptionsBox) {
  // Two balanced lines of a boxed caption, the spoken word in another colour.
  const SceneFile style = Style(R"({"Fill Color": "#10104a", "Expansion Width": 20})",
                                R"("color": "#ffff00", "spoken_color": "#c0c0c0")");
  EXPECT_EQ(CheckEveryWord(style, TranscriptCues(kTalk, 24), false).size(), 7u);
}

TEST_P(WordHighlight, TheBoxHoldsTheSpokenWordWhenLinesHaveBoxesOfTheirOwn) {
  const SceneFile style = Style(R"({"Fill Color": "#10104a", "Fill Opacity": 80})", "");
  EXPECT_EQ(CheckEveryWord(style, TranscriptCues(kTalk, 24), true).size(), 7u);
}

TEST_P(WordHighlight, TheBoxHoldsTheSpokenWordOfMarkupAndOfRightToLeftText) {
  const SceneFile style = Style("", R"("color": "#ff00ff")");
  // WebVTT inline times, styled words, and a line set right to left with a word of another
  // direction within it.
  const SubtitleFile file = ReadSubtitles(
      "WEBVTT\n\n00:00.000 --> 00:02.000\n<i>Quite</i> <00:00.500><b>bold</b> "
      "<00:01.000>words <00:01.500>here\n\n"
      "00:02.000 --> 00:04.000\nשלום <00:02.500>לכל <00:03.000>Quorvel <00:03.500>היום\n",
      "talk.vtt");
  EXPECT_EQ(CheckEveryWord(style, file.cues, false).size(), 8u);
}

// The box's place does not depend on which text layer draws the text.
TEST(WordHighlightLayers, BothTextLayersPutTheBoxAtTheSamePlace) {
  const SceneFile style = Style(R"({"Fill Color": "#10104a"})", "");
  const std::vector<Cue> cues = TranscriptCues(kTalk, 24);
  std::vector<std::vector<Rect>> boxes;
  for (const char* backend : {"pango", "freetype"}) {
    const ScopedEnvironment chosen("QUORVEL_TEXT_BACKEND", backend);
    const ScopedEnvironment folder("QUORVEL_FONT_DIR", "/usr/share/fonts/truetype/dejavu");
    boxes.push_back(CheckEveryWord(style, cues, false, false));
  }
  ASSERT_EQ(boxes[0].size(), boxes[1].size());
  for (size_t index = 0; index < boxes[0].size(); ++index) {
    SCOPED_TRACE("word " + std::to_string(index));
    EXPECT_NEAR(boxes[0][index].left, boxes[1][index].left, 1);
    EXPECT_NEAR(boxes[0][index].right, boxes[1][index].right, 1);
    EXPECT_NEAR(boxes[0][index].top, boxes[1][index].top, 1);
    EXPECT_NEAR(boxes[0][index].bottom, boxes[1][index].bottom, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(BothTextLayers, WordHighlight, ::testing::Values("pango", "freetype"));

// From a short word to a long one on its right, travelling 0.4 s: the box rests on the first,
// moves right without going back, and rests on the second from its arrival.
TEST(WordHighlightTravel, TheBoxMovesOneWayBetweenTwoWordsAndRestsOnEach) {
  const SceneFile style = Style("", R"("travel": 0.4)");
  const std::vector<Cue> cues = {{0, 2000, "a wonderful", 1, std::nullopt, {{2, 1000}}}};
  const SceneFile scene = CaptionScene(style, cues, {false, 0, std::nullopt}, "talk.vtt");
  SceneRenderer renderer(QUORVEL_MODULE_PATH, scene);
  std::vector<Rect> boxes;
  for (A_long frame = 0; frame < 50; ++frame)
    boxes.push_back(GreenBox(renderer.RenderChecked(frame)));
  for (A_long frame = 1; frame < 50; ++frame) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    ASSERT_FALSE(boxes[frame].Empty());
    EXPECT_GE(boxes[frame].left, boxes[frame - 1].left);
    EXPECT_GE(boxes[frame].right, boxes[frame - 1].right);
    if (frame < 25) {  // on "a" until "wonderful" starts
      EXPECT_EQ(boxes[frame].left, boxes[0].left);
    }
    if (frame >= 35) {  // arrived at 1.4 s
      EXPECT_EQ(boxes[frame].left, boxes[49].left);
    }
  }
  EXPECT_GT(boxes[30].left, boxes[0].left);  // on its way
  EXPECT_LT(boxes[30].left, boxes[49].left);
  EXPECT_LT(boxes[0].right - boxes[0].left, boxes[49].right - boxes[49].left);
}

TEST(CueWords, AreThePiecesBetweenTimestampsWithTheirInk) {
  const auto words = [](const std::string& text, std::vector<Cue::Timestamp> stamps) {
    std::vector<std::string> shown;
    for (const CueWord& word : CueWords({1000, 3000, text, 1, std::nullopt, std::move(stamps)})) {
      shown.push_back(text.substr(word.begin, word.end - word.begin) + "@" +
                      std::to_string(word.start_ms));
    }
    return shown;
  };
  using ::testing::ElementsAre;
  // Without timestamps the whole cue is one word, spaces at its ends left out.
  EXPECT_THAT(words(" all of it\n", {}), ElementsAre("all of it@1000"));
  // Markup stays with its word; a piece without ink (a tag alone, nothing) is passed over.
  EXPECT_THAT(words("The <b>box</b> moves<i></i>", {{4, 1500}, {15, 2000}, {20, 2500}}),
              ElementsAre("The@1000", "<b>box</b>@1500", "moves@2000"));
  // Times out of order or outside the cue are held within it, in order.
  EXPECT_THAT(words("one two three", {{4, 500}, {8, 9000}}),
              ElementsAre("one@1000", "two@1000", "three@3000"));
  EXPECT_THAT(words("line one\nline two", {{9, 2000}}),
              ElementsAre("line one@1000", "line two@2000"));
}

TEST(CueWords, MarkTheSpokenWordsAndMeasureOneWord) {
  compose::WordHighlight highlight;
  highlight.color = PF_Pixel{255, 255, 255, 0};  // alpha, red, green, blue
  highlight.spoken_color = PF_Pixel{255, 0, 0, 255};
  const std::string text = "say <i>what</i> now";
  const std::vector<CueWord> words = {{0, 3, 0}, {4, 15, 10}, {16, 19, 20}};
  EXPECT_EQ(OnlyWordMeasured(text, words[1]),
            "<phantom>say </phantom><i>what</i><phantom> now</phantom>");
  EXPECT_EQ(OnlyWordMeasured(text, words[0]), "say<phantom> <i>what</i> now</phantom>");
  EXPECT_EQ(SpokenColors(text, words, 1, highlight),
            "<font color=\"#0000ff\">say </font><font color=\"#ffff00\"><i>what</i></font> now");
  EXPECT_EQ(SpokenColors(text, words, 1, highlight, false),
            "<font color=\"#0000ff\">say </font><i>what</i> now");
  EXPECT_EQ(SpokenColors(text, words, 0, compose::WordHighlight{}), text);
}

TEST(WordHighlightStyle, WhatCannotBeDrawnIsNamed) {
  const std::vector<Cue> cues = {{0, 2000, "a wonderful", 1, std::nullopt, {{2, 1000}}}};
  const auto refusal = [&](const std::string& effect, const std::string& highlight,
                           const std::string& highlight_effect = "") -> std::string {
    try {
      SceneFile style = Style(effect, highlight);
      if (!highlight_effect.empty()) {
        style.highlight->effect.update(compose::Json::parse(highlight_effect));
      }
      CaptionScene(style, cues, {false, 0, std::nullopt}, "talk.vtt");
    } catch (const SceneError& error) {
      return error.what();
    }
    return "";
  };
  using ::testing::HasSubstr;
  EXPECT_THAT(refusal("", R"("colour": "#ffffff")"), HasSubstr("colour"));
  EXPECT_THAT(refusal("", R"("travel": -1)"), HasSubstr("highlight.travel"));
  EXPECT_THAT(refusal("", R"("travel_easing": "bounce")"), HasSubstr("highlight.travel_easing"));
  EXPECT_THAT(refusal("", R"("travel": 0.2)", R"({"Position": [{"t": 0, "v": [0, 0]}]})"),
              HasSubstr("style.json: highlight.effect.Position: a highlight with \"travel\""));
  EXPECT_THAT(refusal("", R"("travel": 0.2)", R"({"Uniform Scale": true})"),
              HasSubstr("highlight.effect.Uniform Scale"));
  EXPECT_THAT(refusal(R"({"Subtract Text from Fill": true})", ""),
              HasSubstr("style.json: effect.Subtract Text from Fill: the text of a style with a "
                        "highlight"));
  EXPECT_EQ(refusal("", R"("travel": 0.2)", R"({"Position": [4, 0]})"), "");
}

// The highlight's blur turns the composition's switch on for its layer alone: a caption layer
// whose own switch was on (and so unblurred while the composition's was off) stays unblurred.
TEST(WordHighlightStyle, MotionBlurBlursTheHighlightAlone) {
  const SceneFile style =
      Style(R"({"Fill Color": "#10104a"})", R"("motion_blur": true)", R"(, "motion_blur": true)");
  const std::vector<Cue> cues = {{0, 2000, "a wonderful", 1, std::nullopt, {{2, 1000}}}};
  const SceneFile scene = CaptionScene(style, cues, {false, 0, std::nullopt}, "talk.vtt");
  EXPECT_TRUE(scene.composition.motion_blur);
  ASSERT_EQ(scene.layers.size(), 3u);  // text, highlight, caption box
  for (const compose::SceneLayer& layer : scene.layers) {
    EXPECT_EQ(layer.text.motion_blur, layer.effect_path == "highlight.effect") << layer.effect_path;
  }
}

TEST(WordHighlightStyle, SubtitlesWithoutWordTimesAreToldOfOnce) {
  const SceneFile style = Style("", "");
  const std::vector<Cue> untimed = {{0, 1000, "one cue", 1, std::nullopt, {}},
                                    {1000, 2000, "another", 4, std::nullopt, {}}};
  EXPECT_THAT(CaptionScene(style, untimed, {false, 0, std::nullopt}, "talk.srt").warnings,
              ::testing::ElementsAre("talk.srt: no cue has word times (a transcript, or WebVTT's "
                                     "inline timestamps), so the highlight covers each whole cue"));
  std::vector<Cue> timed = untimed;
  timed[1].timestamps = {{4, 1500}};
  EXPECT_THAT(CaptionScene(style, timed, {false, 0, std::nullopt}, "talk.vtt").warnings,
              ::testing::IsEmpty());
}

}  // namespace
}  // namespace quorvel::captions
