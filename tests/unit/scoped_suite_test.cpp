// SPDX-License-Identifier: MIT
#include "host/scoped_suite.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "headless/suites/suite_registry.h"
#include "tests/support/in_process_host.h"

namespace quorvel {
namespace {

using Calls = std::vector<std::string>;
using AnsiScopedSuite = ScopedSuite<PF_ANSICallbacksSuite1>;

constexpr char kHostText[] = "the host's own text";

class ScopedSuiteTest : public ::testing::Test {
 protected:
  ScopedSuiteTest() { std::strcpy(host_.out_data.return_msg, kHostText); }

  // Makes and ends a scoped suite inside a command and returns what it threw (0 for nothing).
  template <typename Body>
  PF_Err Hold(PF_OutData* out_data, Body&& body) {
    PF_Err thrown = PF_Err_NONE;
    host_.Within([&] {
      try {
        AnsiScopedSuite suite(&host_.in_data, kPFANSISuite, kPFANSISuiteVersion1, out_data);
        body(suite);
      } catch (PF_Err error) {
        thrown = error;
      }
    });
    return thrown;
  }

  void ExpectHoldsNothing() const {
    EXPECT_TRUE(host_.context.ledger.Empty()) << host_.context.ledger.Describe();
  }

  test_support::HandMadeRecords host_;
};

TEST_F(ScopedSuiteTest, AcquiresAtOnceAndReleasesAtTheEnd) {
  EXPECT_EQ(Hold(&host_.out_data,
                 [this](const AnsiScopedSuite& suite) {
                   EXPECT_EQ(
                       static_cast<const void*>(suite.get()),
                       headless::SuiteRegistry::Host().Find(kPFANSISuite, kPFANSISuiteVersion1));
                   EXPECT_EQ(host_.log.Entries(), Calls{"AcquireSuite PF ANSI Suite 1"});
                 }),
            PF_Err_NONE);
  EXPECT_EQ(host_.log.Entries(),
            (Calls{"AcquireSuite PF ANSI Suite 1", "ReleaseSuite PF ANSI Suite 1"}));
  EXPECT_STREQ(host_.out_data.return_msg, kHostText);
  ExpectHoldsNothing();
}

TEST_F(ScopedSuiteTest, RefusedSuiteShowsTheHostsMessageAndThrows13) {
  host_.faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  EXPECT_EQ(Hold(&host_.out_data, [](const AnsiScopedSuite&) { ADD_FAILURE(); }),
            A_Err_MISSING_SUITE);
  EXPECT_EQ(host_.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE,
            static_cast<PF_OutFlags>(PF_OutFlag_DISPLAY_ERROR_MESSAGE));
  EXPECT_STREQ(host_.out_data.return_msg, "Not able to acquire AEFX Suite.");
  ExpectHoldsNothing();
}

TEST_F(ScopedSuiteTest, RefusedSuiteWithoutOutDataThrows13AndWritesNothing) {
  host_.faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  EXPECT_EQ(Hold(nullptr, [](const AnsiScopedSuite&) { ADD_FAILURE(); }), A_Err_MISSING_SUITE);
  EXPECT_EQ(host_.log.Entries(), Calls{"AcquireSuite PF ANSI Suite 1"});
  EXPECT_STREQ(host_.out_data.return_msg, kHostText);
  ExpectHoldsNothing();
}

TEST_F(ScopedSuiteTest, SuiteGivenAsNullIsKeptWithoutThrowing) {
  host_.faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1,
                           headless::SuiteFaultMode::kNullPointer);
  EXPECT_EQ(
      Hold(&host_.out_data, [](const AnsiScopedSuite& suite) { EXPECT_EQ(suite.get(), nullptr); }),
      PF_Err_NONE);
  EXPECT_EQ(host_.out_data.out_flags, 0);
  EXPECT_STREQ(host_.out_data.return_msg, kHostText);
  // Nothing was given, so nothing is released.
  EXPECT_EQ(host_.log.Entries(), Calls{"AcquireSuite PF ANSI Suite 1"});
  ExpectHoldsNothing();
}

TEST_F(ScopedSuiteTest, NoBasicSuiteAtTheStartCountsAsARefusal) {
  host_.in_data.pica_basicP = nullptr;
  EXPECT_EQ(Hold(&host_.out_data, [](const AnsiScopedSuite&) { ADD_FAILURE(); }),
            A_Err_MISSING_SUITE);
  EXPECT_STREQ(host_.out_data.return_msg, "Not able to acquire AEFX Suite.");
  ExpectHoldsNothing();
}

TEST_F(ScopedSuiteTest, NoBasicSuiteAtTheEndShowsTheReleaseMessageWithoutThrowing) {
  EXPECT_EQ(Hold(&host_.out_data,
                 [this](const AnsiScopedSuite&) { host_.in_data.pica_basicP = nullptr; }),
            PF_Err_NONE);
  EXPECT_EQ(host_.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE,
            static_cast<PF_OutFlags>(PF_OutFlag_DISPLAY_ERROR_MESSAGE));
  EXPECT_STREQ(host_.out_data.return_msg, "Not able to release AEFX Suite.");
  // With no basic suite to call, the suite stays held: the host's count shows the leak.
  EXPECT_EQ(host_.context.ledger.Held(headless::HeldKind::kSuite), 1);
  EXPECT_EQ(host_.log.Entries(), (Calls{"AcquireSuite PF ANSI Suite 1", "sprintf"}));
}

}  // namespace
}  // namespace quorvel
