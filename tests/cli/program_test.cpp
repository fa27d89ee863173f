// SPDX-License-Identifier: MIT
// quorvel-render run as a user runs it: the built program, its output streams and exit status,
// the files it writes and those it must not leave behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "media/image/png_input.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

const std::string kRenderPath = QUORVEL_RENDER_PATH;
const fs::path kSourceDir = QUORVEL_TEST_SOURCE_DIR;

using quorvel::test::ProgramRun;
using quorvel::test::Quoted;
using quorvel::test::ReadBytes;

// A small composition: a white "Q" on black with a red box, 10 frames at 10 fps. Whole-pixel
// offsets and an opaque background keep the box's edges where the scene puts them.
std::string SmallScene(const std::string& effect) {
  return R"({
    "composition": {"width": 160, "height": 90, "fps": 10, "duration": 1, "background": "#000000"},
    "layer": {"text": "Q", "font": "DejaVu Sans", "style": "Bold", "size": 40,
              "color": "#ffffff", "position": [60, 20]},
    "effect": )" +
         effect + "}";
}

const char kRedBox[] = R"({"Expansion Uniform": 10, "Fill Color": "#ff0000"})";

// Leftmost column holding a mostly red pixel, or -1.
int LeftmostRed(const fs::path& png) {
  const quorvel::media::PngImage image = quorvel::media::ReadPng(png);
  if (!image.status.ok) return -1;
  const quorvel::headless::OwnedWorld& world = *image.world;
  for (A_long x = 0; x < world.width(); ++x) {
    for (A_long y = 0; y < world.height(); ++y) {
      const PF_Pixel& pixel = world.At(x, y);
      if (pixel.red > 128 && pixel.green < 64 && pixel.blue < 64) return static_cast<int>(x);
    }
  }
  return -1;
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // The process id keeps apart the runs of several build folders on one machine.
    dir_ = fs::temp_directory_path() /
           ("quorvel_program_" + name + "_" + std::to_string(static_cast<long>(getpid())));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program with `arguments`, its output streams captured in files of the test's own.
  ProgramRun Run(const std::vector<std::string>& arguments) const {
    std::string command = Quoted(kRenderPath);
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    return quorvel::test::RunCaptured(command, dir_);
  }

  std::string WriteScene(const std::string& name, const std::string& text) const {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  std::string Out(const std::string& name) const { return (dir_ / "out" / name).string(); }

  // The names of the files in the output folder.
  std::set<std::string> OutputFiles() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir_ / "out")) {
      names.insert(fs::relative(entry.path(), dir_ / "out").string());
    }
    return names;
  }

  // A refusal: exit status 1, nothing on stdout, one line on stderr, nothing written.
  void ExpectSceneRefused(const ProgramRun& run, const std::string& message) const {
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quorvel-render: " + message + "\n");
    EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
  }

  fs::path dir_;
};

// --- help and describe ----------------------------------------------------------------------

TEST_F(Program, HelpShowsTheCommandsAndTheExitStatuses) {
  const ProgramRun run = Run({"--help"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_THAT(run.out, HasSubstr("quorvel-render render SCENE.json -o OUT.png"));
  EXPECT_THAT(run.out, HasSubstr("quorvel-render sheet SCENE.json"));
  EXPECT_THAT(run.out, HasSubstr("quorvel-render describe [MODULE | SCENE.json]"));
  EXPECT_THAT(run.out, HasSubstr("\n  0    done\n"));
  EXPECT_THAT(run.out, HasSubstr("\n  1    failed"));
  EXPECT_THAT(run.out, HasSubstr("\n  2    a command line"));
  EXPECT_THAT(run.out, HasSubstr("\n  130  interrupted"));
  // After a command too, and the version.
  EXPECT_EQ(Run({"render", "--help"}).out, run.out);
  EXPECT_THAT(Run({"--version"}).out, HasSubstr("quorvel-render 1."));
}

TEST_F(Program, DescribeListsTheControlsWithTheirDefaultsAndRanges) {
  const ProgramRun run = Run({"describe"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_THAT(run.out, HasSubstr("Effect controls (26, after the input layer)"));
  // Columns are padded to line up; one space between them is enough to compare.
  std::string rows;
  for (const char c : run.out) {
    if (c != ' ' || rows.empty() || rows.back() != ' ') rows += c;
  }
  const char* const expected[] = {
      "\n 1 Shape popup Auto Auto|Square|Circle - -\n",
      "\n 2 Roundness slider 0.00 % 0..100 - -\n",
      "\n 3 Expansion Uniform slider 0.00 0..500 - -\n",
      "\n 6 Fill Color color #000000 - -\n",
      "\n 7 Fill Opacity slider 100.00 % 0..100 - -\n",
      "\n 9 Position point [0, 0] - Transformation Offsets\n",
      "\n 11 Uniform Scale check box off CANNOT_TIME_VARY Transformation Offsets\n",
      "\n 12 Scale Width slider 100.00 % 0..120 - Transformation Offsets\n",
      "\n 14 Skew X slider 0.00 % -5..5 - Transformation Offsets\n",
      "\n 16 Anchor Point X popup Center Left|Center|Right CANNOT_TIME_VARY Transf",
      "\n 19 Matte Text to Fill check box off - -\n",
      "\n 22 Enable Border check box off - Border Parameters\n",
      "\n 23 Border Width slider 1.00 0..1500 0x1 Border Parameters\n",
      "\n 24 Border Color color #ffffff - Border Parameters\n",
      "\n 26 (end of Border Parameters) group end - Border Parameters\n",
  };
  for (const char* row : expected) EXPECT_THAT(rows, HasSubstr(row));
  EXPECT_THAT(rows, ::testing::Not(HasSubstr("\n 27 ")));
}

TEST_F(Program, DescribeRefusesAFileThatIsNotAPlugIn) {
  const std::string not_a_module = WriteScene("notes.so", "just text\n");
  const ProgramRun run = Run({"describe", not_a_module});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, StartsWith("quorvel-render: " + not_a_module + ": "));
}

TEST_F(Program, RenderRefusesAModuleThatIsNotAPlugIn) {
  const std::string scene = WriteScene("small.json", SmallScene(kRedBox));
  const std::string not_a_module = WriteScene("notes.so", "just text\n");
  const ProgramRun run = Run({"render", scene, "-o", Out("f.png"), "--module", not_a_module});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, StartsWith("quorvel-render: " + not_a_module + ": "));
  EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
}

// --- render and sheet -----------------------------------------------------------------------

TEST_F(Program, RenderWritesOnePngOfTheCompositionsSize) {
  const std::string scene = WriteScene("small.json", SmallScene(kRedBox));
  const ProgramRun run = Run({"render", scene, "-o", Out("frame.png")});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "wrote " + Out("frame.png") + "\n");
  EXPECT_EQ(ReadBytes(Out("frame.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
  const quorvel::media::PngImage image = quorvel::media::ReadPng(Out("frame.png"));
  ASSERT_TRUE(image.status.ok) << image.status.message;
  EXPECT_EQ(image.world->width(), 160);
  EXPECT_EQ(image.world->height(), 90);
  EXPECT_EQ(OutputFiles(), (std::set<std::string>{"frame.png"}));
}

TEST_F(Program, RenderOfTheDemoSceneShowsTheBoxBehindTheText) {
  const ProgramRun run =
      Run({"render", (kSourceDir / "scenes" / "demo.json").string(), "-o", Out("demo.png")});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const quorvel::media::PngImage image = quorvel::media::ReadPng(Out("demo.png"));
  ASSERT_TRUE(image.status.ok) << image.status.message;
  // The box's fill (#1c3f94) covers the middle of the frame around the text.
  size_t fill = 0;
  const quorvel::headless::OwnedWorld& world = *image.world;
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      const PF_Pixel& pixel = world.At(x, y);
      if (pixel.red == 0x1c && pixel.green == 0x3f && pixel.blue == 0x94) ++fill;
    }
  }
  EXPECT_GT(fill, 20000u);
}

TEST_F(Program, EveryBundledSceneRendersItsFirstFrame) {
  size_t scenes = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(kSourceDir / "scenes")) {
    if (entry.path().extension() != ".json") continue;
    ++scenes;
    const std::string output = Out(entry.path().stem().string() + ".png");
    const ProgramRun run = Run({"render", entry.path().string(), "-o", output});
    EXPECT_EQ(run.exit_code, 0) << entry.path() << ": " << run.err;
    EXPECT_TRUE(fs::exists(output)) << entry.path();
  }
  EXPECT_GE(scenes, 10u);
}

TEST_F(Program, SheetWritesAPngOfTheLaidOutSize) {
  const std::string scene = WriteScene("small.json", SmallScene(kRedBox));
  const ProgramRun run =
      Run({"sheet", scene, "-o", Out("sheet.png"), "--frames", "0-4", "--columns", "3"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const quorvel::media::PngImage image = quorvel::media::ReadPng(Out("sheet.png"));
  ASSERT_TRUE(image.status.ok) << image.status.message;
  // Five 160x90 frames in three columns, two rows: 16 + 3 × 160 + 2 × 12 + 16 across,
  // 16 + 2 × (90 + 28) + 12 + 16 down.
  EXPECT_EQ(image.world->width(), 536);
  EXPECT_EQ(image.world->height(), 280);
  EXPECT_EQ(OutputFiles(), (std::set<std::string>{"sheet.png"}));
}

TEST_F(Program, KeyframedPositionMovesTheBoxBetweenFrames) {
  const std::string scene =
      WriteScene("moving.json", SmallScene(R"({"Expansion Uniform": 10, "Fill Color": "#ff0000",
                     "Position": [{"t": 0, "v": [-40, 0]}, {"t": 1, "v": [40, 0]}]})"));
  const ProgramRun run = Run({"render", scene, "-o", Out("f_%d.png"), "--frames", "0-9"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // Frames 0, 5 and 9 are at 0, 0.5 and 0.9 s: offsets -40, 0 and 32 pixels.
  const int at_0 = LeftmostRed(Out("f_0.png"));
  const int at_5 = LeftmostRed(Out("f_5.png"));
  const int at_9 = LeftmostRed(Out("f_9.png"));
  ASSERT_GE(at_0, 0);
  EXPECT_NEAR(at_5 - at_0, 40, 1);
  EXPECT_NEAR(at_9 - at_5, 32, 1);
}

TEST_F(Program, SequenceOnOneAndOnThreeJobsWritesIdenticalFiles) {
  const std::string scene =
      WriteScene("moving.json",
                 SmallScene(R"({"Expansion Uniform": 10, "Fill Color": "#ff0000", "Roundness": 50,
                     "Rotation": [{"t": 0, "v": -20}, {"t": 1, "v": 20}]})"));
  const ProgramRun one =
      Run({"render", scene, "-o", Out("one/f_%02d.png"), "--frames", "0-9", "--jobs", "1"});
  const ProgramRun three =
      Run({"render", scene, "-o", Out("three/f_%02d.png"), "--frames", "0-9", "--jobs", "3"});
  ASSERT_EQ(one.exit_code, 0) << one.err;
  ASSERT_EQ(three.exit_code, 0) << three.err;
  EXPECT_EQ(one.out,
            "wrote 10 frames: " + Out("one/f_00.png") + " to " + Out("one/f_09.png") + "\n");
  for (int frame = 0; frame < 10; ++frame) {
    const std::string name = "f_0" + std::to_string(frame) + ".png";
    EXPECT_EQ(ReadBytes(Out("one/" + name)), ReadBytes(Out("three/" + name))) << name;
  }
}

TEST_F(Program, SequenceLeavesOnlyTheFramesAndReportsEachOneOffATerminal) {
  const std::string scene = WriteScene("small.json", SmallScene(kRedBox));
  const ProgramRun run = Run({"render", scene, "-o", Out("f_%d.png"), "--frames", "2-4"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(OutputFiles(), (std::set<std::string>{"f_2.png", "f_3.png", "f_4.png"}));
  EXPECT_THAT(run.err, HasSubstr(Out("f_2.png")));
  EXPECT_THAT(run.err, HasSubstr(Out("f_4.png")));
}

TEST_F(Program, InterruptedSequenceExitsWith130AndLeavesOnlyWholeFrames) {
  // Ten thousand frames on one thread: far more than are done before the interrupt arrives.
  const std::string scene =
      WriteScene("long.json",
                 R"({"composition": {"width": 64, "height": 36, "fps": 100, "duration": 100},
          "layer": {"text": "Q", "size": 20, "position": [20, 5]},
          "effect": {"Fill Color": "#ff0000"}})");
  const std::string command = "exec " + Quoted(kRenderPath) + " render " + Quoted(scene) + " -o " +
                              Quoted(Out("f_%05d.png")) +
                              " --frames 0-9999 --jobs 1 > /dev/null 2> " +
                              Quoted((dir_ / "stderr").string()) + " < /dev/null";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Interrupted once it has shown a frame done, so that its handler is in place.
  for (int wait = 0; wait < 3000 && ReadBytes(dir_ / "stderr").find("frame ") == std::string::npos;
       ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(kill(child, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_THAT(ReadBytes(dir_ / "stderr"), HasSubstr("quorvel-render: interrupted after "));
  const std::set<std::string> written = OutputFiles();
  EXPECT_GE(written.size(), 1u);
  EXPECT_LT(written.size(), 10000u);
  for (const std::string& name : written) {
    EXPECT_THAT(name, MatchesRegex("f_[0-9]{5}\\.png"));
    EXPECT_TRUE(quorvel::media::ReadPng(dir_ / "out" / name).status.ok) << name;
  }
}

// --- bad input ------------------------------------------------------------------------------

TEST_F(Program, InvalidJsonIsRefusedWithItsLine) {
  const std::string scene =
      WriteScene("broken.json", "{\n  \"composition\": {\"width\": 160,}\n}\n");
  const ProgramRun run = Run({"render", scene, "-o", Out("f.png")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, StartsWith("quorvel-render: " + scene + ": "));
  EXPECT_THAT(run.err, HasSubstr("line 2"));
  EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
}

TEST_F(Program, UnknownKeyIsRefusedWithTheNearestName) {
  const std::string scene = WriteScene("typo.json", R"({"composition": {"widht": 160}})");
  ExpectSceneRefused(Run({"render", scene, "-o", Out("f.png")}),
                     scene + ": composition.widht: unknown key; did you mean \"width\"?");
}

TEST_F(Program, UnknownControlIsRefusedWithTheNearestName) {
  const std::string scene = WriteScene("typo.json", SmallScene(R"({"Fill Colour": "#ff0000"})"));
  ExpectSceneRefused(
      Run({"render", scene, "-o", Out("f.png")}),
      scene +
          ": effect.Fill Colour: the effect has no control of this name; did you mean "
          "\"Fill Color\"?");
}

TEST_F(Program, WrongTypeIsRefused) {
  const std::string scene = WriteScene("type.json", SmallScene(R"({"Roundness": "round"})"));
  const ProgramRun run = Run({"render", scene, "-o", Out("f.png")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, StartsWith("quorvel-render: " + scene +
                                  ": effect.Roundness: expected a number, found "));
  EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
}

TEST_F(Program, ValueOutOfRangeIsRefusedWithTheRange) {
  const std::string scene = WriteScene("range.json", SmallScene(R"({"Roundness": 140})"));
  ExpectSceneRefused(Run({"render", scene, "-o", Out("f.png")}),
                     scene + ": effect.Roundness: 140 is outside 0..100");
}

TEST_F(Program, UnknownPopupChoiceIsRefusedWithTheChoices) {
  const std::string scene = WriteScene("shape.json", SmallScene(R"({"Shape": "Triangle"})"));
  ExpectSceneRefused(Run({"render", scene, "-o", Out("f.png")}),
                     scene +
                         ": effect.Shape: \"Triangle\" is not one of \"Auto\", \"Square\", "
                         "\"Circle\"");
}

TEST_F(Program, MissingFontIsRefused) {
  const std::string scene = WriteScene(
      "font.json", R"({"layer": {"font": "Quorvel Missing Sans"}, "composition": {"width": 64}})");
  const ProgramRun run = Run({"render", scene, "-o", Out("f.png")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(
      run.err,
      StartsWith("quorvel-render: " + scene +
                 ": layer.font: the font family \"Quorvel Missing Sans\" is not installed"));
  EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
}

TEST_F(Program, UnwritableOutputPathIsRefusedAndLeavesNoFile) {
  const std::string scene = WriteScene("small.json", SmallScene(kRedBox));
  // A folder that cannot be made: a file already holds its name.
  std::ofstream(dir_ / "out" / "taken") << "a file, not a folder";
  const std::string output = Out("taken/f.png");
  const ProgramRun run = Run({"render", scene, "-o", output});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, StartsWith("quorvel-render: "));
  EXPECT_THAT(run.err, HasSubstr("cannot write '" + output + "': "));
  EXPECT_EQ(OutputFiles(), (std::set<std::string>{"taken"}));
}

TEST_F(Program, BadArgumentsExitWithStatusTwoAndTheUsage) {
  const std::string scene = WriteScene("small.json", SmallScene(kRedBox));
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"paint", scene},
      {"render", scene},
      {"render", scene, "-o", Out("f.png"), "--jobs", "0"},
      {"sheet", scene, "-o", Out("s.png")},
      {"describe", "--frame", "3"},
  };
  for (const std::vector<std::string>& arguments : bad) {
    const ProgramRun run = Run(arguments);
    EXPECT_EQ(run.exit_code, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, StartsWith("quorvel-render: "));
    EXPECT_THAT(run.err, HasSubstr("usage:"));
  }
  EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
}

TEST_F(Program, UnknownOptionIsRefusedWithTheNearestOption) {
  const std::string scene = WriteScene("small.json", SmallScene(kRedBox));
  const ProgramRun run = Run({"render", scene, "-o", Out("f.png"), "--frams", "0-3"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_THAT(run.err,
              StartsWith("quorvel-render: unknown option '--frams'; did you mean \"--frame\" or "
                         "\"--frames\"?\n"));
}

}  // namespace
