// SPDX-License-Identifier: MIT
// quorvel-render given bad scenes and arguments: one clear message, a non-zero exit and nothing
// written. The program runs as a user runs it, in a folder of its own.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "compose/document/json_place.h"
#include "compose/scene/scene_file.h"
#include "tests/support/program_run.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

using test::ProgramRun;
using test::Quoted;
using test::ReadBytes;

// Lines that are messages of the program's own ("quorvel-render: ..."); a usage summary may
// follow a message about the arguments.
size_t Messages(const std::string& text) {
  size_t messages = 0;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.rfind("quorvel-render: ", 0) == 0) ++messages;
  }
  return messages;
}

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = fs::temp_directory_path() /
           ("quorvel-bad-input-" + name + "-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_ / "in");
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& content) {
    const fs::path path = dir_ / "in" / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  ProgramRun Render(const std::vector<std::string>& args) {
    std::string command = Quoted(QUORVEL_RENDER_PATH);
    for (const std::string& arg : args) command += " " + Quoted(arg);
    return test::RunCaptured(command, dir_);
  }

  // A shell script around the program, "$Q" standing for it; stdout and stderr captured.
  ProgramRun Shell(const std::string& script) {
    const std::string command = "Q=" + Quoted(QUORVEL_RENDER_PATH) + "; " + script;
    return test::RunCaptured("sh -c " + Quoted(command), dir_);
  }

  // Runs the program's command line in the background, asks it to stop with SIGINT after
  // `seconds`, and gives it a generous watchdog: an exit by the watchdog (124) or a signal means
  // the stop was not heard. Prints the peak resident memory (KiB) seen before the stop to stdout.
  // Under AddressSanitizer, freed memory is held in a quarantine of 256 MB that the peak would
  // count; a small one keeps the peak the program's own.
  ProgramRun StoppedAfter(double seconds, const std::string& arguments, int watchdog = 20) {
    return Shell("ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:quarantine_size_mb=8\" timeout " +
                 std::to_string(watchdog) + " \"$Q\" " + arguments + " & pid=$!; sleep " +
                 std::to_string(seconds) +
                 "; child=$(pgrep -P $pid || echo $pid); "
                 "grep VmHWM /proc/$child/status | tr -dc 0-9; kill -INT $child; wait $pid");
  }

  // The failure a user must see: a non-zero exit (not a crash), one message on stderr, first,
  // that says what is wrong, and no file written.
  void ExpectRefused(const std::vector<std::string>& args, const std::string& mentions = "") {
    const ProgramRun run = Render(args);
    EXPECT_NE(run.exit_code, 0);
    EXPECT_LT(run.exit_code, 128) << "ended by a signal";
    EXPECT_EQ(Messages(run.err), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("quorvel-render: ", 0), 0u) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    if (!mentions.empty()) {
      EXPECT_NE(run.err.find(mentions), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::is_empty(dir_ / "out")) << "something was written";
  }

  std::string Out(const std::string& name = "frame.png") const {
    return (dir_ / "out" / name).string();
  }

  static std::string Scene(const std::string& name) {
    return ReadBytes(fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes" / name);
  }

  fs::path dir_;
};

TEST_F(BadInput, TruncatedSceneFileIsRefused) {
  const std::string demo = Scene("demo.json");
  ASSERT_GT(demo.size(), 40u);
  ExpectRefused(
      {"render", Write("cut.json", demo.substr(0, demo.size() / 2)).string(), "-o", Out()},
      "cut.json");
}

TEST_F(BadInput, EmptySceneFileIsRefused) {
  ExpectRefused({"render", Write("empty.json", "").string(), "-o", Out()}, "empty.json");
}

TEST_F(BadInput, DirectoryInsteadOfSceneFileIsRefused) {
  ExpectRefused({"render", (dir_ / "in").string(), "-o", Out()}, "is a folder, not a scene file");
}

TEST_F(BadInput, MissingSceneFileIsRefused) {
  ExpectRefused({"render", (dir_ / "in" / "absent.json").string(), "-o", Out()}, "absent.json");
}

TEST_F(BadInput, BinaryGarbageIsRefused) {
  std::string garbage;
  std::mt19937 random(7);
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(random() & 0xFF);
  garbage[10] = '\0';
  ExpectRefused({"render", Write("garbage.json", garbage).string(), "-o", Out()}, "garbage.json");
}

TEST_F(BadInput, NumberBeyondADoubleIsRefused) {
  ExpectRefused(
      {"render", Write("huge.json", R"({"composition": {"width": 1e400}})").string(), "-o", Out()},
      "huge.json");
}

TEST_F(BadInput, HugeCompositionSizeIsRefused) {
  ExpectRefused(
      {"render",
       Write("wide.json", R"({"composition": {"width": 99999999999, "height": 720}})").string(),
       "-o", Out()},
      "width");
}

TEST_F(BadInput, HugeFontSizeIsRefused) {
  ExpectRefused(
      {"render", Write("font.json", R"({"layer": {"size": 1e300}})").string(), "-o", Out()},
      "layer.size: 1e+300 is outside 0..10000");
}

TEST_F(BadInput, HugeFrameNumberIsRefused) {
  ExpectRefused({"render", Write("ok.json", Scene("demo.json")).string(), "-o", Out(), "--frame",
                 "99999999999999999999"});
}

TEST_F(BadInput, FrameAfterTheCompositionIsRefused) {
  ExpectRefused(
      {"render", Write("ok.json", Scene("demo.json")).string(), "-o", Out(), "--frame", "100000"});
}

TEST_F(BadInput, ReversedFrameRangeIsRefused) {
  ExpectRefused({"render", Write("ok.json", Scene("demo.json")).string(), "-o",
                 Out("frame_%04d.png"), "--frames", "5-2"});
}

TEST_F(BadInput, UnknownKeyIsRefused) {
  ExpectRefused(
      {"render", Write("key.json", R"({"composition": {"widht": 64}})").string(), "-o", Out()},
      "widht");
}

TEST_F(BadInput, ModuleThatIsNoPlugInIsRefused) {
  const fs::path scene = Write("ok.json", Scene("demo.json"));
  ExpectRefused({"render", scene.string(), "-o", Out(), "--module", scene.string()});
}

// Hostile files and sizes: each refused with what is wrong, before anything is written.
TEST_F(BadInput, HostileScenesArgumentsAndSizesAreRefusedWithWhy) {
  const std::string demo = Write("ok.json", Scene("demo.json")).string();
  // A box of 47264x2188 pixels: 16 wide letters at 3000 pixels.
  const std::string wide = Write("wide.json", R"({"composition": {"width": 64, "height": 64},
                              "layer": {"text": "WWWWWWWWWWWWWWWW", "size": 3000}})")
                               .string();
  const std::string four_k = Write("4k.json", R"({"composition": {"width": 3840, "height": 2160},
                            "layer": {"text": "Four K", "size": 900}})")
                                 .string();
  const auto sized = [this](int width, int height) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    return Write(size + ".json", R"({"composition": {"width": )" + std::to_string(width) +
                                     R"(, "height": )" + std::to_string(height) + "}}")
        .string();
  };
  fs::create_directories(dir_ / "blocked");
  std::ofstream(dir_ / "blocked" / "file") << "not a folder";
  const struct {
    std::vector<std::string> args;
    const char* mentions;
  } cases[] = {
      {{"render",
        Write("deep.json",
              "{\"effect\": " + std::string(100000, '[') + std::string(100000, ']') + "}")
            .string(),
        "-o", Out()},
       "objects and lists nest deeper than 100 levels"},
      {{"render", demo, "-o", Out("f_%d.png"), "--frames", "-5-3"}, "--frames '-5-3': expected"},
      {{"render", demo, "-o", (dir_ / "out").string()}, "it is a folder"},
      // The output is checked first: the module is never loaded.
      {{"render", demo, "-o", (dir_ / "blocked" / "file" / "x.png").string(), "--module",
        "/nonexistent/Quorvel.so"},
       "cannot write"},
      {{"render", wide, "-o", Out()},
       "frame 0: the box needs a 47264x2188 world; the host's largest is 30000x30000"},
      {{"render", four_k, "-o", Out(), "--max-memory", "64M"},
       "; the memory budget of 64 MiB is used up (--max-memory)"},
      // A video's size is checked against its format before the module is loaded.
      {{"render", sized(16000, 16000), "-o", Out("v.mov"), "--module", "/nonexistent/Quorvel.so"},
       "quorvel-render: v.mov: ProRes 4444 takes frames of at most 67,108,864 pixels "
       "(8192x8192); 16000x16000 is larger\n"},
      {{"render", sized(16000, 16000), "-o", Out("v.mp4"), "--module", "/nonexistent/Quorvel.so"},
       "quorvel-render: v.mp4: H.264 takes frames of at most 8192 pixels a side and 139,264 "
       "macroblocks of 16x16 pixels (8192x4352); 16000x16000 is larger\n"},
      {{"render", sized(16385, 720), "-o", Out("v.webm"), "--module", "/nonexistent/Quorvel.so"},
       "quorvel-render: v.webm: VP9 takes frames of at most 16384 pixels a side and 35,651,584 "
       "pixels in all (8192x4352); 16385x720 is larger\n"},
      {{"render", sized(641, 361), "-o", Out("v.mp4"), "--module", "/nonexistent/Quorvel.so"},
       "quorvel-render: v.mp4: H.264 (4:2:0) needs an even width and height, and 641x361 is "
       "not; make the frames 642x362, or write .mov or .webm\n"},
      {{"render", sized(1, 1), "-o", Out("v.mp4"), "--module", "/nonexistent/Quorvel.so"},
       "1x1 is not; make the frames 2x2, or write .mov or .webm\n"},
  };
  for (const auto& c : cases) ExpectRefused(c.args, c.mentions);
}

// Outputs that are no regular files: a device stays a device, a link leads to what is written,
// "-" is standard output.
TEST_F(BadInput, OutputsAreWrittenWhereTheyLead) {
  const std::string demo = Write("ok.json", Scene("demo.json")).string();
  const ProgramRun null = Render({"render", demo, "-o", "/dev/null"});
  EXPECT_EQ(null.exit_code, 0) << null.err;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  const ProgramRun full = Render({"render", demo, "-o", "/dev/full"});
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_NE(full.err.find("cannot write '/dev/full': No space left on device"), std::string::npos)
      << full.err;
  fs::create_symlink("target.png", dir_ / "out" / "link.png");
  ASSERT_EQ(Render({"render", demo, "-o", Out("link.png")}).exit_code, 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "out" / "link.png"));
  EXPECT_EQ(ReadBytes(dir_ / "out" / "target.png").substr(1, 3), "PNG");
  const ProgramRun piped = Render({"render", demo, "-o", "-"});
  EXPECT_EQ(piped.exit_code, 0) << piped.err;
  EXPECT_EQ(piped.out.substr(1, 3), "PNG");
}

// A video whose file cannot grow at all (ulimit -f 0, its signal ignored, so that a write fails
// as on a full disk) fails as its header is written or at its first frame, and leaves no
// temporary file behind. The messages come through a pipe, which the limit leaves alone.
TEST_F(BadInput, AVideoThatCannotBeWrittenLeavesNoPartialFile) {
  const std::string demo = Write("ok.json", Scene("demo.json")).string();
  for (const std::string format : {"mov", "webm", "mp4"}) {
    const std::string video = Out(format + "/v." + format);
    const std::string limited = "trap '' XFSZ; ulimit -f 0; exec " + Quoted(QUORVEL_RENDER_PATH) +
                                " render " + Quoted(demo) + " -o " + Quoted(video) +
                                " --frames 0-1 </dev/null 2>&1 >/dev/null";
    const std::string command = "err=$( (" + limited + ") ); status=$?; printf '%s' \"$err\" > " +
                                Quoted((dir_ / "stderr").string()) + "; exit $status";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << format;
    EXPECT_EQ(WEXITSTATUS(status), 1) << format;
    EXPECT_NE(ReadBytes(dir_ / "stderr")
                  .find("quorvel-render: cannot write '" + video + "': File too large"),
              std::string::npos)
        << ReadBytes(dir_ / "stderr");
    EXPECT_TRUE(fs::is_empty(dir_ / "out" / format)) << format;
  }
}

// Ctrl-C in the middle of one long frame (8K, motion-blurred: about 10 s whole) ends it within a
// moment, with status 130 and nothing written.
TEST_F(BadInput, CtrlCEndsALongFrameWithNothingWritten) {
  const std::string scene = Write("8k.json", R"({
    "composition": {"width": 7680, "height": 4320, "motion_blur": true},
    "layer": {"text": "Eight K", "size": 900, "motion_blur": true,
              "position": [{"t": 0, "v": [200, 800]}, {"t": 1, "v": [3200, 900]}]},
    "effect": {"Expansion Uniform": 200, "Rotation": [{"t": 0, "v": -20}, {"t": 1, "v": 20}]}})")
                                .string();
  const std::string command = "timeout 60 " + Quoted(QUORVEL_RENDER_PATH) + " render " +
                              Quoted(scene) + " -o " + Quoted(Out()) + " --frame 5 2>" +
                              Quoted((dir_ / "stderr").string()) + " & pid=$!; sleep 1.5; " +
                              "kill -INT $pid; wait $pid";
  const int status = std::system(("sh -c " + Quoted(command)).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130) << ReadBytes(dir_ / "stderr");
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(BadInput, UnknownCommandIsRefused) {
  ExpectRefused({"paint", Write("ok.json", Scene("demo.json")).string(), "-o", Out()}, "paint");
}

// Found by the scene-file fuzzer: a number the JSON parser cannot hold escaped as the parser's
// own exception instead of a message naming the file.
TEST(SceneFileRegression, NumberOverflowIsASceneError) {
  EXPECT_THROW(compose::ParseSceneFile(R"({"composition": {"width": 1e400}})", "huge.json"),
               compose::SceneError);
}

// --set paths and values meet a file's limits in every command: a path or a value nested past
// 100 levels, or a value with a key given twice, is refused before any work (a deep path
// crashed batch, which walked the document's strings recursively).
TEST_F(BadInput, SetPathsAndValuesMeetTheLimitsOfFiles) {
  const std::string demo = Write("ok.json", Scene("demo.json")).string();
  const std::string style = Write("style.json", Scene("caption_style.json")).string();
  const std::string subtitles = Write("s.srt", "1\n00:00:00,000 --> 00:00:01,000\nHi\n").string();
  const std::string tag = Write("tag.json", ReadBytes(fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes" /
                                                      "batch" / "name_tag.json"))
                              .string();
  const std::string names = Write("names.csv", "name,title,color\nAda,x,#102a43\n").string();
  std::string deep_path;
  for (int i = 0; i < 20000; ++i) deep_path += "a.";
  const std::string deep_value = std::string(65000, '[') + std::string(65000, ']');
  const std::vector<std::vector<std::string>> commands = {
      {"batch", tag, names, "-o", Out("{name}.png")},
      {"render", demo, "-o", Out()},
      {"captions", subtitles, "-s", style, "-o", Out("c_%d.png")},
      {"describe", demo},
  };
  const struct {
    std::string set;
    const char* mentions;
  } sets[] = {
      {deep_path + "a=1", "objects and lists nest deeper than 100 levels"},
      {"a=" + deep_value, "objects and lists nest deeper than 100 levels"},
      {"effect={\"Roundness\": 1, \"Roundness\": 2}", "the key \"Roundness\" is given twice"},
  };
  for (const auto& command : commands) {
    for (const auto& set : sets) {
      std::vector<std::string> args = command;
      args.insert(args.end(), {"--set", set.set});
      SCOPED_TRACE(command[0] + " --set " + set.set.substr(0, 40));
      ExpectRefused(args, set.mentions);
    }
  }
}

// Every input has a size limit that is told with its name, and reading hears Ctrl-C, also while
// a pipe stays open and silent.
TEST_F(BadInput, InputsAreReadWithinALimitAndAStop) {
  const std::string subtitles = Write("s.srt", "1\n00:00:00,000 --> 00:00:01,000\nHi\n").string();
  const std::string style = Write("style.json", Scene("caption_style.json")).string();
  const std::string tag = Write("tag.json", ReadBytes(fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes" /
                                                      "batch" / "name_tag.json"))
                              .string();
  const struct {
    std::string script;
    const char* mentions;
  } cases[] = {
      {"\"$Q\" render - -o " + Quoted(Out()) + " < /dev/zero",
       "standard input: the scene file is larger than 64 MiB"},
      {"yes '{' | \"$Q\" render - -o " + Quoted(Out()),
       "standard input: the scene file is larger than 64 MiB"},
      {"\"$Q\" captions /dev/zero -s " + Quoted(style) + " -o " + Quoted(Out("c_%d.png")),
       "/dev/zero: the subtitle file is larger than 64 MiB"},
      {"\"$Q\" captions " + Quoted(subtitles) + " -s /dev/zero -o " + Quoted(Out("c_%d.png")),
       "/dev/zero: the scene file is larger than 64 MiB"},
      {"\"$Q\" batch " + Quoted(tag) + " /dev/zero -o " + Quoted(Out("{name}.png")),
       "/dev/zero: the data file is larger than 64 MiB"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = Shell(c.script);
    EXPECT_EQ(run.exit_code, 1) << c.script;
    EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
  }
  // The program waits on standard input, a pipe whose writer never writes nor closes it.
  const std::string pipe = (dir_ / "pipe").string();
  const ProgramRun waiting =
      Shell("mkfifo " + Quoted(pipe) + "; sleep 60 > " + Quoted(pipe) +
            " & writer=$!; timeout 20 \"$Q\" render - -o " + Quoted(Out()) + " < " + Quoted(pipe) +
            " & pid=$!; sleep 1; " + "kill -INT $(pgrep -P $pid); wait $pid; status=$?; " +
            "kill $writer; exit $status");
  EXPECT_EQ(waiting.exit_code, 130) << waiting.err;
  EXPECT_NE(waiting.err.find("interrupted before any frame was rendered"), std::string::npos)
      << waiting.err;
}

// A batch of many rows sets each row up when its turn comes: its memory does not grow with the
// rows, and Ctrl-C acts within a moment (preparing 20,000 rows first took 30 s to hear it and
// 460 MB).
TEST_F(BadInput, ABatchOfManyRowsHearsCtrlCAndHoldsOnlyTheRowsInFlight) {
  std::string rows = "name,title,color\n";
  for (int i = 0; i < 20000; ++i) {
    rows += "Person " + std::to_string(i) + ",Title,#102a43\n";
  }
  const std::string names = Write("many.csv", rows).string();
  const std::string tag = Write("tag.json", ReadBytes(fs::path(QUORVEL_TEST_SOURCE_DIR) / "scenes" /
                                                      "batch" / "name_tag.json"))
                              .string();
  // The watchdog leaves 5 s after the stop (preparing every row first took 12 s here).
  const ProgramRun run = StoppedAfter(
      3, "batch " + Quoted(tag) + " " + Quoted(names) + " -o " + Quoted(Out("{name}.png")), 8);
  EXPECT_EQ(run.exit_code, 130) << run.err;
  EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
  ASSERT_FALSE(run.out.empty());
  EXPECT_LT(std::stol(run.out), 300 * 1024) << "KiB resident";
  for (const fs::directory_entry& entry : fs::directory_iterator(dir_ / "out")) {
    EXPECT_EQ(entry.path().extension(), ".png") << entry.path();
  }
}

// A caption of thousands of lines with a box per line: each line's layer takes its line from one
// layout, and Ctrl-C is heard between the layers (it was deaf for more than 90 s).
TEST_F(BadInput, APerLineCaptionOfManyLinesHearsCtrlC) {
  std::string cue = "1\n00:00:00,000 --> 00:00:02,000\n";
  for (int i = 0; i < 2000; ++i) cue += "a\n";
  const std::string subtitles = Write("lines.srt", cue).string();
  const std::string style = Write("style.json", Scene("caption_style.json")).string();
  const ProgramRun run = StoppedAfter(2,
                                      "captions " + Quoted(subtitles) + " -s " + Quoted(style) +
                                          " --per-line --frames 0 -o " + Quoted(Out("c_%d.png")),
                                      15);
  EXPECT_EQ(run.exit_code, 130) << run.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

// A cue whose box the host cannot hold is named, with why, before any frame renders.
TEST_F(BadInput, ACueTooLargeForTheHostIsNamedBeforeAnyFrame) {
  const std::string style = Write("style.json", Scene("caption_style.json")).string();
  // One word that no wrapping can break.
  std::string wide =
      "1\n00:00:00,000 --> 00:00:01,000\nfirst\n\n2\n00:00:01,000 --> 00:00:02,000\n";
  for (int i = 0; i < 1800; ++i) wide += "words";
  std::string high = "1\n00:00:00,000 --> 00:00:01,000\n";
  for (int i = 0; i < 4900; ++i) high += "a\n";
  ExpectRefused(
      {"captions", Write("wide.srt", wide + "\n").string(), "-s", style, "-o", Out("c_%d.png")},
      "wide.srt:6: this cue's box would be ");
  ExpectRefused(
      {"captions", Write("wide.srt", wide + "\n").string(), "-s", style, "-o", Out("c_%d.png")},
      " px wide, past the host's 30000 px: break the line or make the text smaller");
  ExpectRefused({"captions", Write("high.srt", high).string(), "-s", style, "-o", Out("c_%d.png")},
                " px high, past the host's 30000 px");
}

// Frames side by side share the memory budget: a frame that finds it used up by the other job
// waits for it, so that what renders on one job renders on two (it failed, by timing).
TEST_F(BadInput, FramesSideBySideShareTheMemoryBudgetRatherThanFail) {
  const std::string scene = Write("4k.json", R"({
    "composition": {"width": 3840, "height": 2160, "duration": 1},
    "layer": {"text": "Four K", "size": 600,
              "position": [{"t": 0, "v": [100, 600]}, {"t": 1, "v": [1500, 700]}]},
    "effect": {"Expansion Uniform": 300}})")
                                .string();
  for (const char* jobs : {"1", "2"}) {
    const ProgramRun run = Render({"render", scene, "-o", Out("f_%02d.png"), "--frames", "0-9",
                                   "--jobs", jobs, "--max-memory", "120M"});
    EXPECT_EQ(run.exit_code, 0) << jobs << " jobs: " << run.err;
  }
}

}  // namespace
}  // namespace quorvel
