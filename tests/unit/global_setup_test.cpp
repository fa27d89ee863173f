// SPDX-License-Identifier: MIT
#include "host/global_setup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/in_process_host.h"

namespace quorvel {
namespace {

using Calls = std::vector<std::string>;
using test_support::InstanceTest;

class GlobalSetupInAfterEffects : public InstanceTest {};

class GlobalSetupInPremiere : public InstanceTest {
 protected:
  GlobalSetupInPremiere() : InstanceTest(headless::kApplicationPremierePro) {}
};

TEST_F(GlobalSetupInAfterEffects, SetsExactlyVersionAndFlags) {
  instance_.out_data().out_flags = PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  instance_.out_data().out_flags2 = 0x7;
  const headless::CommandResult result = Checked(instance_.GlobalSetup());
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_EQ(result.out_data.my_version, 0x00090001u);
  EXPECT_EQ(result.out_data.out_flags, 0x00080044);
  EXPECT_EQ(result.out_data.out_flags2, 0);
}

TEST_F(GlobalSetupInAfterEffects, AcquiresNoSuite) {
  Checked(instance_.GlobalSetup());
  EXPECT_TRUE(HostCalls().empty());
  EXPECT_TRUE(instance_.SupportedPixelFormats().empty());
}

TEST_F(GlobalSetupInPremiere, SetsExactlyVersionAndFlags) {
  const headless::CommandResult result = Checked(instance_.GlobalSetup());
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_EQ(result.out_data.my_version, 0x00090001u);
  EXPECT_EQ(result.out_data.out_flags, 0x00080044);
  EXPECT_EQ(result.out_data.out_flags2, 0);
}

TEST_F(GlobalSetupInPremiere, RegistersOnlyEightBitBgraAfterClearingTheList) {
  Checked(instance_.GlobalSetup());
  EXPECT_EQ(HostCalls(),
            (Calls{"AcquireSuite PF Pixel Format Suite 1", "ClearSupportedPixelFormats",
                   "AddSupportedPixelFormat 0x61726762", "ReleaseSuite PF Pixel Format Suite 1"}));
  ASSERT_EQ(instance_.SupportedPixelFormats().size(), 1u);
  EXPECT_EQ(static_cast<uint32_t>(instance_.SupportedPixelFormats()[0]), 0x61726762u);
}

TEST_F(GlobalSetupInPremiere, RunTwiceStillRegistersOneFormat) {
  Checked(instance_.GlobalSetup());
  Checked(instance_.GlobalSetup());
  ASSERT_EQ(instance_.SupportedPixelFormats().size(), 1u);
  EXPECT_EQ(instance_.SupportedPixelFormats()[0], PrPixelFormat_BGRA_4444_8u);
}

TEST_F(GlobalSetupInPremiere, RefusedPixelFormatSuiteIsNoError) {
  instance_.faults().RefuseSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1);
  const headless::CommandResult result = Checked(instance_.GlobalSetup());
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_EQ(result.out_data.my_version, 0x00090001u);
  EXPECT_EQ(result.out_data.out_flags, 0x00080044);
  EXPECT_TRUE(instance_.SupportedPixelFormats().empty());
  EXPECT_EQ(HostCalls(), Calls{"AcquireSuite PF Pixel Format Suite 1"});
}

TEST_F(GlobalSetupInPremiere, PixelFormatSuiteGivenAsNullIsNoErrorAndNotReleased) {
  instance_.faults().RefuseSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1,
                                 headless::SuiteFaultMode::kNullPointer);
  const headless::CommandResult result = Checked(instance_.GlobalSetup());
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_TRUE(instance_.SupportedPixelFormats().empty());
  EXPECT_EQ(HostCalls(), Calls{"AcquireSuite PF Pixel Format Suite 1"});
}

TEST(GlobalSetupWithoutBasicSuite, InPremiereRegistersNothingAndSucceeds) {
  test_support::HandMadeRecords host;
  host.in_data.appl_id = headless::kApplicationPremierePro;
  host.in_data.pica_basicP = nullptr;
  EXPECT_EQ(host.Run(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  EXPECT_EQ(host.out_data.my_version, 0x00090001u);
  EXPECT_EQ(host.out_data.out_flags, 0x00080044);
  EXPECT_TRUE(host.context.ledger.Empty()) << host.context.ledger.Describe();
}

}  // namespace
}  // namespace quorvel
