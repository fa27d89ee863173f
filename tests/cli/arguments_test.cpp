// SPDX-License-Identifier: MIT
// The command line: options, frame ranges and output names.
#include "cli/arguments.h"

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/output_path.h"
#include "compose/render/output_pattern.h"

namespace quorvel::cli {
namespace {

using compose::FrameRange;
using compose::OutputPattern;

TEST(OutputPattern, PadsTheFrameNumberToTheWidthGiven) {
  const OutputPattern pattern("out/frame_%04d.png");
  EXPECT_TRUE(pattern.HasFrameNumber());
  EXPECT_EQ(pattern.ForFrame(7), "out/frame_0007.png");
  EXPECT_EQ(pattern.ForFrame(12345), "out/frame_12345.png");
}

TEST(OutputPattern, TakesANameWithoutFieldAsItIsBarTheEscapedPercentSign) {
  const OutputPattern pattern("out/100%%.png");
  EXPECT_FALSE(pattern.HasFrameNumber());
  EXPECT_EQ(pattern.ForFrame(3), "out/100%.png");
}

TEST(OutputPattern, RefusesOtherFieldsAndASecondNumber) {
  EXPECT_THROW(OutputPattern("out/%s.png"), compose::ArgumentError);
  EXPECT_THROW(OutputPattern("out/%d_%d.png"), compose::ArgumentError);
  EXPECT_THROW(OutputPattern("out/50%"), compose::ArgumentError);
}

TEST(FrameRange, ReadsARangeOrOneFrame) {
  const FrameRange range = ParseFrameRange("12-40", "--frames");
  EXPECT_EQ(range.first, 12);
  EXPECT_EQ(range.last, 40);
  EXPECT_EQ(range.Count(), 29);
  EXPECT_EQ(ParseFrameRange("7", "--frames").Count(), 1);
}

TEST(FrameRange, RefusesABackwardOrNegativeRange) {
  EXPECT_THROW(ParseFrameRange("9-3", "--frames"), UsageError);
  EXPECT_THROW(ParseFrameRange("-3-5", "--frames"), UsageError);
  EXPECT_THROW(ParseFrameRange("1-x", "--frames"), UsageError);
}

TEST(Arguments, ReadsARenderOfASequence) {
  const Invocation invocation = ParseArguments(
      {"render", "scene.json", "-o", "out/f_%04d.png", "--frames=0-23", "--jobs", "2"});
  EXPECT_EQ(invocation.command, CommandName::kRender);
  EXPECT_EQ(invocation.scene, "scene.json");
  EXPECT_EQ(invocation.output, "out/f_%04d.png");
  ASSERT_TRUE(invocation.frames);
  EXPECT_EQ(invocation.frames->last, 23);
  EXPECT_EQ(invocation.jobs, 2);
}

TEST(Arguments, TakesDescribesModuleAsAnArgument) {
  EXPECT_EQ(ParseArguments({"describe", "other/Quorvel.so"}).module, "other/Quorvel.so");
  EXPECT_THROW(ParseArguments({"describe", "a.so", "--module", "b.so"}), UsageError);
}

TEST(Arguments, RefusesWhatACommandDoesNotTake) {
  EXPECT_THROW(ParseArguments({"render", "scene.json"}), UsageError);
  EXPECT_THROW(
      ParseArguments({"render", "scene.json", "-o", "a.png", "--frame", "1", "--frames", "1-2"}),
      UsageError);
  EXPECT_THROW(ParseArguments({"sheet", "scene.json", "-o", "sheet.png"}), UsageError);
  EXPECT_THROW(ParseArguments({"render", "scene.json", "-o", "a.png", "--jobs", "0"}), UsageError);
  EXPECT_THROW(ParseArguments({"paint", "scene.json"}), UsageError);
  EXPECT_NO_THROW(ParseArguments({"captions", "s.srt", "-o", "a.webm"}));  // the built-in style
  EXPECT_THROW(
      ParseArguments({"captions", "s.srt", "-s", "x.json", "-o", "a.webm", "--fade", "-1"}),
      UsageError);
  EXPECT_THROW(ParseArguments({"batch", "t.json", "-o", "{name}.png"}), UsageError);
  EXPECT_THROW(ParseArguments({"batch", "-", "-", "-o", "{name}.png"}), UsageError);
  EXPECT_THROW(ParseArguments({"render", "s.json", "-o", "a.png", "--per-line"}), UsageError);
  // Sizes are decimal numbers with a unit: hexadecimal, exponents and "inf" are refused.
  for (const char* size : {"0x4000000", "1e9", "inf", "64MB", "-1G", "1.G"}) {
    EXPECT_THROW(ParseArguments({"render", "s.json", "-o", "a.png", "--max-memory", size}),
                 UsageError)
        << size;
  }
  EXPECT_EQ(ParseArguments({"render", "s.json", "-o", "a.png", "--max-memory", "1.5GiB"})
                .max_memory.value_or(0),
            uint64_t{3} << 29);
  const Invocation captions =
      ParseArguments({"captions", "-", "-s", "style.json", "-o", "a.webm", "--per-line",
                      "--fade=0.25", "--encoding", "SHIFT_JIS"});
  EXPECT_EQ(captions.subtitles, "-");
  EXPECT_EQ(captions.encoding, "SHIFT_JIS");
  EXPECT_THROW(ParseArguments({"render", "s.json", "-o", "a.png", "--encoding", "UTF-8"}),
               UsageError);  // subtitles only
  EXPECT_TRUE(captions.per_line);
  EXPECT_EQ(captions.fade_seconds, 0.25);
}

}  // namespace
}  // namespace quorvel::cli
