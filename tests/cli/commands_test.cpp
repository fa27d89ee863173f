// SPDX-License-Identifier: MIT
// quorvel-render's commands, run in-process over the built module.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/interrupt.h"
#include "headless/image/png_input.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

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

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
  const headless::PngImage image = headless::ReadPng(output);
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
  const headless::PngImage image = headless::ReadPng(output);
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
  EXPECT_THAT(run.err, HasSubstr("interrupted after 0 of 4 frames"));
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(Commands, SheetLaysTheFramesOutInColumns) {
  const fs::path output = folder_ / "sheet.png";
  const CommandRun run = RunCommand({"sheet", (kScenes / "motion.json").string(), "-o",
                                     output.string(), "--frames", "0-3", "--columns", "2"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const headless::PngImage image = headless::ReadPng(output);
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

}  // namespace
}  // namespace quorvel::cli
