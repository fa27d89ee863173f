// SPDX-License-Identifier: MIT
#include "headless/pixels/kept_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quorvel::headless {
namespace {

constexpr size_t kKiB = 1024;
constexpr size_t kMiB = 1024 * kKiB;

class KeptMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { ReleaseKeptMemory(); }
  void TearDown() override { ReleaseKeptMemory(); }

  static void* Block(size_t bytes) {
    void* data = std::malloc(bytes);  // never touched: address space only
    EXPECT_NE(data, nullptr);
    return data;
  }
};

TEST_F(KeptMemoryTest, KeepsLargeBlocksAndFreesSmallOnes) {
  KeepMemory(Block(32 * kKiB), 32 * kKiB, std::nullopt);
  EXPECT_EQ(KeptMemoryBytes(), 0u);
  KeepMemory(Block(2 * kMiB), 2 * kMiB, std::nullopt);
  EXPECT_EQ(KeptMemoryBytes(), 2 * kMiB);
  size_t capacity = 0;
  EXPECT_EQ(TakeKeptMemory(32 * kKiB, capacity, KeptUse::kScratch),
            nullptr);  // too small to come from here
}

TEST_F(KeptMemoryTest, IsBoundedInBlocksAndBytesTheOldestGoingFirst) {
  for (int i = 0; i < 20; ++i) KeepMemory(Block(kMiB), kMiB, std::nullopt);
  EXPECT_EQ(KeptMemoryBytes(), 16 * kMiB);

  ReleaseKeptMemory();
  void* oldest = Block(100 * kMiB);
  KeepMemory(oldest, 100 * kMiB, std::nullopt);
  KeepMemory(Block(100 * kMiB), 100 * kMiB, std::nullopt);
  KeepMemory(Block(100 * kMiB), 100 * kMiB, std::nullopt);
  EXPECT_EQ(KeptMemoryBytes(), 200 * kMiB);
  size_t capacity = 0;
  void* taken = TakeKeptMemory(100 * kMiB, capacity, KeptUse::kScratch);
  EXPECT_NE(taken, nullptr);
  EXPECT_NE(taken, oldest);  // oldest was freed to make room
  KeepMemory(taken, capacity, std::nullopt);

  KeepMemory(Block(300 * kMiB), 300 * kMiB,
             std::nullopt);  // more than the whole budget: freed at once
  EXPECT_EQ(KeptMemoryBytes(), 200 * kMiB);
}

TEST_F(KeptMemoryTest, GivesTheSmallestBlockThatFitsAndNoneTwiceTooLarge) {
  void* small = Block(2 * kMiB);
  void* middle = Block(3 * kMiB);
  void* large = Block(8 * kMiB);
  KeepMemory(large, 8 * kMiB, std::nullopt);
  KeepMemory(small, 2 * kMiB, std::nullopt);
  KeepMemory(middle, 3 * kMiB, std::nullopt);

  size_t capacity = 0;
  EXPECT_EQ(TakeKeptMemory(2 * kMiB + 1, capacity, KeptUse::kScratch), middle);
  EXPECT_EQ(capacity, 3 * kMiB);
  EXPECT_EQ(TakeKeptMemory(3 * kMiB, capacity, KeptUse::kScratch),
            nullptr);  // 8 MiB is more than twice that
  EXPECT_EQ(TakeKeptMemory(1536 * kKiB, capacity, KeptUse::kScratch), small);
  EXPECT_EQ(KeptMemoryBytes(), 8 * kMiB);
  std::free(middle);
  std::free(small);
}

TEST_F(KeptMemoryTest, ScratchBlocksComeFromAndGoBackToTheKeptBlocks) {
  void* kept = Block(4 * kMiB);
  KeepMemory(kept, 4 * kMiB, std::nullopt);
  {
    ScratchBlock scratch(3 * kMiB);
    EXPECT_EQ(scratch.data(), kept);
    EXPECT_EQ(KeptMemoryBytes(), 0u);
    ScratchBlock moved = std::move(scratch);
    EXPECT_EQ(scratch.data(), nullptr);  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(moved.data(), kept);
    moved = ScratchBlock(kMiB);  // the first block goes back as the second is had
    EXPECT_EQ(KeptMemoryBytes(), 4 * kMiB);
  }
  EXPECT_EQ(KeptMemoryBytes(), 5 * kMiB);
  EXPECT_EQ(ScratchBlock(0).data(), nullptr);
}

}  // namespace
}  // namespace quorvel::headless
