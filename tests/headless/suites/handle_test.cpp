// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>

#include "headless/instance/call_context.h"
#include "headless/suites/handles.h"

namespace quorvel::headless {
namespace {

class HandleTest : public ::testing::Test {
 protected:
  void SetUp() override { context.faults = &faults; }
  FaultPlan faults;
  CallContext context;
};

TEST_F(HandleTest, NewHandleGivesZeroedMemoryOfTheSizeAskedFor) {
  ScopedCall scope(context);
  PF_Handle handle = NewHandle(24);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GetHandleSize(handle), 24u);
  auto* bytes = static_cast<unsigned char*>(LockHandle(handle));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes, *handle);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(bytes[i], 0);
  UnlockHandle(handle);
  DisposeHandle(handle);
}

TEST_F(HandleTest, CountsEachHandleUntilDisposed) {
  ScopedCall scope(context);
  PF_Handle first = NewHandle(8);
  PF_Handle second = NewHandle(8);
  EXPECT_EQ(context.ledger.Held(HeldKind::kHandle), 2);
  DisposeHandle(first);
  DisposeHandle(second);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(HandleTest, InjectedFaultGivesNoHandleAndCountsNothing) {
  faults.FailCall(FailingCall::kNewHandle, 1);
  ScopedCall scope(context);
  EXPECT_EQ(NewHandle(8), nullptr);
  EXPECT_TRUE(context.ledger.Empty());
  PF_Handle next = NewHandle(8);
  EXPECT_NE(next, nullptr);
  DisposeHandle(next);
}

TEST_F(HandleTest, RefusesAbsurdSizesWithNoHandle) {
  ScopedCall scope(context);
  EXPECT_EQ(NewHandle(kMaxHandleSize + 1), nullptr);
  EXPECT_EQ(NewHandle(~A_HandleSize{0}), nullptr);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(HandleTest, AnEmptyHandleStillHasAnAddress) {
  ScopedCall scope(context);
  PF_Handle handle = NewHandle(0);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GetHandleSize(handle), 0u);
  EXPECT_NE(LockHandle(handle), nullptr);
  DisposeHandle(handle);
}

TEST_F(HandleTest, ADisposedHandleLocksToNull) {
  ScopedCall scope(context);
  PF_Handle handle = NewHandle(8);
  DisposeHandle(handle);
  EXPECT_EQ(LockHandle(handle), nullptr);
  EXPECT_EQ(GetHandleSize(handle), 0u);
}

TEST_F(HandleTest, DisposingTwiceIsNotedAndHarmless) {
  ScopedCall scope(context);
  PF_Handle handle = NewHandle(8);
  DisposeHandle(handle);
  DisposeHandle(handle);
  DisposeHandle(nullptr);
  EXPECT_EQ(context.ledger.Held(HeldKind::kHandle), 0);
  EXPECT_EQ(context.ledger.UnbalancedReleases(), 2);
}

TEST_F(HandleTest, ResizeKeepsTheContentsAndZeroesTheRest) {
  ScopedCall scope(context);
  PF_Handle handle = NewHandle(4);
  std::memcpy(LockHandle(handle), "abcd", 4);
  UnlockHandle(handle);
  ASSERT_EQ(ResizeHandle(8, &handle), PF_Err_NONE);
  EXPECT_EQ(GetHandleSize(handle), 8u);
  const auto* bytes = static_cast<const char*>(LockHandle(handle));
  EXPECT_EQ(std::memcmp(bytes, "abcd\0\0\0\0", 8), 0);
  UnlockHandle(handle);
  DisposeHandle(handle);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(HandleTest, ResizeRefusesALockedHandle) {
  ScopedCall scope(context);
  PF_Handle handle = NewHandle(4);
  void* locked = LockHandle(handle);
  EXPECT_EQ(ResizeHandle(64, &handle), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(*handle, locked);
  EXPECT_EQ(GetHandleSize(handle), 4u);
  UnlockHandle(handle);
  DisposeHandle(handle);
}

TEST_F(HandleTest, ResizeToAnAbsurdSizeFailsAndKeepsTheHandle) {
  ScopedCall scope(context);
  PF_Handle handle = NewHandle(4);
  EXPECT_EQ(ResizeHandle(kMaxHandleSize + 1, &handle), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(GetHandleSize(handle), 4u);
  DisposeHandle(handle);
}

TEST_F(HandleTest, ResizeOfAnUnknownHandleIsAnError) {
  PF_Handle unknown = nullptr;
  EXPECT_EQ(ResizeHandle(4, &unknown), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(ResizeHandle(4, nullptr), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace quorvel::headless
