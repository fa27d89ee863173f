// SPDX-License-Identifier: MIT
#include "host/suite_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "headless/suites/suite_registry.h"
#include "tests/support/in_process_host.h"

namespace quorvel {
namespace {

using Calls = std::vector<std::string>;

class SuiteCacheTest : public ::testing::Test {
 protected:
  // Runs an operation that owns a cache, as a command would, and returns what it threw (0 for
  // nothing). Afterwards the cache has ended and must hold nothing.
  template <typename Operation>
  PF_Err RunOperation(Operation&& operation) {
    PF_Err thrown = PF_Err_NONE;
    host_.Within([&] {
      try {
        SuiteCache cache(headless::HostBasicSuite());
        operation(cache);
      } catch (PF_Err error) {
        thrown = error;
      }
    });
    EXPECT_TRUE(host_.context.ledger.Empty()) << host_.context.ledger.Describe();
    return thrown;
  }

  Calls HostCalls() const { return host_.log.Entries(); }

  test_support::HandMadeRecords host_;
};

TEST_F(SuiteCacheTest, WithoutBasicSuiteThrows516) {
  PF_Err thrown = PF_Err_NONE;
  try {
    SuiteCache cache(nullptr);
  } catch (PF_Err error) {
    thrown = error;
  }
  EXPECT_EQ(thrown, PF_Err_BAD_CALLBACK_PARAM);
}

TEST_F(SuiteCacheTest, NeverAskedMakesNoHostCall) {
  EXPECT_EQ(RunOperation([](SuiteCache&) {}), PF_Err_NONE);
  EXPECT_TRUE(HostCalls().empty());
}

TEST_F(SuiteCacheTest, GivesTheHostsTable) {
  RunOperation([](SuiteCache& cache) {
    EXPECT_EQ(static_cast<const void*>(cache.ANSISuite()),
              headless::SuiteRegistry::Host().Find(kPFANSISuite, kPFANSISuiteVersion1));
  });
}

TEST_F(SuiteCacheTest, HoldsASuiteUntilTheOperationEnds) {
  RunOperation([this](SuiteCache& cache) {
    cache.ANSISuite();
    EXPECT_EQ(host_.context.ledger.Held(headless::HeldKind::kSuite), 1);
  });
  EXPECT_EQ(HostCalls(), (Calls{"AcquireSuite PF ANSI Suite 1", "ReleaseSuite PF ANSI Suite 1"}));
}

TEST_F(SuiteCacheTest, SameSuiteAskedTwiceIsAcquiredAndReleasedOnce) {
  RunOperation([](SuiteCache& cache) { EXPECT_EQ(cache.ANSISuite(), cache.ANSISuite()); });
  EXPECT_EQ(HostCalls(), (Calls{"AcquireSuite PF ANSI Suite 1", "ReleaseSuite PF ANSI Suite 1"}));
}

TEST_F(SuiteCacheTest, EachAccessorAsksForItsNameAndVersion) {
  const struct {
    const void* (*ask)(SuiteCache&);
    std::string suite;
  } accessors[] = {
      {[](SuiteCache& c) -> const void* { return c.PFInterfaceSuite(); },
       "AEGP PF Interface Suite 1"},
      {[](SuiteCache& c) -> const void* { return c.LayerSuite11(); }, "AEGP Layer Suite 11"},
      {[](SuiteCache& c) -> const void* { return c.LayerSuite13(); }, "AEGP Layer Suite 13"},
      {[](SuiteCache& c) -> const void* { return c.CompSuite(); }, "AEGP Comp Suite 19"},
      {[](SuiteCache& c) -> const void* { return c.TextLayerSuite(); }, "AEGP Text Layer Suite 1"},
      {[](SuiteCache& c) -> const void* { return c.PathDataSuite(); }, "PF Path Data Suite 1"},
      {[](SuiteCache& c) -> const void* { return c.WorldTransformSuite(); },
       "PF World Transform Suite 1"},
      {[](SuiteCache& c) -> const void* { return c.HandleSuite(); }, "PF Handle Suite 2"},
      {[](SuiteCache& c) -> const void* { return c.Iterate8Suite(); }, "PF Iterate8 Suite 1"},
      {[](SuiteCache& c) -> const void* { return c.ANSISuite(); }, "PF ANSI Suite 1"},
  };
  for (const auto& accessor : accessors) {
    host_.log.Clear();
    // The host may not offer every suite; the name and version asked for are what counts.
    RunOperation([&](SuiteCache& cache) { accessor.ask(cache); });
    const Calls calls = HostCalls();
    ASSERT_FALSE(calls.empty()) << accessor.suite;
    EXPECT_EQ(calls.front(), "AcquireSuite " + accessor.suite);
  }
}

TEST_F(SuiteCacheTest, OneNameWithTwoVersionsIsTwoSuites) {
  RunOperation([](SuiteCache& cache) {
    cache.LayerSuite11();
    cache.LayerSuite13();
  });
  const Calls calls = HostCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "AcquireSuite AEGP Layer Suite 11"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "AcquireSuite AEGP Layer Suite 13"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ReleaseSuite AEGP Layer Suite 11"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ReleaseSuite AEGP Layer Suite 13"), 1);
}

TEST_F(SuiteCacheTest, RefusedSuiteThrows516AndIsNotReleased) {
  host_.faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  EXPECT_EQ(RunOperation([](SuiteCache& cache) { cache.ANSISuite(); }), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(HostCalls(), Calls{"AcquireSuite PF ANSI Suite 1"});
}

TEST_F(SuiteCacheTest, SuiteGivenAsNullThrows516AndIsNotReleased) {
  host_.faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1,
                           headless::SuiteFaultMode::kNullPointer);
  EXPECT_EQ(RunOperation([](SuiteCache& cache) { cache.ANSISuite(); }), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(HostCalls(), Calls{"AcquireSuite PF ANSI Suite 1"});
}

TEST_F(SuiteCacheTest, MissingSuiteIsAskedForAgainNextTime) {
  host_.faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  RunOperation([](SuiteCache& cache) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        cache.ANSISuite();
        ADD_FAILURE() << "a refused suite was given";
      } catch (PF_Err error) {
        EXPECT_EQ(error, PF_Err_BAD_CALLBACK_PARAM);
      }
    }
  });
  EXPECT_EQ(HostCalls(), (Calls{"AcquireSuite PF ANSI Suite 1", "AcquireSuite PF ANSI Suite 1"}));
}

TEST_F(SuiteCacheTest, SuitesAcquiredBeforeAMissingOneAreReleased) {
  host_.faults.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  EXPECT_EQ(RunOperation([](SuiteCache& cache) {
              cache.LayerSuite11();
              cache.LayerSuite13();
              cache.ANSISuite();
              ADD_FAILURE() << "the operation went on after a missing suite";
            }),
            PF_Err_BAD_CALLBACK_PARAM);
  const Calls calls = HostCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ReleaseSuite AEGP Layer Suite 11"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ReleaseSuite AEGP Layer Suite 13"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ReleaseSuite PF ANSI Suite 1"), 0);
}

}  // namespace
}  // namespace quorvel
