// SPDX-License-Identifier: MIT
// quorvel-render's commands, run in-process over the built module.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/interrupt.h"
#include "media/image/png_input.h"
#include "tests/support/program_run.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kModulePath = QUORVEL_MODULE_PATH;
const fs::path kScenes = fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes";

struct CommandRun {
  int exit_code;
  std::string out;
  std::string err;
};

CommandRun RunCommand(std::vector<std::string> arguments) {
  arguments.push_back("--module");
  arguments.push_back(kModulePath);
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
  const int exit_code = RunCli(arguments, console);
  return {exit_code, out.str(), err.str()};
}

using test::Quoted;
using test::ReadBytes;

// Files whose names mark them as unfinished writes.
std::vector<std::string> PartialFiles(const fs::path& folder) {
  std::vector<std::string> partial;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".partial") partial.push_back(entry.path().string());
  }
  return partial;
}

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / ("quorvel_cli_" + std::string(test->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    ClearStopRequest();
    fs::remove_all(folder_);
  }

  fs::path folder_;
};

TEST_F(Commands, DescribeListsTheTwentySixControlsAsRegistered) {
  const CommandRun run = RunCommand({"describe"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("Effect controls (26"));
  const char* const names[] = {"Shape",
                               "Roundness",
                               "Expansion Uniform",
                               "Expansion Width",
                               "Expansion Height",
                               "Fill Color",
                               "Fill Opacity",
                               "Transformation Offsets",
                               "Position",
                               "Rotation",
                               "Uniform Scale",
                               "Scale Width",
                               "Scale Height",
                               "Skew X",
                               "Skew Y",
                               "Anchor Point X",
                               "Anchor Point Y",
                               "(end of Transformation Offsets)",
                               "Matte Text to Fill",
                               "Subtract Text from Fill",
                               "Border Parameters",
                               "Enable Border",
                               "Border Width",
                               "Border Color",
                               "Border Opacity",
                               "(end of Border Parameters)"};
  std::istringstream lines(run.out);
  std::string line;
  int index = 0;
  while (std::getline(lines, line) && index < 26) {
    const std::string number = std::to_string(index + 1) + "  ";
    if (line.find(" " + number) != std::string::npos &&
        line.find(names[index]) != std::string::npos) {
      ++index;
    }
  }
  EXPECT_EQ(index, 26) << "control " << index + 1 << " (" << (index < 26 ? names[index] : "")
                       << ") is missing or out of order in:\n"
                       << run.out;
}

TEST_F(Commands, DescribeDecodesThePiplAndShowsTheAboutText) {
  const CommandRun run = RunCommand({"describe"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("match name      KQZV"));
  EXPECT_THAT(run.out, HasSubstr("(0x00090001)"));
  EXPECT_THAT(run.out, HasSubstr("0x00080044 NON_PARAM_VARY"));
  EXPECT_THAT(run.out, HasSubstr("Creates a shape behind text"));
  EXPECT_THAT(run.out, HasSubstr("Auto|Square|Circle"));
}

TEST_F(Commands, DescribeRefusesAFileThatIsNotAModule) {
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
  const std::string text = (kScenes.parent_path() / "README.md").string();
  EXPECT_EQ(RunCli({"describe", text}, console), 1);
  EXPECT_THAT(err.str(), HasSubstr(text));
}

TEST_F(Commands, DescribeChecksASceneAndListsItsLayersWithTheirValues) {
  const CommandRun run = RunCommand({"describe", (kScenes / "name_and_title.json").string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("layers          2, top first"));
  EXPECT_THAT(run.out, HasSubstr("[1] \"Analytical Engine programmer\": effect"));
  EXPECT_THAT(run.out, HasSubstr("Fill Color = \"#f0b429\""));
}

TEST_F(Commands, RenderWritesTheFrameOverTheBackground) {
  const fs::path output = folder_ / "demo.png";
  const CommandRun run =
      RunCommand({"render", (kScenes / "demo.json").string(), "-o", output.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "wrote " + output.string() + "\n");
  const media::PngImage image = media::ReadPng(output);
  ASSERT_TRUE(image.status.ok) << image.status.message;
  EXPECT_EQ(image.world->width(), 1280);
  EXPECT_EQ(image.world->height(), 720);
  // The demo's background, #26282c, where neither box nor text reaches.
  const PF_Pixel corner = image.world->At(0, 0);
  EXPECT_EQ(corner.alpha, 255);
  EXPECT_EQ(corner.red, 0x26);
  EXPECT_EQ(corner.green, 0x28);
  EXPECT_EQ(corner.blue, 0x2c);
  EXPECT_TRUE(PartialFiles(folder_).empty());
}

TEST_F(Commands, RenderRefusesAFramePastTheEnd) {
  // The demo lasts one second at 30 frames a second: frames 0 to 29.
  const CommandRun run = RunCommand({"render", (kScenes / "demo.json").string(), "-o",
                                     (folder_ / "late.png").string(), "--frame", "30"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("frame 30 is past the end of the composition (frames 0 to 29)"));
  EXPECT_FALSE(fs::exists(folder_ / "late.png"));
}

TEST_F(Commands, RenderOfASequenceNeedsAFrameNumberInTheName) {
  const CommandRun run = RunCommand({"render", (kScenes / "motion.json").string(), "-o",
                                     (folder_ / "same.png").string(), "--frames", "0-1"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_THAT(run.err, HasSubstr("put the frame number in the name"));
}

TEST_F(Commands, SequenceOnTwoThreadsEqualsTheFramesRenderedOneByOne) {
  for (const char* name : {"motion.json", "name_and_title.json"}) {
    const std::string scene = (kScenes / name).string();
    const CommandRun sequence =
        RunCommand({"render", scene, "-o", (folder_ / "seq_%02d.png").string(), "--frames", "0-5",
                    "--jobs", "2"});
    ASSERT_EQ(sequence.exit_code, 0) << sequence.err;
    for (int frame = 0; frame <= 5; ++frame) {
      const fs::path single = folder_ / ("single_" + std::to_string(frame) + ".png");
      const CommandRun run =
          RunCommand({"render", scene, "-o", single.string(), "--frame", std::to_string(frame)});
      ASSERT_EQ(run.exit_code, 0) << run.err;
      const fs::path numbered = folder_ / ("seq_0" + std::to_string(frame) + ".png");
      ASSERT_TRUE(fs::exists(numbered));
      EXPECT_EQ(ReadBytes(numbered), ReadBytes(single)) << name << " frame " << frame;
    }
  }
}

TEST_F(Commands, StrictMakesAMissingGlyphAnError) {
  const fs::path scene = folder_ / "missing.json";
  std::ofstream(scene) << R"({"layer": {"text": "a\u0378"}})";
  const std::string output = (folder_ / "m.png").string();
  const CommandRun lenient = RunCommand({"render", scene.string(), "-o", output});
  EXPECT_EQ(lenient.exit_code, 0) << lenient.err;
  EXPECT_THAT(lenient.err, HasSubstr("warning: " + scene.string() + ": layer: the font"));
  fs::remove(output);
  const CommandRun strict = RunCommand({"render", scene.string(), "-o", output, "--strict"});
  EXPECT_EQ(strict.exit_code, 1);
  EXPECT_THAT(strict.err, HasSubstr("has no glyph for U+0378; they show as boxes (an error"));
  EXPECT_FALSE(fs::exists(output));
}

TEST_F(Commands, RenderStacksTheLayersEachThroughItsOwnEffect) {
  // The name's box (#102a43 at 92 % over #3a4a5c) and, below it, the title's (#f0b429): each
  // layer's effect draws with its own settings, both over the background.
  const fs::path output = folder_ / "two.png";
  const CommandRun run = RunCommand({"render", (kScenes / "name_and_title.json").string(), "-o",
                                     output.string(), "--frame", "29"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const media::PngImage image = media::ReadPng(output);
  ASSERT_TRUE(image.status.ok) << image.status.message;
  const PF_Pixel name_box = image.world->At(70, 500);
  EXPECT_NEAR(name_box.red, 0x10 * 0.92 + 0x3a * 0.08, 1);
  EXPECT_NEAR(name_box.blue, 0x43 * 0.92 + 0x5c * 0.08, 1);
  const PF_Pixel title_box = image.world->At(85, 590);
  EXPECT_EQ(title_box.red, 0xf0);
  EXPECT_EQ(title_box.green, 0xb4);
  EXPECT_EQ(title_box.blue, 0x29);
}

TEST_F(Commands, SequenceReportsEachFrameOnALineWhenNotOnATerminal) {
  const CommandRun run =
      RunCommand({"render", (kScenes / "motion.json").string(), "-o",
                  (folder_ / "f_%d.png").string(), "--frames", "2-3", "--jobs", "1"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("frame 2 (1/2): " + (folder_ / "f_2.png").string() + "\n"));
  EXPECT_THAT(run.err, HasSubstr("frame 3 (2/2): " + (folder_ / "f_3.png").string() + "\n"));
}

TEST_F(Commands, AFailingWriteLeavesNoPartialFile) {
  // A folder in the output's place: the image is written under a temporary name, and the
  // rename onto the folder fails.
  const fs::path output = folder_ / "taken.png";
  fs::create_directories(output / "inside");
  const CommandRun run =
      RunCommand({"render", (kScenes / "demo.json").string(), "-o", output.string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("cannot write '" + output.string() + "'"));
  EXPECT_TRUE(fs::is_directory(output / "inside"));
  EXPECT_TRUE(PartialFiles(folder_).empty());
}

TEST_F(Commands, AFailedFrameStopsTheSequenceWithoutPartialFiles) {
  fs::create_directories(folder_ / "f_1.png" / "inside");
  const CommandRun run =
      RunCommand({"render", (kScenes / "motion.json").string(), "-o",
                  (folder_ / "f_%d.png").string(), "--frames", "0-23", "--jobs", "1"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("frame 1: cannot write"));
  EXPECT_TRUE(fs::exists(folder_ / "f_0.png"));
  EXPECT_FALSE(fs::exists(folder_ / "f_2.png"));
  EXPECT_TRUE(PartialFiles(folder_).empty());
}

TEST_F(Commands, AnInterruptedSequenceStartsNoFurtherFrame) {
  RequestStop();
  const CommandRun run = RunCommand({"render", (kScenes / "motion.json").string(), "-o",
                                     (folder_ / "f_%d.png").string(), "--frames", "0-3"});
  EXPECT_EQ(run.exit_code, 130);
  EXPECT_THAT(run.err, HasSubstr("interrupted before any frame was rendered"));
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(Commands, SheetLaysTheFramesOutInColumns) {
  const fs::path output = folder_ / "sheet.png";
  const CommandRun run = RunCommand({"sheet", (kScenes / "motion.json").string(), "-o",
                                     output.string(), "--frames", "0-3", "--columns", "2"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const media::PngImage image = media::ReadPng(output);
  ASSERT_TRUE(image.status.ok) << image.status.message;
  // 1280x720 frames become 320x180 cells under 28-pixel labels, 12 pixels apart, within a
  // 16-pixel margin: 16 + 320 + 12 + 320 + 16 across, 16 + 2 × (180 + 28) + 12 + 16 down.
  EXPECT_EQ(image.world->width(), 684);
  EXPECT_EQ(image.world->height(), 460);
}

TEST_F(Commands, ABadSceneIsRefusedWithThePlaceNamed) {
  const fs::path scene = folder_ / "bad.json";
  std::ofstream(scene) << R"({"effect": {"Roundness": 140}})";
  const CommandRun run =
      RunCommand({"render", scene.string(), "-o", (folder_ / "bad.png").string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "quorvel-render: " + scene.string() + ": effect.Roundness: 140 is outside 0..100\n");
  EXPECT_FALSE(fs::exists(folder_ / "bad.png"));
}

// Rows of a frame where a pixel differs from the background, each run of such rows one box.
std::vector<std::pair<A_long, A_long>> InkedRowRuns(const fs::path& png,
                                                    const PF_Pixel& background) {
  const media::PngImage image = media::ReadPng(png);
  EXPECT_TRUE(image.status.ok) << png << ": " << image.status.message;
  std::vector<std::pair<A_long, A_long>> runs;
  if (!image.status.ok) return runs;
  const headless::OwnedWorld& world = *image.world;
  for (A_long y = 0; y < world.height(); ++y) {
    bool inked = false;
    for (A_long x = 0; x < world.width() && !inked; ++x) {
      const PF_Pixel& p = world.At(x, y);
      inked = p.red != background.red || p.green != background.green || p.blue != background.blue;
    }
    if (!inked) continue;
    if (!runs.empty() && runs.back().second == y - 1) {
      runs.back().second = y;
    } else {
      runs.emplace_back(y, y);
    }
  }
  return runs;
}

constexpr char kCaptionStyle[] = R"({
  "composition": {"width": 320, "height": 180, "fps": 10, "background": "#204060"},
  "layer": {"size": 20, "color": "#ffffff", "anchor": "bottom-center", "position": [160, 170],
            "alignment": "center"},
  "effect": {"Fill Color": "#000000", "Expansion Width": 4, "Expansion Height": 1}})";

// Three cues at 10 frames a second: each cue's box on exactly its frames, only the background
// between; with --per-line, a two-line cue gets two boxes where it had one.
TEST_F(Commands, CaptionsShowEachCueOnItsFramesAndPerLineSplitsTheBox) {
  std::ofstream(folder_ / "style.json") << kCaptionStyle;
  std::ofstream(folder_ / "subs.srt")
      << "1\r\n00:00:00,100 --> 00:00:00,300\r\nHELL\r\n\r\n2\r\n00:00:00,450 --> "
         "00:00:00,600\r\nTWO LINES\r\nIN A LINE\r\n\r\n3\r\n00:00:00,800 --> 00:00:00,900\r\nEND";
  const PF_Pixel background{255, 0x20, 0x40, 0x60};
  for (const bool per_line : {false, true}) {
    std::vector<std::string> arguments = {"captions", (folder_ / "subs.srt").string(),
                                          "-s",       (folder_ / "style.json").string(),
                                          "-o",       (folder_ / "f_%02d.png").string()};
    if (per_line) arguments.push_back("--per-line");
    const CommandRun run = RunCommand(arguments);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("wrote 9 frames"));  // to the last cue's end, 0.9 s
    // Frames 1-2: cue 1; 5: cue 2 (0.45 s falls after frame 4); 8: cue 3.
    const std::vector<A_long> shown = {1, 2, 5, 8};
    for (A_long frame = 0; frame < 9; ++frame) {
      char name[16];
      std::snprintf(name, sizeof name, "f_%02d.png", static_cast<int>(frame));
      const auto runs = InkedRowRuns(folder_ / name, background);
      const bool expected = std::count(shown.begin(), shown.end(), frame) > 0;
      EXPECT_EQ(!runs.empty(), expected) << "frame " << frame << (per_line ? " per line" : "");
      if (!expected || runs.empty()) continue;
      if (frame == 5) {
        EXPECT_EQ(runs.size(), per_line ? 2u : 1u) << "boxes of the two-line cue";
      }
      // Anchored at the bottom line: every box ends on one row (to the antialiased edge row),
      // where a box of two lines grown downwards would end a line lower.
      EXPECT_NEAR(runs.back().second, InkedRowRuns(folder_ / "f_01.png", background).back().second,
                  1)
          << "frame " << frame;
    }
  }
}

// The reader's warnings are told as the scene's are, and --strict makes them errors; a file in
// another encoding is read with --encoding.
TEST_F(Commands, CaptionsTellTheSubtitleReadersWarningsAndTakeAnEncoding) {
  std::ofstream(folder_ / "style.json") << kCaptionStyle;
  std::ofstream(folder_ / "old.srt") << "1\n00:00:00,100 --> 00:00:00,300\nCaf\xE9\n\nbroken\n";
  const std::vector<std::string> arguments = {"captions", (folder_ / "old.srt").string(),
                                              "-s",       (folder_ / "style.json").string(),
                                              "-o",       (folder_ / "f_%02d.png").string()};
  const CommandRun run = RunCommand(arguments);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("old.srt:3: not UTF-8 text: the file is read as Windows-1252"));
  EXPECT_THAT(run.err, HasSubstr("old.srt:5: expected a cue"));
  EXPECT_THAT(run.err, HasSubstr("quorvel-render: warning: "));
  std::vector<std::string> strict = arguments;
  strict.push_back("--strict");
  const CommandRun refused = RunCommand(strict);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_THAT(refused.err, HasSubstr("old.srt:3: not UTF-8 text"));
  EXPECT_THAT(refused.err, HasSubstr("(an error under --strict)"));
  std::vector<std::string> named = arguments;
  named.insert(named.end(), {"--encoding", "ISO-8859-15"});
  const CommandRun latin = RunCommand(named);
  ASSERT_EQ(latin.exit_code, 0) << latin.err;
  EXPECT_THAT(latin.err, Not(HasSubstr("Windows-1252")));
  named.back() = "klingon-8";
  const CommandRun unknown = RunCommand(named);
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_THAT(unknown.err, HasSubstr("old.srt: unknown encoding 'klingon-8'"));
}

// Without -s, captions take the built-in boxed style, made for 1920x1080; -s NAME takes another
// built-in one unless a file has that name; an unknown name lists the built-in ones.
TEST_F(Commands, CaptionsTakeABuiltInStyleByDefaultOrByName) {
  std::ofstream(folder_ / "subs.srt") << "1\n00:00:00,000 --> 00:00:01,000\nA built-in style\n";
  const std::string subtitles = (folder_ / "subs.srt").string();
  const PF_Pixel transparent{0, 0, 0, 0};
  const CommandRun boxed = RunCommand(
      {"captions", subtitles, "-o", (folder_ / "boxed_%d.png").string(), "--frames", "0"});
  ASSERT_EQ(boxed.exit_code, 0) << boxed.err;
  const auto boxed_rows = InkedRowRuns(folder_ / "boxed_0.png", transparent);
  ASSERT_EQ(boxed_rows.size(), 1u);
  EXPECT_GT(boxed_rows[0].first, 1080 / 2) << "in the lower half";
  EXPECT_LE(boxed_rows[0].second, 1080 * 0.95) << "inside the safe area";

  const CommandRun lower = RunCommand({"captions", subtitles, "-s", "lower_third", "-o",
                                       (folder_ / "lower_%d.png").string(), "--frames", "0"});
  ASSERT_EQ(lower.exit_code, 0) << lower.err;
  EXPECT_NE(ReadBytes(folder_ / "lower_0.png"), ReadBytes(folder_ / "boxed_0.png"));

  const CommandRun unknown = RunCommand({"captions", subtitles, "-s", "boxy", "-o",
                                         (folder_ / "u_%d.png").string(), "--frames", "0"});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_THAT(
      unknown.err,
      HasSubstr(
          "boxy: no such style file, nor a built-in style (boxed, lower_third, pill, word_pill)"));
}

// A word-timed transcript is gathered into cues, which --cues-out writes before any frame; the
// gathering options are refused for subtitle files, which come in cues already.
TEST_F(Commands, CaptionsGatherATranscriptsWordsIntoCuesAndWriteThem) {
  std::ofstream(folder_ / "talk.json")
      << R"({"segments": [{"start": 0, "end": 2, "text": "One two. Three",
                          "words": [{"word": " One", "start": 0.0, "end": 0.3},
                                    {"word": " two.", "start": 0.3, "end": 0.6},
                                    {"word": " Three", "start": 1.5, "end": 1.9}]}]})";
  const std::string transcript = (folder_ / "talk.json").string();
  const CommandRun run =
      RunCommand({"captions", transcript, "-o", (folder_ / "t_%d.png").string(), "--frames", "0-1",
                  "--cues-out", (folder_ / "formed.srt").string(), "--max-chars", "20"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ReadBytes(folder_ / "formed.srt"),
            "1\n00:00:00,000 --> 00:00:00,600\nOne two.\n\n"
            "2\n00:00:01,500 --> 00:00:01,900\nThree\n\n");
  EXPECT_FALSE(InkedRowRuns(folder_ / "t_0.png", PF_Pixel{0, 0, 0, 0}).empty());

  std::ofstream(folder_ / "subs.srt") << "1\n00:00:00,000 --> 00:00:01,000\nA\n";
  const CommandRun refused = RunCommand({"captions", (folder_ / "subs.srt").string(), "-o",
                                         (folder_ / "s.png").string(), "--max-chars", "20"});
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_THAT(refused.err, HasSubstr("subtitle files come in cues already"));
  const CommandRun wrong_kind =
      RunCommand({"captions", transcript, "-o", (folder_ / "w.png").string(), "--cues-out",
                  (folder_ / "cues.txt").string()});
  EXPECT_EQ(wrong_kind.exit_code, 2);
  EXPECT_THAT(wrong_kind.err, HasSubstr("cues.txt: write .srt or .vtt"));
}

// The built-in highlight style over a transcript: the amber box stands behind the first word
// while it is spoken and behind the last when its turn comes, with --per-line and --fade too.
TEST_F(Commands, CaptionsHighlightTheSpokenWordWithTheBuiltInStyle) {
  std::ofstream(folder_ / "talk.json") << R"([{"word": " Left", "start": 0.0, "end": 0.5},
                                              {"word": " words", "start": 0.5, "end": 1.0},
                                              {"word": " right", "start": 1.0, "end": 1.6}])";
  const CommandRun run =
      RunCommand({"captions", (folder_ / "talk.json").string(), "-s", "word_pill", "--per-line",
                  "--fade", "0.1", "-o", (folder_ / "w_%02d.png").string(), "--frames", "0-40"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The columns where the amber shows, #f0b429 drawn opaque.
  const auto amber_columns = [&](int frame) {
    char name[16];
    std::snprintf(name, sizeof name, "w_%02d.png", frame);
    const media::PngImage image = media::ReadPng(folder_ / name);
    std::pair<A_long, A_long> columns{image.world->width(), 0};
    for (A_long y = 0; y < image.world->height(); ++y) {
      for (A_long x = 0; x < image.world->width(); ++x) {
        const PF_Pixel pixel = image.world->At(x, y);
        if (pixel.alpha == 255 && pixel.red == 0xf0 && pixel.green == 0xb4 && pixel.blue == 0x29) {
          columns = {std::min(columns.first, x), std::max(columns.second, x + 1)};
        }
      }
    }
    return columns;
  };
  const auto first = amber_columns(8);  // "Left", 0.27 s
  const auto last = amber_columns(40);  // "right", 1.33 s
  ASSERT_LT(first.first, first.second);
  ASSERT_LT(last.first, last.second);
  EXPECT_LT(first.second, last.first);  // left of it, on one line
}

// A row's file is the frame render gives with the row's values set on the template; the scene
// can also come from standard input.
TEST_F(Commands, BatchWritesAFileNamedByEachRowAsRenderWithSetDoes) {
  const fs::path batch = kScenes / "batch";
  const CommandRun run =
      RunCommand({"batch", (batch / "name_tag.json").string(), (batch / "names.csv").string(), "-o",
                  (folder_ / "tags" / "{name}.png").string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("wrote 3 files for 3 rows"));
  for (const char* name : {"Ada Lovelace", "Grace Hopper", "Alan Turing"}) {
    EXPECT_TRUE(fs::exists(folder_ / "tags" / (std::string(name) + ".png"))) << name;
  }
  EXPECT_NE(ReadBytes(folder_ / "tags" / "Ada Lovelace.png"),
            ReadBytes(folder_ / "tags" / "Grace Hopper.png"));

  // Standard input is the program's own: it runs as a user runs it, the template piped in.
  const std::string render =
      Quoted(QUORVEL_RENDER_PATH) + " render - -o " + Quoted((folder_ / "ada.png").string()) +
      " --set 'layers[0].text=Ada Lovelace'" + " --set 'layers[0].effect.Fill Color=#102a43'" +
      " --set 'layers[1].text=Analytical Engine programmer' --module " +
      Quoted(QUORVEL_MODULE_PATH) + " < " + Quoted((batch / "name_tag.json").string()) +
      " > /dev/null";
  ASSERT_EQ(std::system(render.c_str()), 0);
  EXPECT_EQ(ReadBytes(folder_ / "ada.png"), ReadBytes(folder_ / "tags" / "Ada Lovelace.png"));
}

// Rows whose files would be one file where case or the form of an accent is ignored, or that a
// Windows machine cannot make, are refused before anything renders, leaving no folder behind.
TEST_F(Commands, BatchRefusesNamesThatCollideOrWindowsKeepsAndLeavesNoFolder) {
  const fs::path batch = kScenes / "batch";
  const struct {
    const char* rows;
    const char* message;
  } cases[] = {
      {"Ada,x,#000000\nada,y,#000000\n", "names.csv:3 (row 2): writes"},
      {"École,x,#000000\nécole,y,#000000\n", "names.csv:3 (row 2): writes"},
      {"\u00e9,x,#000000\ne\u0301,y,#000000\n", "names.csv:2 (row 1) does"},
      {"Ada,x,#000000\nCON,y,#000000\n", "'CON.png' is a name Windows keeps for a device"},
      {"nul,x,#000000\n", "'nul.png' is a name Windows keeps for a device"},
  };
  for (const auto& c : cases) {
    std::ofstream(folder_ / "names.csv") << "name,title,color\n" << c.rows;
    const CommandRun run =
        RunCommand({"batch", (batch / "name_tag.json").string(), (folder_ / "names.csv").string(),
                    "-o", (folder_ / "deep" / "er" / "{name}.png").string()});
    EXPECT_EQ(run.exit_code, 1) << c.rows;
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.rows;
    EXPECT_FALSE(fs::exists(folder_ / "deep")) << c.rows;
  }
}

}  // namespace
}  // namespace quorvel::cli
