// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "headless/instance/call_context.h"
#include "headless/pixels/kept_memory.h"
#include "headless/pixels/world.h"
#include "tests/headless/pixel_test_support.h"

namespace quorvel::headless {
namespace {

using test::Argb;
using test::ArgbOf;

class WorldSuiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.faults = &faults;
    context.log = &log;
  }

  PF_Err Make(A_long width, A_long height, PF_Boolean clear = 1,
              PF_PixelFormat format = PF_PixelFormat_ARGB32) {
    return NewWorld(nullptr, width, height, clear, format, &world);
  }

  FaultPlan faults;
  CallLog log;
  CallContext context;
  PF_EffectWorld world{};
};

bool IsZeroedRecord(const PF_EffectWorld& record) {
  const PF_EffectWorld zero{};
  return std::memcmp(&record, &zero, sizeof(record)) == 0;
}

TEST(WorldRowBytes, IsAMultipleOf16WiderThanThePixels) {
  EXPECT_EQ(WorldRowBytes(1), 16);
  EXPECT_EQ(WorldRowBytes(4), 32);
  EXPECT_EQ(WorldRowBytes(5), 32);
  EXPECT_EQ(WorldRowBytes(30000), 120016);
}

TEST_F(WorldSuiteTest, MakesAWorldDescribingItsWholeSize) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(3, 2), PF_Err_NONE);
  EXPECT_NE(world.data, nullptr);
  EXPECT_EQ(world.width, 3);
  EXPECT_EQ(world.height, 2);
  EXPECT_EQ(world.rowbytes, 16);
  EXPECT_EQ(world.extent_hint.left, 0);
  EXPECT_EQ(world.extent_hint.top, 0);
  EXPECT_EQ(world.extent_hint.right, 3);
  EXPECT_EQ(world.extent_hint.bottom, 2);
  EXPECT_EQ(world.pix_aspect_ratio.num, 1);
  EXPECT_EQ(world.pix_aspect_ratio.den, 1u);
  EXPECT_EQ(world.world_flags, PF_WorldFlag_WRITEABLE);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
}

TEST_F(WorldSuiteTest, ClearedWorldIsTransparentBlack) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(5, 3, 1), PF_Err_NONE);
  for (A_long y = 0; y < 3; ++y) {
    for (A_long x = 0; x < 5; ++x) EXPECT_EQ(ArgbOf(PixelAt(world, x, y)), (Argb{0, 0, 0, 0}));
  }
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
}

TEST_F(WorldSuiteTest, UnclearedWorldIsNotZero) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(5, 3, 0), PF_Err_NONE);
  EXPECT_NE(PixelAt(world, 4, 2).alpha, 0);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
}

TEST_F(WorldSuiteTest, CountsEachWorldUntilDisposed) {
  ScopedCall scope(context);
  PF_EffectWorld second{};
  ASSERT_EQ(Make(2, 2), PF_Err_NONE);
  ASSERT_EQ(NewWorld(nullptr, 4, 4, 1, PF_PixelFormat_ARGB32, &second), PF_Err_NONE);
  EXPECT_EQ(context.ledger.Held(HeldKind::kWorld), 2);
  EXPECT_EQ(DisposeWorld(nullptr, &second), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(WorldSuiteTest, DisposalZeroesTheRecord) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(2, 2), PF_Err_NONE);
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_TRUE(IsZeroedRecord(world));
}

// Large worlds' memory is kept after disposal for the next world of about that size; what the
// last world held must never show through.
TEST_F(WorldSuiteTest, KeptMemoryComesBackClearedOrPatternedAsAsked) {
  ScopedCall scope(context);
  ReleaseKeptMemory();
  constexpr A_long kSide = 1024;  // 4 MiB: large enough to be kept
  ASSERT_EQ(Make(kSide, kSide), PF_Err_NONE);
  void* const first_pixels = world.data;
  std::memset(world.data, 0x3C, static_cast<size_t>(world.rowbytes) * kSide);
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);

  ASSERT_EQ(Make(kSide, kSide - 10, 1), PF_Err_NONE);
  EXPECT_EQ(world.data, first_pixels);
  for (const A_long y : {A_long{0}, kSide / 2, kSide - 11}) {
    for (const A_long x : {A_long{0}, kSide - 1}) {
      EXPECT_EQ(ArgbOf(PixelAt(world, x, y)), (Argb{0, 0, 0, 0}));
    }
  }
  std::memset(world.data, 0x3C, static_cast<size_t>(world.rowbytes) * (kSide - 10));
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);

  ASSERT_EQ(Make(kSide, kSide, 0), PF_Err_NONE);
  EXPECT_EQ(world.data, first_pixels);
  EXPECT_EQ(PixelAt(world, kSide - 1, kSide - 1).alpha, 0xA5);
  EXPECT_EQ(PixelAt(world, 0, 0).red, 0xA5);
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_TRUE(context.ledger.Empty());
  ReleaseKeptMemory();
}

TEST_F(WorldSuiteTest, KeptMemoryIsNotHandedToAMuchSmallerOrALargerWorld) {
  ScopedCall scope(context);
  ReleaseKeptMemory();
  ASSERT_EQ(Make(1024, 1024), PF_Err_NONE);
  void* const kept = world.data;
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);

  PF_EffectWorld larger{};
  ASSERT_EQ(NewWorld(nullptr, 1024, 1100, 1, PF_PixelFormat_ARGB32, &larger), PF_Err_NONE);
  EXPECT_NE(larger.data, kept);
  ASSERT_EQ(Make(1024, 400), PF_Err_NONE);  // less than half the kept block
  EXPECT_NE(world.data, kept);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &larger), PF_Err_NONE);
  ReleaseKeptMemory();
}

#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_TEST_ASAN 1
#endif
#endif
#ifdef QUORVEL_TEST_ASAN
// Keeping memory must not hide a plug-in that reads a world after disposing of it.
TEST_F(WorldSuiteTest, ReadingADisposedWorldIsStillCaughtByAddressSanitizer) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(1024, 1024), PF_Err_NONE);
  volatile const unsigned char* stale = reinterpret_cast<unsigned char*>(world.data);
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_DEATH((void)stale[100], "use-after-poison");
  ReleaseKeptMemory();
}
#endif

TEST_F(WorldSuiteTest, InjectedFaultFailsOnlyTheChosenCallWithAZeroedWorld) {
  faults.FailCall(FailingCall::kNewWorld, 2);
  ScopedCall scope(context);
  PF_EffectWorld first{};
  ASSERT_EQ(NewWorld(nullptr, 2, 2, 1, PF_PixelFormat_ARGB32, &first), PF_Err_NONE);
  world.data = first.data;  // stale contents, to see them cleared
  EXPECT_EQ(Make(2, 2), PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(IsZeroedRecord(world));
  EXPECT_EQ(context.ledger.Held(HeldKind::kWorld), 1);
  ASSERT_EQ(Make(2, 2), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &first), PF_Err_NONE);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(WorldSuiteTest, AHostShortOfMemoryRefusesWorldsOverItsLimit) {
  faults.LimitWorldPixels(100);
  ScopedCall scope(context);
  EXPECT_EQ(Make(10, 11), PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(IsZeroedRecord(world));
  ASSERT_EQ(Make(10, 10), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(WorldSuiteTest, InjectedFaultReturnsTheCodeAskedFor) {
  faults.FailCall(FailingCall::kNewWorld, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
  ScopedCall scope(context);
  EXPECT_EQ(Make(2, 2), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(WorldSuiteTest, RefusesSizesOutsideTheWorldLimits) {
  ScopedCall scope(context);
  EXPECT_EQ(Make(0, 10), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Make(10, -1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Make(PF_MAX_WORLD_WIDTH + 1, 1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Make(1, PF_MAX_WORLD_HEIGHT + 1), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(IsZeroedRecord(world));
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(WorldSuiteTest, AcceptsTheLargestWidthAndHeight) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(PF_MAX_WORLD_WIDTH, 1), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  ASSERT_EQ(Make(1, PF_MAX_WORLD_HEIGHT), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
}

TEST_F(WorldSuiteTest, RefusesPixelFormatsOtherThan8BitArgb) {
  ScopedCall scope(context);
  EXPECT_EQ(Make(2, 2, 1, PF_PixelFormat_BGRA32), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Make(2, 2, 1, PF_PixelFormat_ARGB64), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST_F(WorldSuiteTest, DisposingAnUnknownWorldIsAnErrorAndNotedAsUnbalanced) {
  ScopedCall scope(context);
  std::vector<PF_Pixel> pixels(4);
  PF_EffectWorld stranger{};
  stranger.data = pixels.data();
  stranger.width = 2;
  stranger.height = 2;
  stranger.rowbytes = 8;
  EXPECT_EQ(DisposeWorld(nullptr, &stranger), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(DisposeWorld(nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(context.ledger.UnbalancedReleases(), 2);
}

TEST_F(WorldSuiteTest, DisposingTwiceIsAnError) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(2, 2), PF_Err_NONE);
  const PF_EffectWorld copy = world;
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  PF_EffectWorld stale = copy;
  EXPECT_EQ(DisposeWorld(nullptr, &stale), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(context.ledger.Held(HeldKind::kWorld), 0);
}

TEST_F(WorldSuiteTest, ThePluginCannotDisposeOfAHostWorld) {
  ScopedCall scope(context);
  OwnedWorld output(2, 2);
  PF_EffectWorld copy = output.world();
  EXPECT_EQ(DisposeWorld(nullptr, &copy), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_NE(output.world().data, nullptr);
}

TEST_F(WorldSuiteTest, ReportsThe8BitArgbPixelFormat) {
  OwnedWorld host_world(2, 2);
  PF_PixelFormat format = 0;
  EXPECT_EQ(GetPixelFormat(host_world.get(), &format), PF_Err_NONE);
  EXPECT_EQ(format, PF_PixelFormat_ARGB32);
  EXPECT_EQ(GetPixelFormat(nullptr, &format), PF_Err_BAD_CALLBACK_PARAM);
}

TEST_F(WorldSuiteTest, RecordsTheCallsInTheLog) {
  ScopedCall scope(context);
  ASSERT_EQ(Make(3, 2), PF_Err_NONE);
  ASSERT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"PF_NewWorld 3x2", "PF_DisposeWorld"}));
}

TEST_F(WorldSuiteTest, WorksOutsideAnyCommand) {
  ASSERT_EQ(CurrentCall(), nullptr);
  ASSERT_EQ(Make(2, 2), PF_Err_NONE);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
}

TEST(UtilityNewWorld, ClearsWhenAskedAndCountsLikeTheSuite) {
  CallContext context;
  ScopedCall scope(context);
  PF_EffectWorld world{};
  ASSERT_EQ(NewWorldWithFlags(nullptr, 3, 3, PF_NewWorldFlag_CLEAR_PIXELS, &world), PF_Err_NONE);
  EXPECT_EQ(ArgbOf(PixelAt(world, 2, 2)), (Argb{0, 0, 0, 0}));
  EXPECT_EQ(context.ledger.Held(HeldKind::kWorld), 1);
  EXPECT_EQ(DisposeWorld(nullptr, &world), PF_Err_NONE);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST(UtilityNewWorld, RefusesDeepWorlds) {
  CallContext context;
  ScopedCall scope(context);
  PF_EffectWorld world{};
  EXPECT_EQ(NewWorldWithFlags(nullptr, 3, 3, PF_NewWorldFlag_DEEP_PIXELS, &world),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(world.data, nullptr);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST(GetPixelData8, GivesTheWorldsPixels) {
  OwnedWorld world(2, 2);
  PF_Pixel8* pixels = nullptr;
  EXPECT_EQ(GetPixelData8(world.get(), nullptr, &pixels), PF_Err_NONE);
  EXPECT_EQ(pixels, world.world().data);
}

TEST(GetPixelData8, GivesTheExplicitPixelsWhenGiven) {
  OwnedWorld world(2, 2);
  PF_Pixel other{};
  PF_Pixel8* pixels = nullptr;
  EXPECT_EQ(GetPixelData8(world.get(), &other, &pixels), PF_Err_NONE);
  EXPECT_EQ(pixels, &other);
}

TEST(GetPixelData8, NoWorldIsAnErrorWithNoPixels) {
  PF_Pixel other{};
  PF_Pixel8* pixels = &other;
  EXPECT_EQ(GetPixelData8(nullptr, nullptr, &pixels), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(pixels, nullptr);
}

TEST(OwnedWorld, IsClearedAndUncounted) {
  CallContext context;
  ScopedCall scope(context);
  OwnedWorld world(4, 3);
  EXPECT_TRUE(test::AllPixelsAre(world, PF_Pixel{0, 0, 0, 0}));
  EXPECT_EQ(world.world().rowbytes, 32);
  EXPECT_TRUE(context.ledger.Empty());
}

TEST(OwnedWorld, ThrowsForASizeOutOfRange) {
  EXPECT_THROW(OwnedWorld(0, 1), std::invalid_argument);
  EXPECT_THROW(OwnedWorld(1, PF_MAX_WORLD_HEIGHT + 1), std::invalid_argument);
}

TEST(OwnedWorld, MovingHandsOverThePixels) {
  OwnedWorld first(2, 2);
  first.At(1, 1) = test::Pixel(255, 1, 2, 3);
  OwnedWorld second = std::move(first);
  EXPECT_EQ(first.world().data, nullptr);  // NOLINT(bugprone-use-after-move): moved-from is empty
  EXPECT_EQ(ArgbOf(second.At(1, 1)), (Argb{255, 1, 2, 3}));
}

}  // namespace
}  // namespace quorvel::headless
