// SPDX-License-Identifier: MIT
#include "host/about.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/in_process_host.h"

namespace quorvel {
namespace {

using Calls = std::vector<std::string>;

constexpr char kExpectedAbout[] =
    "Quorvel, v1.2\r"
    "Creates a shape behind text that updates automatically with the source text. \n"
    "Ostrevane\n"
    "https://ostrevane.example/quorvel\n";
constexpr char kHostText[] = "the host's own text";

class AboutInAfterEffects : public test_support::InstanceTest {
 protected:
  void SetUp() override { std::strcpy(instance_.out_data().return_msg, kHostText); }
};

class AboutInPremiere : public test_support::InstanceTest {
 protected:
  AboutInPremiere() : InstanceTest(headless::kApplicationPremierePro) {}
  void SetUp() override { std::strcpy(instance_.out_data().return_msg, kHostText); }
};

TEST_F(AboutInAfterEffects, WritesNameVersionAndDescription) {
  const headless::CommandResult result = Checked(instance_.About());
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_STREQ(result.out_data.return_msg, kExpectedAbout);
}

TEST_F(AboutInAfterEffects, DescriptionIs77CharactersThenThreeLinesEachEndedByLineFeed) {
  const std::string text = Checked(instance_.About()).out_data.return_msg;
  const std::string first_line = "Quorvel, v1.2\r";
  ASSERT_EQ(text.compare(0, first_line.size(), first_line), 0) << text;
  const std::string description = text.substr(first_line.size());
  EXPECT_EQ(description.find('\n'), 77u);
  EXPECT_EQ(description.back(), '\n');
  EXPECT_EQ(std::count(description.begin(), description.end(), '\n'), 3);
}

TEST_F(AboutInAfterEffects, FormatsThroughTheAnsiSuiteAndReleasesIt) {
  Checked(instance_.About());
  EXPECT_EQ(HostCalls(),
            (Calls{"AcquireSuite PF ANSI Suite 1", "sprintf", "ReleaseSuite PF ANSI Suite 1"}));
}

TEST_F(AboutInAfterEffects, RefusedAnsiSuiteReturns516AndLeavesTheMessage) {
  instance_.faults().RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  const headless::CommandResult result = Checked(instance_.About());
  EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(result.out_data.return_msg, kHostText);
  EXPECT_EQ(result.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
}

TEST_F(AboutInAfterEffects, AnsiSuiteGivenAsNullReturns516AndLeavesTheMessage) {
  instance_.faults().RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1,
                                 headless::SuiteFaultMode::kNullPointer);
  const headless::CommandResult result = Checked(instance_.About());
  EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(result.out_data.return_msg, kHostText);
}

TEST_F(AboutInPremiere, ReturnsZeroAndLeavesTheMessage) {
  const headless::CommandResult result = Checked(instance_.About());
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_STREQ(result.out_data.return_msg, kHostText);
  EXPECT_TRUE(HostCalls().empty());
}

TEST(AboutWithoutBasicSuite, Returns516AndLeavesTheMessage) {
  test_support::HandMadeRecords host;
  host.in_data.pica_basicP = nullptr;
  std::strcpy(host.out_data.return_msg, kHostText);
  EXPECT_EQ(host.Run(PF_Cmd_ABOUT), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(host.out_data.return_msg, kHostText);
  EXPECT_TRUE(host.log.Entries().empty());
  EXPECT_TRUE(host.context.ledger.Empty()) << host.context.ledger.Describe();
}

}  // namespace
}  // namespace quorvel
