// SPDX-License-Identifier: MIT
// The progress bar on a terminal: one line, redrawn in place, that never outgrows the terminal.
#include "cli/progress.h"

#include "cli/json_progress.h"
#include "compose/document/json_place.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quorvel::cli {
namespace {

using ::testing::HasSubstr;

TEST(Progress, FitsTheTerminalWithRateAndTimeLeft) {
  for (const int columns : {40, 80, 12}) {
    std::ostringstream stream;
    Progress progress(stream, true, 150, columns);
    progress.FrameDone(0, "");
    // Carriage return first, erase-to-end last: the line is drawn over itself.
    const std::string drawn = stream.str();
    ASSERT_EQ(drawn.front(), '\r');
    EXPECT_THAT(drawn, ::testing::EndsWith("\x1b[K"));
    const std::string line = progress.Line(2.0);  // 1 frame in 2 s: 0.5 fps, 298 s left
    EXPECT_LT(static_cast<int>(line.size()), columns) << line;
    if (columns >= 40) {
      EXPECT_THAT(line, HasSubstr("1/150  0.5 fps  4:58 left"));
      EXPECT_EQ(line.front(), '[');
    }
  }
}

// A warning from another thread gets a line of its own: on a terminal it takes the bar's line,
// and the bar is drawn again under it.
TEST(Progress, AMessageTakesALineOfItsOwn) {
  std::ostringstream lines;
  Progress plain(lines, false, 2, 80);
  plain.FrameDone(0, "encoded");
  plain.Message("quorvel-render: v.mp4: libx264: a warning");
  EXPECT_EQ(lines.str(), "frame 0 (1/2): encoded\nquorvel-render: v.mp4: libx264: a warning\n");

  std::ostringstream terminal;
  Progress bar(terminal, true, 2, 80);
  bar.FrameDone(0, "encoded");
  const size_t drawn = terminal.str().size();
  bar.Message("quorvel-render: v.mp4: libx264: a warning");
  const std::string after = terminal.str().substr(drawn);
  EXPECT_THAT(after,
              ::testing::StartsWith("\rquorvel-render: v.mp4: libx264: a warning\x1b[K\n\r["));
  EXPECT_THAT(after, HasSubstr("] 1/2 "));
  EXPECT_THAT(after, ::testing::EndsWith("\x1b[K"));
}

// A program reads the rate and the time left from the figures themselves: 2 of 10 frames in
// 1 s is 2 fps and 4 s left; before any time has passed there is no rate to tell.
TEST(Progress, JsonLinesTellTheRateTimeLeftAndRow) {
  using compose::Json;
  const Json line =
      Json::parse(ProgressJsonLine({2, 10, 1.0, "d.csv:3 (row 2)", "out/b.png", size_t{1},
                                    std::make_pair(size_t{1}, size_t{10})}));
  EXPECT_EQ(line["done"], 2);
  EXPECT_EQ(line["total"], 10);
  EXPECT_EQ(line["fps"], 2.0);
  EXPECT_EQ(line["seconds_left"], 4.0);
  EXPECT_EQ(line["row"], 2);
  EXPECT_EQ(line["rows_done"], 1);
  EXPECT_EQ(line["rows_total"], 10);
  EXPECT_EQ(line["detail"], "out/b.png");
  const Json first = Json::parse(ProgressJsonLine({1, 10, 0.0, "frame 0", "encoded", {}, {}}));
  EXPECT_TRUE(first["seconds_left"].is_null());
  EXPECT_FALSE(first.contains("row"));

  std::ostringstream stream;
  Progress progress(stream, true, 2, 80);
  progress.ReportAsJson();
  progress.FrameDone(0, "encoded");
  progress.Message("quorvel-render: v.mp4: libx264: a warning");
  std::istringstream lines(stream.str());
  std::string text;
  ASSERT_TRUE(std::getline(lines, text));
  EXPECT_EQ(Json::parse(text)["item"], "frame 0");
  ASSERT_TRUE(std::getline(lines, text));
  EXPECT_EQ(Json::parse(text)["message"], "quorvel-render: v.mp4: libx264: a warning");
  EXPECT_FALSE(std::getline(lines, text));
}

}  // namespace
}  // namespace quorvel::cli
