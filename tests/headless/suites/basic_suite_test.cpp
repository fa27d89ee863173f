// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"
#include "headless/suites/suite_registry.h"
#include "tests/headless/test_effect.h"
#include "tests/headless/text_matchers.h"

namespace quorvel::headless {
namespace {

using test::HasSubstr;

class BasicSuiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.faults = &faults;
    context.log = &log;
  }

  SPErr Acquire(const char* name, int32_t version) {
    suite = reinterpret_cast<const void*>(&suite);  // anything but null, to see it cleared
    return basic->AcquireSuite(name, version, &suite);
  }

  SPBasicSuite* basic = HostBasicSuite();
  FaultPlan faults;
  CallLog log;
  CallContext context;
  const void* suite = nullptr;
};

TEST_F(BasicSuiteTest, GivesARegisteredSuiteAndCountsItUntilReleased) {
  ScopedCall scope(context);
  EXPECT_EQ(Acquire("PF ANSI Suite", 1), kSPNoError);
  EXPECT_EQ(suite, SuiteRegistry::Host().Find("PF ANSI Suite", 1));
  EXPECT_EQ(context.ledger.Held(HeldKind::kSuite), 1);
  EXPECT_EQ(context.ledger.Describe(), "1 suite");

  EXPECT_EQ(basic->ReleaseSuite("PF ANSI Suite", 1), kSPNoError);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(BasicSuiteTest, RefusesAVersionItDoesNotImplement) {
  ScopedCall scope(context);
  EXPECT_EQ(Acquire("PF ANSI Suite", 2), kSPSuiteNotFoundError);
  EXPECT_EQ(suite, nullptr);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(BasicSuiteTest, RefusesASuiteWithAnErrorWhenTheFaultPlanSaysSo) {
  faults.RefuseSuite("PF ANSI Suite", 1, SuiteFaultMode::kError);
  ScopedCall scope(context);
  EXPECT_EQ(Acquire("PF ANSI Suite", 1), kSPSuiteNotFoundError);
  EXPECT_EQ(suite, nullptr);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(BasicSuiteTest, AnswersARefusedSuiteWithSuccessAndANullPointerWhenAsked) {
  faults.RefuseSuite("PF ANSI Suite", 1, SuiteFaultMode::kNullPointer);
  ScopedCall scope(context);
  EXPECT_EQ(Acquire("PF ANSI Suite", 1), kSPNoError);
  EXPECT_EQ(suite, nullptr);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(BasicSuiteTest, RefusesOnlyTheNamedVersion) {
  faults.RefuseSuite("PF ANSI Suite", 2);
  ScopedCall scope(context);
  EXPECT_EQ(Acquire("PF ANSI Suite", 1), kSPNoError);
  EXPECT_NE(suite, nullptr);
}

TEST_F(BasicSuiteTest, ShowsAReleaseOfASuiteNeverAcquired) {
  ScopedCall scope(context);
  basic->ReleaseSuite("PF ANSI Suite", 1);
  EXPECT_FALSE(context.ledger.Empty());
  EXPECT_EQ(context.ledger.Held(HeldKind::kSuite), -1);
}

TEST_F(BasicSuiteTest, ShowsAWrongReleaseEvenWhenTheCountBalances) {
  ScopedCall scope(context);
  ASSERT_EQ(Acquire("PF ANSI Suite", 1), kSPNoError);
  basic->ReleaseSuite("PF World Suite", 2);
  EXPECT_EQ(context.ledger.Held(HeldKind::kSuite), 0);
  EXPECT_FALSE(context.ledger.Empty());
  EXPECT_TRUE(HasSubstr(context.ledger.Describe(), "1 release of something not held"));
}

TEST_F(BasicSuiteTest, RecordsAcquisitionsAndReleasesInOrder) {
  ScopedCall scope(context);
  Acquire("PF ANSI Suite", 1);
  basic->ReleaseSuite("PF ANSI Suite", 1);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"AcquireSuite PF ANSI Suite 1",
                                                     "ReleaseSuite PF ANSI Suite 1"}));
}

TEST_F(BasicSuiteTest, WorksOutsideAnyCommandWithoutCounting) {
  EXPECT_EQ(Acquire("PF ANSI Suite", 1), kSPNoError);
  EXPECT_NE(suite, nullptr);
  EXPECT_EQ(basic->ReleaseSuite("PF ANSI Suite", 1), kSPNoError);
}

TEST_F(BasicSuiteTest, RefusesANullName) {
  EXPECT_EQ(Acquire(nullptr, 1), kSPBadParameterError);
  EXPECT_EQ(suite, nullptr);
}

TEST_F(BasicSuiteTest, OffersThePixelFormatSuiteToPremiereProOnly) {
  test::TestEffect after_effects;
  context.instance = &after_effects.instance;
  {
    ScopedCall scope(context);
    EXPECT_EQ(Acquire("PF Pixel Format Suite", 1), kSPSuiteNotFoundError);
  }
  InstanceOptions options;
  options.application = kApplicationPremierePro;
  EffectInstance premiere_pro(test::TestEntryPoint, options);
  context.instance = &premiere_pro;
  ScopedCall scope(context);
  EXPECT_EQ(Acquire("PF Pixel Format Suite", 1), kSPNoError);
  EXPECT_NE(suite, nullptr);
  basic->ReleaseSuite("PF Pixel Format Suite", 1);
}

}  // namespace
}  // namespace quorvel::headless
