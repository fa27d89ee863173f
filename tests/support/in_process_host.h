// SPDX-License-Identifier: MIT
// The headless host around the plug-in linked into the unit tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"
#include "headless/suites/suite_registry.h"
#include "host/entry_point.h"

namespace quorvel::test_support {

// After every command the plug-in must hold nothing of the host's.
inline void ExpectHoldsNothing(const headless::CommandResult& result) {
  EXPECT_TRUE(result.held.Empty())
      << "after command " << result.command << " the plug-in holds " << result.held.Describe();
  EXPECT_TRUE(result.escaped_exception.empty())
      << "an exception left the entry point: " << result.escaped_exception;
}

// An effect instance on the plug-in's EntryPointFunc, recording its host calls.
class InstanceTest : public ::testing::Test {
 protected:
  explicit InstanceTest(A_long application = headless::kApplicationAfterEffects)
      : instance_(&EntryPointFunc, Options(application)) {
    instance_.SetCallLog(&log_);
  }

  // Runs a command and checks that nothing is left held.
  headless::CommandResult Checked(const headless::CommandResult& result) {
    ExpectHoldsNothing(result);
    return result;
  }

  std::vector<std::string> HostCalls() const { return log_.Entries(); }

  headless::EffectInstance instance_;
  headless::CallLog log_;

 private:
  static headless::InstanceOptions Options(A_long application) {
    headless::InstanceOptions options;
    options.application = application;
    return options;
  }
};

// Host records filled by hand, for what an effect instance cannot express (no basic suite, a
// callback that throws). Calls into the host are still counted, recorded and open to faults.
class HandMadeRecords {
 public:
  HandMadeRecords() {
    headless::FillAnsiCallbacks(utils.ansi);
    in_data.utils = &utils;
    in_data.pica_basicP = headless::HostBasicSuite();
    context.faults = &faults;
    context.log = &log;
  }
  HandMadeRecords(const HandMadeRecords&) = delete;
  HandMadeRecords& operator=(const HandMadeRecords&) = delete;

  PF_Err Run(PF_Cmd command, PF_ParamDef** params = nullptr, PF_LayerDef* output = nullptr) {
    context.command = command;
    headless::ScopedCall scope(context);
    return EntryPointFunc(command, &in_data, &out_data, params, output, nullptr);
  }

  // Runs plug-in code that is not a command, as if inside one.
  template <typename Body>
  void Within(Body&& body) {
    headless::ScopedCall scope(context);
    body();
  }

  headless::FaultPlan faults;
  headless::CallLog log;
  headless::CallContext context;
  PF_UtilCallbacks utils{};
  PF_InData in_data{};
  PF_OutData out_data{};
};

}  // namespace quorvel::test_support
