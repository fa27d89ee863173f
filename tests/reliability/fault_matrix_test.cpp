// SPDX-License-Identifier: MIT
// Every host service that a command uses, refused or failed in turn, through the built module:
// the command answers the code its behaviour prescribes, the output is never half-drawn and
// reported as success, and the host holds nothing afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "headless/composition/frame_render.h"
#include "headless/instance/effect_instance.h"
#include "headless/loading/module.h"
#include "tests/reliability/reliability_support.h"

namespace quorvel {
namespace {

using headless::CallLog;
using headless::CommandResult;
using headless::EffectInstance;
using headless::FailingCall;
using headless::ParamValue;
using headless::SuiteFaultMode;

constexpr PF_Err kInjectedError = PF_Err_OUT_OF_MEMORY;
constexpr char kAcquireFailedMessage[] = "Not able to acquire AEFX Suite.";

// A command under test: how to make its instance ready, and how to run it.
struct CommandCase {
  std::string name;
  A_long application = headless::kApplicationAfterEffects;
  // Runs the command; a render returns its output too.
  std::function<CommandResult(EffectInstance&, headless::OwnedWorld*)> run;
  bool is_render = false;
  // Render settings applied after parameter set-up.
  std::function<void(EffectInstance&)> configure;
};

struct SuiteId {
  std::string name;
  int32_t version;
  bool operator<(const SuiteId& other) const {
    return name != other.name ? name < other.name : version < other.version;
  }
};

// What a clean run of the command used.
struct Services {
  std::set<SuiteId> suites;
  int handles = 0;
  int worlds = 0;
  int add_params = 0;
  int checkouts = 0;
};

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

Services ServicesIn(const std::vector<std::string>& entries) {
  Services services;
  for (const std::string& entry : entries) {
    if (StartsWith(entry, "AcquireSuite ")) {
      const size_t last_space = entry.rfind(' ');
      const std::string name = entry.substr(13, last_space - 13);
      services.suites.insert({name, std::stoi(entry.substr(last_space + 1))});
    } else if (StartsWith(entry, "host_new_handle")) {
      ++services.handles;
    } else if (StartsWith(entry, "PF_NewWorld")) {
      ++services.worlds;
    } else if (StartsWith(entry, "add_param")) {
      ++services.add_params;
    } else if (StartsWith(entry, "checkout_param")) {
      ++services.checkouts;
    }
  }
  return services;
}

// The suites the render holds for its whole length: refusing them is reported to the user.
bool IsScopedRenderSuite(const SuiteId& suite) {
  return (suite.name == kPFWorldSuite && suite.version == 2) ||
         (suite.name == kPFFillMatteSuite && suite.version == 2);
}

class FaultMatrix : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = std::make_unique<headless::Module>(QUORVEL_MODULE_PATH);
  }
  static void TearDownTestSuite() { module_.reset(); }

  static std::unique_ptr<EffectInstance> MakeInstance(const CommandCase& command) {
    headless::InstanceOptions options;
    options.application = command.application;
    auto instance = std::make_unique<EffectInstance>(*module_, options);
    reliability::UseSmallTextScene(instance->mutable_scene());
    if (command.is_render) {
      EXPECT_EQ(instance->GlobalSetup().err, PF_Err_NONE);
      EXPECT_EQ(instance->ParamsSetup().err, PF_Err_NONE);
      instance->SetConstant("Expansion Uniform", ParamValue::Number(6));
      instance->SetConstant("Fill Color", ParamValue::Color(PF_Pixel{255, 0, 0, 255}));
      if (command.configure) command.configure(*instance);
    }
    return instance;
  }

  static std::vector<CommandCase> Commands();

  static std::unique_ptr<headless::Module> module_;
};

std::unique_ptr<headless::Module> FaultMatrix::module_;

CommandResult RenderInto(EffectInstance& instance, headless::OwnedWorld* output) {
  headless::RenderedFrame frame =
      headless::RenderFrame(instance, {reliability::kMotionFrame, reliability::kHandedOver});
  *output = std::move(frame.output);
  return frame.result;
}

CommandCase RenderCase(std::string name, std::function<void(EffectInstance&)> configure) {
  CommandCase command;
  command.name = "render, " + std::move(name);
  command.is_render = true;
  command.run = RenderInto;
  command.configure = std::move(configure);
  return command;
}

CommandCase PlainCase(std::string name, A_long application,
                      std::function<CommandResult(EffectInstance&)> run) {
  CommandCase command;
  command.name = std::move(name);
  command.application = application;
  command.run = [run](EffectInstance& instance, headless::OwnedWorld*) { return run(instance); };
  return command;
}

std::vector<CommandCase> FaultMatrix::Commands() {
  std::vector<CommandCase> commands;
  commands.push_back(PlainCase("about", headless::kApplicationAfterEffects,
                               [](EffectInstance& i) { return i.About(); }));
  commands.push_back(PlainCase("global set-up in After Effects", headless::kApplicationAfterEffects,
                               [](EffectInstance& i) { return i.GlobalSetup(); }));
  commands.push_back(PlainCase("global set-up in Premiere Pro", headless::kApplicationPremierePro,
                               [](EffectInstance& i) { return i.GlobalSetup(); }));
  commands.push_back(PlainCase("parameter set-up", headless::kApplicationAfterEffects,
                               [](EffectInstance& i) { return i.ParamsSetup(); }));
  commands.push_back(RenderCase("Auto", nullptr));
  commands.push_back(RenderCase("Auto, rounded, in Premiere Pro", [](EffectInstance& i) {
    i.SetConstant("Roundness", ParamValue::Number(50));
  }));
  commands.back().application = headless::kApplicationPremierePro;
  commands.push_back(RenderCase(
      "Square", [](EffectInstance& i) { i.SetConstant("Shape", ParamValue::Integer(2)); }));
  commands.push_back(RenderCase(
      "Circle", [](EffectInstance& i) { i.SetConstant("Shape", ParamValue::Integer(3)); }));
  commands.push_back(RenderCase("Auto with border", [](EffectInstance& i) {
    i.SetConstant("Enable Border", ParamValue::Boolean(true));
    i.SetConstant("Border Width", ParamValue::Number(4));
  }));
  commands.push_back(RenderCase("Circle with border", [](EffectInstance& i) {
    i.SetConstant("Shape", ParamValue::Integer(3));
    i.SetConstant("Enable Border", ParamValue::Boolean(true));
    i.SetConstant("Border Width", ParamValue::Number(4));
  }));
  commands.push_back(
      RenderCase("motion blur", [](EffectInstance& i) { reliability::UseMotionBlur(i); }));
  commands.push_back(RenderCase("motion blur with border", [](EffectInstance& i) {
    reliability::UseMotionBlur(i);
    i.SetConstant("Enable Border", ParamValue::Boolean(true));
  }));
  commands.push_back(RenderCase("matte", [](EffectInstance& i) {
    i.SetConstant("Matte Text to Fill", ParamValue::Boolean(true));
  }));
  commands.push_back(RenderCase("subtract", [](EffectInstance& i) {
    i.SetConstant("Subtract Text from Fill", ParamValue::Boolean(true));
  }));
  return commands;
}

// One faulted run and what it must show.
struct Expectation {
  PF_Err err = PF_Err_NONE;
  bool reports_missing_suite = false;  // flag 0x100 and the message
  bool output_cleared = false;         // an error after the output was cleared
  // The last compositing step's suite: the box is in the output already, the text is not.
  bool box_without_text = false;
};

class MatrixRun {
 public:
  MatrixRun(const CommandCase& command, EffectInstance& instance)
      : command_(command), instance_(instance) {}

  void Check(const std::string& fault, const Expectation& expected) {
    SCOPED_TRACE(command_.name + ": " + fault);
    ++cases_;
    headless::OwnedWorld output(1, 1);
    const CommandResult result = command_.run(instance_, &output);
    instance_.faults().Clear();

    EXPECT_TRUE(result.escaped_exception.empty()) << result.escaped_exception;
    EXPECT_EQ(result.err, expected.err);
    EXPECT_TRUE(result.held.Empty()) << "held " << result.held.Describe();
    const bool flagged = (result.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0;
    EXPECT_EQ(flagged, expected.reports_missing_suite);
    if (expected.reports_missing_suite) {
      EXPECT_STREQ(result.out_data.return_msg, kAcquireFailedMessage);
    } else if (result.err != PF_Err_NONE) {
      EXPECT_STREQ(result.out_data.return_msg, "") << "the host's message is left alone";
    }
    if (!command_.is_render) return;

    const bool untouched = reliability::AllPixelsAre(output.world(), reliability::kHandedOver);
    const bool cleared = reliability::AllPixelsAre(output.world(), PF_Pixel{0, 0, 0, 0});
    if (result.err != PF_Err_NONE) {
      if (expected.box_without_text) {
        EXPECT_FALSE(untouched || cleared) << "the box was placed before the text step failed";
      } else if (expected.output_cleared) {
        EXPECT_TRUE(cleared) << "an error after the output was cleared leaves it cleared";
      } else {
        EXPECT_TRUE(untouched || cleared) << "an error leaves the output untouched or cleared";
      }
    } else {
      // A success is a finished frame: never the output as handed over when a clean run drew.
      EXPECT_FALSE(untouched);
    }
  }

  int cases() const { return cases_; }

 private:
  const CommandCase& command_;
  EffectInstance& instance_;
  int cases_ = 0;
};

// Out data as the host hands it over for every command: no flags, no message.
void ResetOutData(EffectInstance& instance) {
  instance.out_data() = PF_OutData{};
}

TEST_F(FaultMatrix, EveryRefusedOrFailedHostServiceIsSurvivedWithNothingHeld) {
  int total = 0;
  for (const CommandCase& command : Commands()) {
    SCOPED_TRACE(command.name);
    std::unique_ptr<EffectInstance> instance = MakeInstance(command);

    CallLog log;
    instance->SetCallLog(&log);
    headless::OwnedWorld clean(1, 1);
    ResetOutData(*instance);
    const CommandResult clean_result = command.run(*instance, &clean);
    instance->SetCallLog(nullptr);
    ASSERT_EQ(clean_result.err, PF_Err_NONE);
    ASSERT_TRUE(clean_result.held.Empty()) << clean_result.held.Describe();
    if (command.is_render) {
      ASSERT_FALSE(reliability::AllPixelsAre(clean.world(), reliability::kHandedOver));
    }
    const Services services = ServicesIn(log.Entries());

    MatrixRun run(command, *instance);
    for (const SuiteId& suite : services.suites) {
      for (const SuiteFaultMode mode : {SuiteFaultMode::kError, SuiteFaultMode::kNullPointer}) {
        Expectation expected;
        if (suite.name == kPFPixelFormatSuite) {
          expected.err = PF_Err_NONE;  // Premiere Pro's pixel format table is optional
        } else if (command.is_render && IsScopedRenderSuite(suite)) {
          expected.err = A_Err_MISSING_SUITE;
          expected.reports_missing_suite = true;
        } else {
          expected.err = PF_Err_BAD_CALLBACK_PARAM;
          expected.box_without_text = command.is_render && suite.name == kPFWorldTransformSuite;
        }
        ResetOutData(*instance);
        instance->faults().RefuseSuite(suite.name, suite.version, mode);
        run.Check("suite " + suite.name + " " + std::to_string(suite.version) +
                      (mode == SuiteFaultMode::kError ? " refused" : " given as null"),
                  expected);
      }
    }
    // A refused handle skips the pass it gates, as the drawing prescribes; the frame succeeds.
    for (int nth = 1; nth <= services.handles; ++nth) {
      ResetOutData(*instance);
      instance->faults().FailCall(FailingCall::kNewHandle, nth);
      run.Check("handle " + std::to_string(nth) + " refused", Expectation{});
    }
    // A working world the host cannot make: its error, and a cleared frame.
    for (int nth = 1; nth <= services.worlds; ++nth) {
      ResetOutData(*instance);
      instance->faults().FailCall(FailingCall::kNewWorld, nth, kInjectedError);
      Expectation expected;
      expected.err = kInjectedError;
      expected.output_cleared = true;
      run.Check("world " + std::to_string(nth) + " not made", expected);
    }
    for (int nth = 1; nth <= services.add_params; ++nth) {
      ResetOutData(*instance);
      instance->faults().FailCall(FailingCall::kAddParam, nth, kInjectedError);
      Expectation expected;
      expected.err = kInjectedError;
      run.Check("add_param " + std::to_string(nth) + " failed", expected);
    }
    // A transform value the host cannot give is not examined: the frame goes on.
    for (int nth = 1; nth <= services.checkouts; ++nth) {
      ResetOutData(*instance);
      instance->faults().FailCall(FailingCall::kCheckoutParam, nth, kInjectedError);
      run.Check("checkout_param " + std::to_string(nth) + " failed", Expectation{});
    }
    std::cout << "[ fault matrix ] " << command.name << ": " << services.suites.size()
              << " suites, " << services.handles << " handles, " << services.worlds << " worlds, "
              << services.add_params << " add_param, " << services.checkouts
              << " checkout_param: " << run.cases() << " cases\n";
    total += run.cases();
  }
  std::cout << "[ fault matrix ] " << total << " cases run\n";
  RecordProperty("fault_matrix_cases", total);
  EXPECT_GT(total, 300);
}

}  // namespace
}  // namespace quorvel
