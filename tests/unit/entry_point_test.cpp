// SPDX-License-Identifier: MIT
#include "host/entry_point.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/in_process_host.h"

namespace quorvel {
namespace {

using test_support::HandMadeRecords;

constexpr unsigned char kHostPattern = 0xA5;

TEST(EntryPointDispatch, UnhandledCommandsReturnZeroAndTouchNoRecord) {
  const std::vector<PF_Cmd> unhandled = {2,  3,  5,  6,  7,  8,  9,  10, 12, 13, 14,
                                         15, 16, 17, 18, 23, 24, 33, 34, 99, -1};
  for (const PF_Cmd command : unhandled) {
    HandMadeRecords host;
    std::memset(&host.out_data, kHostPattern, sizeof host.out_data);
    PF_InData in_before;
    std::memcpy(&in_before, &host.in_data, sizeof in_before);
    PF_OutData out_before;
    std::memcpy(&out_before, &host.out_data, sizeof out_before);
    PF_LayerDef output;
    std::memset(&output, kHostPattern, sizeof output);
    PF_LayerDef output_before = output;

    EXPECT_EQ(host.Run(command, nullptr, &output), PF_Err_NONE) << "command " << command;
    EXPECT_EQ(std::memcmp(&host.in_data, &in_before, sizeof in_before), 0) << command;
    EXPECT_EQ(std::memcmp(&host.out_data, &out_before, sizeof out_before), 0) << command;
    EXPECT_EQ(std::memcmp(&output, &output_before, sizeof output), 0) << command;
    EXPECT_TRUE(host.log.Entries().empty()) << "command " << command << " called the host";
    EXPECT_TRUE(host.context.ledger.Empty()) << host.context.ledger.Describe();
  }
}

TEST(EntryPointDispatch, UserChangedParamIsAnsweredWithSuccessOnAnInstance) {
  headless::CallLog log;
  headless::EffectInstance instance(&EntryPointFunc);
  instance.SetCallLog(&log);
  const headless::CommandResult result = instance.Run(PF_Cmd_USER_CHANGED_PARAM);
  test_support::ExpectHoldsNothing(result);
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_TRUE(log.Entries().empty());
}

// Parameter set-up names each parameter through the host's strcpy, which these replace.
PF_Err ParamsSetupWithStrcpy(HandMadeRecords& host, A_char* (*strcpy)(A_char*, const A_char*)) {
  host.utils.ansi.strcpy = strcpy;
  return host.Run(PF_Cmd_PARAMS_SETUP);
}

TEST(EntryPointFailures, ThrownIntegerBecomesTheCommandsResult) {
  HandMadeRecords host;
  const PF_Err result = ParamsSetupWithStrcpy(
      host, [](A_char*, const A_char*) -> A_char* { throw static_cast<PF_Err>(1234); });
  EXPECT_EQ(result, 1234);
  EXPECT_TRUE(host.context.ledger.Empty()) << host.context.ledger.Describe();
}

TEST(EntryPointFailures, MemoryExhaustionBecomesOutOfMemory) {
  HandMadeRecords host;
  const PF_Err result = ParamsSetupWithStrcpy(
      host, [](A_char*, const A_char*) -> A_char* { throw std::bad_alloc(); });
  EXPECT_EQ(result, PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(host.context.ledger.Empty()) << host.context.ledger.Describe();
}

TEST(EntryPointFailures, AnyOtherExceptionBecomesInternalStructDamaged) {
  HandMadeRecords host;
  const PF_Err result = ParamsSetupWithStrcpy(host, [](A_char*, const A_char*) -> A_char* {
    throw std::runtime_error("a library failed");
  });
  EXPECT_EQ(result, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_TRUE(host.context.ledger.Empty()) << host.context.ledger.Describe();
}

TEST(EntryPointFailures, MissingSuiteThrownByAHandlerIsReturnedAs516) {
  headless::EffectInstance instance(&EntryPointFunc);
  instance.faults().RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  const headless::CommandResult result = instance.About();
  test_support::ExpectHoldsNothing(result);
  EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
}

TEST(EntryPointFailures, RenderWithoutTheWorldSuiteReturns13WithTheHostsMessage) {
  headless::EffectInstance instance(&EntryPointFunc);
  test_support::ExpectHoldsNothing(instance.ParamsSetup());
  instance.faults().RefuseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
  std::vector<PF_ParamDef> params = instance.ParamsAt(0);
  std::vector<PF_ParamDef*> param_pointers;
  for (PF_ParamDef& param : params) {
    param_pointers.push_back(&param);
  }
  PF_LayerDef output{};
  const headless::CommandResult result = instance.RunCommand(
      PF_Cmd_RENDER, param_pointers.data(), &output,
      headless::FrameTimesAt(instance.scene().composition, instance.scene().layer, 0));
  test_support::ExpectHoldsNothing(result);
  EXPECT_EQ(result.err, A_Err_MISSING_SUITE);
  EXPECT_TRUE(result.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
  EXPECT_STREQ(result.out_data.return_msg, "Not able to acquire AEFX Suite.");
}

}  // namespace
}  // namespace quorvel
