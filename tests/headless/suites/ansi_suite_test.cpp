// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "headless/instance/call_context.h"
#include "headless/suites/suite_registry.h"

namespace quorvel::headless {
namespace {

const PF_ANSICallbacksSuite1& AnsiSuite() {
  return *static_cast<const PF_ANSICallbacksSuite1*>(
      SuiteRegistry::Host().Find("PF ANSI Suite", 1));
}

TEST(AnsiSuite, SprintfFormatsLikeTheCLibrary) {
  char buffer[256];
  EXPECT_EQ(AnsiSuite().sprintf(buffer, "%s, v%d.%d", "Quorvel", 1, 2), 13);
  EXPECT_STREQ(buffer, "Quorvel, v1.2");
}

TEST(AnsiSuite, SprintfWritesAtMost256Bytes) {
  char buffer[300];
  std::memset(buffer, 'X', sizeof buffer);
  const std::string long_text(290, 'a');
  EXPECT_EQ(AnsiSuite().sprintf(buffer, "%s", long_text.c_str()), 255);
  EXPECT_EQ(buffer[254], 'a');
  EXPECT_EQ(buffer[255], '\0');
  EXPECT_EQ(buffer[256], 'X');
}

TEST(AnsiSuite, StrcpyCopiesAParameterName) {
  char name[32];
  EXPECT_EQ(AnsiSuite().strcpy(name, "Roundness"), name);
  EXPECT_STREQ(name, "Roundness");
}

TEST(AnsiSuite, StrcpyWritesAtMostAParameterNameField) {
  char buffer[40];
  std::memset(buffer, 'X', sizeof buffer);
  AnsiSuite().strcpy(buffer, std::string(39, 'b').c_str());
  EXPECT_EQ(std::strlen(buffer), 31u);
  EXPECT_EQ(buffer[32], 'X');
}

TEST(AnsiSuite, OffersTheMathFunctions) {
  EXPECT_DOUBLE_EQ(AnsiSuite().cos(0.0), 1.0);
  EXPECT_DOUBLE_EQ(AnsiSuite().sin(0.0), 0.0);
  EXPECT_DOUBLE_EQ(AnsiSuite().atan2(1.0, 1.0), std::atan(1.0));
  EXPECT_DOUBLE_EQ(AnsiSuite().sqrt(16.0), 4.0);
}

TEST(AnsiSuite, RecordsSprintfAndStrcpyCalls) {
  CallLog log;
  CallContext context;
  context.log = &log;
  ScopedCall scope(context);
  char buffer[32];
  AnsiSuite().strcpy(buffer, "Shape");
  AnsiSuite().sprintf(buffer, "%d", 7);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"strcpy", "sprintf"}));
}

TEST(AnsiCallbacks, AreTheSuitesFunctions) {
  PF_ANSICallbacks ansi{};
  FillAnsiCallbacks(ansi);
  EXPECT_EQ(ansi.sprintf, AnsiSuite().sprintf);
  EXPECT_EQ(ansi.strcpy, AnsiSuite().strcpy);
  EXPECT_EQ(ansi.cos, AnsiSuite().cos);
  EXPECT_EQ(ansi.acos, AnsiSuite().acos);
}

}  // namespace
}  // namespace quorvel::headless
