// SPDX-License-Identifier: MIT
// The memory budget shared by frames rendered side by side: memory kept after use counts, is let
// go before anyone waits, a request that another job's memory blocks waits for it, and a
// request fails only when it cannot fit.
#include "headless/pixels/memory_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <optional>
#include <thread>

#include "headless/pixels/kept_memory.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

class MemoryBudgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseKeptMemory();
    ASSERT_EQ(MemoryBudgetTaken(), 0u);
    SetMemoryBudget(100 * kMiB);
  }
  void TearDown() override {
    ReleaseKeptMemory();
    SetMemoryBudget(0);
  }
};

TEST_F(MemoryBudgetTest, KeptMemoryIsCountedAndLetGoForAWorldThatNeedsIt) {
  {
    OwnedWorld world(2048, 2048);  // 16 MiB and a little
    EXPECT_GE(MemoryBudgetTaken(), 16 * kMiB);
  }
  // Disposed, its block is kept for the next world, and still counted.
  EXPECT_GT(KeptMemoryBytes(), 0u);
  EXPECT_EQ(MemoryBudgetTaken(), KeptMemoryBytes());

  // A world that needs more than is left beside the kept block has it let go instead of
  // being refused.
  const uint64_t kept = KeptMemoryBytes();
  OwnedWorld large(4096, 5600);  // 87.6 MiB: with the kept 16 MiB, more than the budget
  EXPECT_LT(KeptMemoryBytes(), kept);
  EXPECT_LE(MemoryBudgetTaken(), 100 * kMiB);
}

TEST_F(MemoryBudgetTest, ARequestWaitsForMemoryAnotherJobGivesBack) {
  std::promise<void> holding;
  std::promise<void> give_back;
  std::thread other([&] {
    ASSERT_TRUE(TakeFromMemoryBudget(70 * kMiB));
    holding.set_value();
    give_back.get_future().wait();
    GiveBackToMemoryBudget(70 * kMiB, std::this_thread::get_id());
  });
  holding.get_future().wait();
  std::atomic<bool> done{false};
  std::promise<void> checked;
  auto waiting = std::async(std::launch::async, [&] {
    const bool taken = TakeFromMemoryBudget(50 * kMiB);
    done = true;
    if (taken) {
      checked.get_future().wait();
      GiveBackToMemoryBudget(50 * kMiB, std::this_thread::get_id());
    }
    return taken;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done) << "did not wait for the other job's memory";
  give_back.set_value();
  other.join();
  while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(MemoryBudgetTaken(), 50 * kMiB);
  checked.set_value();
  EXPECT_TRUE(waiting.get());
}

TEST_F(MemoryBudgetTest, ARequestFailsOnlyWhenItCannotFit) {
  // More than the whole budget, and more than is left with no other holder to wait for.
  EXPECT_FALSE(TakeFromMemoryBudget(101 * kMiB));
  ASSERT_TRUE(TakeFromMemoryBudget(60 * kMiB));
  EXPECT_FALSE(TakeFromMemoryBudget(50 * kMiB));
  EXPECT_FALSE(RefusedWhileCrowded());
  GiveBackToMemoryBudget(60 * kMiB, std::this_thread::get_id());

  // Two jobs that each hold memory and each wait for the other's cannot both wait: one is
  // refused, and told that it was refused beside another job (so that it may try again alone).
  std::promise<void> first_holds;
  std::promise<void> second_holds;
  std::atomic<int> crowded_refusals{0};
  const auto job = [&](std::promise<void>& mine, std::promise<void>& theirs) {
    EXPECT_TRUE(TakeFromMemoryBudget(45 * kMiB));
    mine.set_value();
    theirs.get_future().wait();
    ClearCrowdedRefusal();
    const bool taken = TakeFromMemoryBudget(40 * kMiB);
    if (!taken && RefusedWhileCrowded()) ++crowded_refusals;
    GiveBackToMemoryBudget(45 * kMiB + (taken ? 40 * kMiB : 0), std::this_thread::get_id());
  };
  std::thread first(job, std::ref(first_holds), std::ref(second_holds));
  std::thread second(job, std::ref(second_holds), std::ref(first_holds));
  first.join();
  second.join();
  EXPECT_GE(crowded_refusals.load(), 1);
  EXPECT_EQ(MemoryBudgetTaken(), 0u);
}

}  // namespace
}  // namespace quorvel::headless
