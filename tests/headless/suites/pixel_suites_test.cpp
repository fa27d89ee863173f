// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>

#include "headless/instance/call_context.h"
#include "headless/pixels/world.h"
#include "headless/suites/suite_registry.h"

namespace quorvel::headless {
namespace {

// True when every slot of a table of function pointers is set.
template <typename Table>
bool EverySlotFilled(const Table& table) {
  using Slot = void (*)();
  static_assert(sizeof(Table) % sizeof(Slot) == 0, "a table of pointers only");
  const auto* bytes = reinterpret_cast<const unsigned char*>(&table);
  for (size_t offset = 0; offset < sizeof(Table); offset += sizeof(Slot)) {
    Slot slot = nullptr;
    std::memcpy(&slot, bytes + offset, sizeof(Slot));
    if (slot == nullptr) return false;
  }
  return true;
}

template <typename Table>
const Table* Registered(const char* name, int32_t version) {
  return static_cast<const Table*>(SuiteRegistry::Host().Find(name, version));
}

TEST(PixelSuites, WorldSuiteIsRegisteredWithEverySlot) {
  const auto* suite = Registered<PF_WorldSuite2>(kPFWorldSuite, kPFWorldSuiteVersion2);
  ASSERT_NE(suite, nullptr);
  EXPECT_TRUE(EverySlotFilled(*suite));
}

TEST(PixelSuites, FillMatteSuiteAnswersItsUnusedSlotsWithErrors) {
  const auto* suite = Registered<PF_FillMatteSuite2>(kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
  ASSERT_NE(suite, nullptr);
  EXPECT_TRUE(EverySlotFilled(*suite));
  OwnedWorld world(1, 1);
  EXPECT_EQ(suite->fill16(nullptr, nullptr, nullptr, world.get()), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(suite->premultiply(nullptr, 1, world.get()), PF_Err_BAD_CALLBACK_PARAM);
}

TEST(PixelSuites, HandleSuiteIsRegisteredUnderVersionValue2) {
  const auto* suite = Registered<PF_HandleSuite1>(kPFHandleSuite, 2);
  ASSERT_NE(suite, nullptr);
  EXPECT_TRUE(EverySlotFilled(*suite));
}

TEST(PixelSuites, Iterate8SuiteAnswersItsUnusedSlotsWithErrors) {
  const auto* suite = Registered<PF_Iterate8Suite1>(kPFIterate8Suite, kPFIterate8SuiteVersion1);
  ASSERT_NE(suite, nullptr);
  EXPECT_TRUE(EverySlotFilled(*suite));
  EXPECT_EQ(suite->iterate_generic(1, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
}

TEST(PixelSuites, WorldTransformSuiteAnswersItsUnusedSlotsWithErrors) {
  const auto* suite =
      Registered<PF_WorldTransformSuite1>(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
  ASSERT_NE(suite, nullptr);
  EXPECT_TRUE(EverySlotFilled(*suite));
  OwnedWorld world(1, 1);
  EXPECT_EQ(suite->copy(nullptr, world.get(), world.get(), nullptr, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
}

TEST(PixelSuites, WorldSuiteThroughTheBasicSuiteMakesAndDisposesCountedWorlds) {
  CallContext context;
  ScopedCall scope(context);
  const void* table = nullptr;
  ASSERT_EQ(HostBasicSuite()->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &table),
            kSPNoError);
  const auto* suite = static_cast<const PF_WorldSuite2*>(table);
  PF_EffectWorld world{};
  ASSERT_EQ(suite->PF_NewWorld(nullptr, 8, 4, 1, PF_PixelFormat_ARGB32, &world), PF_Err_NONE);
  EXPECT_EQ(context.ledger.Held(HeldKind::kWorld), 1);
  EXPECT_EQ(suite->PF_DisposeWorld(nullptr, &world), PF_Err_NONE);
  ASSERT_EQ(HostBasicSuite()->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2), kSPNoError);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST(PixelCallbacks, FillsThePixelSlotsOfTheUtilityCallbacks) {
  PF_UtilCallbacks utils{};
  FillPixelCallbacks(utils);
  EXPECT_NE(utils.fill, nullptr);
  EXPECT_NE(utils.iterate, nullptr);
  EXPECT_NE(utils.new_world, nullptr);
  EXPECT_NE(utils.dispose_world, nullptr);
  EXPECT_NE(utils.transfer_rect, nullptr);
  EXPECT_NE(utils.transform_world, nullptr);
  EXPECT_NE(utils.host_new_handle, nullptr);
  EXPECT_NE(utils.host_lock_handle, nullptr);
  EXPECT_NE(utils.host_unlock_handle, nullptr);
  EXPECT_NE(utils.host_dispose_handle, nullptr);
  EXPECT_NE(utils.host_get_handle_size, nullptr);
  EXPECT_NE(utils.host_resize_handle, nullptr);
  EXPECT_NE(utils.get_pixel_data8, nullptr);
}

TEST(PixelCallbacks, AnswersUnusedPixelSlotsWithErrors) {
  PF_UtilCallbacks utils{};
  FillPixelCallbacks(utils);
  OwnedWorld world(1, 1);
  ASSERT_NE(utils.premultiply, nullptr);
  EXPECT_EQ(utils.premultiply(nullptr, 1, world.get()), PF_Err_BAD_CALLBACK_PARAM);
  ASSERT_NE(utils.get_pixel_data16, nullptr);
  PF_Pixel16* deep = nullptr;
  EXPECT_EQ(utils.get_pixel_data16(world.get(), nullptr, &deep), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace quorvel::headless
