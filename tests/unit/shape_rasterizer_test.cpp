// SPDX-License-Identifier: MIT
#include "render/shape_rasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/render_test_host.h"

namespace quorvel {
namespace {

using headless::FailingCall;
using headless::OwnedWorld;
using render_test::CoveredArea;
using render_test::EveryPixelHasColor;
using render_test::EveryPixelIs;
using render_test::PixelRecords;
using render_test::SamePixel;

constexpr double kPi = 3.14159265358979;
// cairo flattens curves into segments within 0.1 pixel of the true curve (its default
// tolerance), so a curved edge may give up to 0.1 x its length in covered area.
constexpr double kFlatteningTolerance = 0.1;
const PF_Pixel kFillColor{255, 200, 100, 50};
const PF_Pixel kBorderColor{255, 10, 20, 30};
const PF_Pixel kMarker{77, 1, 2, 3};

TextBounds Bounds(double width, double height) {
  TextBounds bounds;
  bounds.width = width;
  bounds.height = height;
  return bounds;
}

// The host's basic suite, except that one suite comes back as a patched copy of the host's
// table: what a host does when one of its services fails in a way no fault plan can ask for.
template <typename Table>
class PatchedSuite {
 public:
  PatchedSuite(const char* name, int32_t version, void (*patch)(Table&))
      : name_(name), version_(version), patch_(patch) {
    active_ = this;
    basic_ = *headless::HostBasicSuite();
    basic_.AcquireSuite = Acquire;
  }
  ~PatchedSuite() { active_ = nullptr; }
  PatchedSuite(const PatchedSuite&) = delete;
  PatchedSuite& operator=(const PatchedSuite&) = delete;

  SPBasicSuite* basic() { return &basic_; }
  static const Table& HostTable() { return active_->host_; }

 private:
  static SPErr Acquire(const char* name, int32_t version, const void** suite) {
    const SPErr error = headless::HostBasicSuite()->AcquireSuite(name, version, suite);
    if (error == kSPNoError && *suite != nullptr && std::strcmp(name, active_->name_) == 0 &&
        version == active_->version_) {
      active_->host_ = *static_cast<const Table*>(*suite);
      active_->patched_ = active_->host_;
      active_->patch_(active_->patched_);
      *suite = &active_->patched_;
    }
    return error;
  }

  static inline PatchedSuite* active_ = nullptr;
  const char* name_;
  int32_t version_;
  void (*patch_)(Table&);
  SPBasicSuite basic_{};
  Table host_{};
  Table patched_{};
};

// The user cancels during the first iterate, before a pixel is touched; later ones run.
int iterates_so_far = 0;
PF_Err CancelFirstIterate(PF_InData* in_data, A_long base, A_long final, PF_EffectWorld* src,
                          const PF_Rect* area, void* refcon, PF_IteratePixel8Func pix_fn,
                          PF_EffectWorld* dst) {
  if (iterates_so_far++ == 0) {
    return PF_Interrupt_CANCEL;
  }
  return PatchedSuite<PF_Iterate8Suite1>::HostTable().iterate(in_data, base, final, src, area,
                                                              refcon, pix_fn, dst);
}

void* RefuseLock(PF_Handle) {
  return nullptr;
}

class ShapeRasterizerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_TRUE(records_.context.ledger.Empty())
        << "the drawing holds " << records_.context.ledger.Describe();
  }

  PF_Err Box(PF_EffectWorld* fill, PF_EffectWorld* border, double fill_opacity,
             double roundness_factor, bool border_enabled, double border_width,
             const TextBounds& bounds, double border_opacity = 1.0) {
    return records_.Call([&] {
      return DrawBox(&records_.in_data, fill, border, kFillColor, fill_opacity, roundness_factor,
                     border_enabled, border_width, kBorderColor, border_opacity, &bounds);
    });
  }

  PF_Err Circle(PF_EffectWorld* fill, PF_EffectWorld* border, bool border_enabled,
                double border_width, const TextBounds& bounds) {
    return records_.Call([&] {
      return DrawCircle(&records_.in_data, fill, border, kFillColor, 1.0, border_enabled,
                        border_width, kBorderColor, 1.0, &bounds);
    });
  }

  PixelRecords records_;
};

// --- DrawBox ------------------------------------------------------------------------------

TEST_F(ShapeRasterizerTest, SquareCornersCoverTheBoundsWidthAndHeight) {
  OwnedWorld fill(12, 8);
  ASSERT_EQ(Box(fill.get(), nullptr, 1.0, 0.0, false, 0, Bounds(11.5, 6)), PF_Err_NONE);

  EXPECT_EQ(fill.At(0, 0).alpha, 255);
  EXPECT_EQ(fill.At(10, 5).alpha, 255);
  EXPECT_NEAR(fill.At(11, 3).alpha, 128, 1);  // the right edge at 11.5 halves the last column
  EXPECT_EQ(fill.At(5, 6).alpha, 0);          // below the bounds' height, inside the world
  EXPECT_NEAR(CoveredArea(fill.world()), 11.5 * 6, 0.1);
}

TEST_F(ShapeRasterizerTest, RoundnessFactorTwoGivesSemicircularEnds) {
  // Radius = height / 2 = 10: a 40 x 20 stadium, 40 x 20 less four corners of (4 - pi) r^2 / 4.
  OwnedWorld fill(40, 20);
  ASSERT_EQ(Box(fill.get(), nullptr, 1.0, 2.0, false, 0, Bounds(40, 20)), PF_Err_NONE);

  EXPECT_NEAR(CoveredArea(fill.world()), 40 * 20 - (4 - kPi) * 100,
              kFlatteningTolerance * 2 * kPi * 10);
  EXPECT_EQ(fill.At(0, 0).alpha, 0);
  EXPECT_EQ(fill.At(39, 19).alpha, 0);
  EXPECT_GT(fill.At(0, 10).alpha, 200);  // the ends touch the world's sides at mid-height
  EXPECT_GT(fill.At(39, 9).alpha, 200);
  EXPECT_EQ(fill.At(20, 0).alpha, 255);  // straight top edge between the ends
}

TEST_F(ShapeRasterizerTest, RoundedFillTakesSizeAndRadiusFromTheWorld) {
  // Bounds of 30 x 10 are not read: the rounded fill spans the 40 x 20 world, radius 20 / 2.
  OwnedWorld fill(40, 20);
  ASSERT_EQ(Box(fill.get(), nullptr, 1.0, 2.0, false, 0, Bounds(30, 10)), PF_Err_NONE);

  EXPECT_NEAR(CoveredArea(fill.world()), 40 * 20 - (4 - kPi) * 100,
              kFlatteningTolerance * 2 * kPi * 10);
  EXPECT_EQ(fill.At(35, 15).alpha, 255);
}

TEST_F(ShapeRasterizerTest, DrawnPixelsHoldTheStraightParameterColour) {
  OwnedWorld fill(8, 8);
  ASSERT_EQ(Box(fill.get(), nullptr, 0.5, 0.0, false, 0, Bounds(8, 8)), PF_Err_NONE);

  EXPECT_NEAR(fill.At(4, 4).alpha, 128, 1);
  EXPECT_EQ(fill.At(4, 4).red, 200);  // not premultiplied by the alpha
  EXPECT_EQ(fill.At(4, 4).green, 100);
  EXPECT_EQ(fill.At(4, 4).blue, 50);
}

TEST_F(ShapeRasterizerTest, OpacityZeroGivesAlphaZeroWithTheColourSet) {
  OwnedWorld fill(10, 6);
  ASSERT_EQ(Box(fill.get(), nullptr, 0.0, 0.0, false, 0, Bounds(10, 6)), PF_Err_NONE);

  EXPECT_EQ(CoveredArea(fill.world()), 0.0);
  EXPECT_TRUE(EveryPixelHasColor(fill.world(), kFillColor));
}

TEST_F(ShapeRasterizerTest, TransparentPixelsOutsideTheShapeReceiveTheColour) {
  OwnedWorld fill(20, 20);
  ASSERT_EQ(Box(fill.get(), nullptr, 1.0, 2.0, false, 0, Bounds(20, 20)), PF_Err_NONE);

  EXPECT_EQ(fill.At(0, 0).alpha, 0);
  EXPECT_TRUE(EveryPixelHasColor(fill.world(), kFillColor));
}

TEST_F(ShapeRasterizerTest, BorderOffLeavesTheBorderWorldAloneAndRecoloursOnce) {
  OwnedWorld fill(10, 10);
  OwnedWorld border(14, 14);
  render_test::FillWorld(border, kMarker);
  ASSERT_EQ(Box(fill.get(), border.get(), 1.0, 0.0, false, 4, Bounds(10, 10)), PF_Err_NONE);

  EXPECT_TRUE(EveryPixelIs(border.world(), kMarker));
  EXPECT_EQ(records_.Entries({"iterate"}).size(), 1u);
}

TEST_F(ShapeRasterizerTest, SquareBorderStraddlesTheFillEdgeAndTouchesTheWorldEdges) {
  // Border width 4 around a 20 x 10 box: a 24 x 14 world, stroke from 0 to 4 inside each edge.
  OwnedWorld fill(20, 10);
  OwnedWorld border(24, 14);
  ASSERT_EQ(Box(fill.get(), border.get(), 1.0, 0.0, true, 4, Bounds(20, 10)), PF_Err_NONE);

  EXPECT_EQ(border.At(0, 7).alpha, 255);
  EXPECT_EQ(border.At(3, 7).alpha, 255);
  EXPECT_EQ(border.At(4, 7).alpha, 0);
  EXPECT_EQ(border.At(23, 7).alpha, 255);
  EXPECT_EQ(border.At(0, 0).alpha, 255);  // mitred corner
  EXPECT_EQ(border.At(12, 7).alpha, 0);
  EXPECT_NEAR(CoveredArea(border.world()), 24 * 14 - 16 * 6, 0.1);
  EXPECT_TRUE(EveryPixelHasColor(border.world(), kBorderColor));
}

TEST_F(ShapeRasterizerTest, RoundedBorderUsesTheBoundsHeightForItsRadius) {
  // Factor 2 on bounds 40 x 20 with border 4: the stroke follows a stadium of radius 10 set in
  // by 2, so the world's corners stay empty and the middles of its sides are covered.
  OwnedWorld fill(40, 20);
  OwnedWorld border(44, 24);
  ASSERT_EQ(Box(fill.get(), border.get(), 1.0, 2.0, true, 4, Bounds(40, 20)), PF_Err_NONE);

  EXPECT_EQ(border.At(0, 0).alpha, 0);
  EXPECT_GT(border.At(0, 12).alpha, 200);
  EXPECT_EQ(border.At(22, 0).alpha, 255);
  EXPECT_EQ(border.At(22, 12).alpha, 0);
}

TEST_F(ShapeRasterizerTest, RefusedSizeGateSkipsTheFillAndTheBorderStillRuns) {
  records_.faults.FailCall(FailingCall::kNewHandle, 1);
  OwnedWorld fill(10, 10);
  OwnedWorld border(14, 14);
  ASSERT_EQ(Box(fill.get(), border.get(), 1.0, 0.0, true, 4, Bounds(10, 10)), PF_Err_NONE);

  EXPECT_TRUE(EveryPixelIs(fill.world(), PF_Pixel{}));  // not even recoloured
  EXPECT_EQ(border.At(0, 0).alpha, 255);
  EXPECT_TRUE(EveryPixelHasColor(border.world(), kBorderColor));
}

TEST_F(ShapeRasterizerTest, RefusedStagingCellSkipsThePass) {
  records_.faults.FailCall(FailingCall::kNewHandle, 2);
  OwnedWorld fill(10, 10);
  ASSERT_EQ(Box(fill.get(), nullptr, 1.0, 0.0, false, 0, Bounds(10, 10)), PF_Err_NONE);

  EXPECT_TRUE(EveryPixelIs(fill.world(), PF_Pixel{}));
  EXPECT_TRUE(records_.Entries({"iterate"}).empty());
}

TEST_F(ShapeRasterizerTest, StagingCellTheHostCannotLockSkipsThePass) {
  PatchedSuite<PF_HandleSuite1> no_locks(
      kPFHandleSuite, kPFHandleSuiteVersion1,
      [](PF_HandleSuite1& suite) { suite.host_lock_handle = RefuseLock; });
  records_.in_data.pica_basicP = no_locks.basic();
  OwnedWorld fill(10, 10);
  ASSERT_EQ(Box(fill.get(), nullptr, 1.0, 0.0, false, 0, Bounds(10, 10)), PF_Err_NONE);

  EXPECT_TRUE(EveryPixelIs(fill.world(), PF_Pixel{}));
  EXPECT_TRUE(records_.Entries({"iterate"}).empty());
}

TEST_F(ShapeRasterizerTest, FailingFillColourPassLeavesTheBorderPremultipliedAndIsReturned) {
  iterates_so_far = 0;
  PatchedSuite<PF_Iterate8Suite1> cancelling(
      kPFIterate8Suite, kPFIterate8SuiteVersion1,
      [](PF_Iterate8Suite1& suite) { suite.iterate = CancelFirstIterate; });
  records_.in_data.pica_basicP = cancelling.basic();
  OwnedWorld fill(10, 10);
  OwnedWorld border(14, 14);
  ASSERT_EQ(Box(fill.get(), border.get(), 1.0, 0.0, true, 4, Bounds(10, 10), 0.5),
            PF_Interrupt_CANCEL);

  // Border colour 10, 20, 30 at half opacity, as cairo leaves it: premultiplied.
  const PF_Pixel& stroke = border.At(0, 7);
  EXPECT_NEAR(stroke.alpha, 128, 1);
  EXPECT_NEAR(stroke.red, 5, 1);
  EXPECT_NEAR(stroke.green, 10, 1);
  EXPECT_NEAR(stroke.blue, 15, 1);
  // The fill's iterate was cancelled before reaching the host; the border's never ran.
  EXPECT_TRUE(records_.Entries({"iterate"}).empty());
}

TEST_F(ShapeRasterizerTest, WorldWithoutPixelsIsNotDrawnAndTheBorderStillIs) {
  PF_EffectWorld no_pixels{};
  no_pixels.width = 10;
  no_pixels.height = 10;
  no_pixels.rowbytes = 40;
  OwnedWorld border(14, 14);
  ASSERT_EQ(Box(&no_pixels, border.get(), 1.0, 0.0, true, 4, Bounds(10, 10)), PF_Err_NONE);

  EXPECT_EQ(border.At(0, 0).alpha, 255);
  EXPECT_EQ(records_.Entries({"iterate"}).size(), 1u);
}

TEST_F(ShapeRasterizerTest, WorldBeyondCairosSizeLimitIsSkipped) {
  std::vector<PF_Pixel> pixels(32768);
  PF_EffectWorld too_wide{};
  too_wide.data = pixels.data();
  too_wide.width = 32768;
  too_wide.height = 1;
  too_wide.rowbytes = 32768 * 4;
  OwnedWorld border(14, 14);
  ASSERT_EQ(Box(&too_wide, border.get(), 1.0, 0.0, true, 4, Bounds(32768, 1)), PF_Err_NONE);

  for (const PF_Pixel& pixel : pixels) {
    ASSERT_TRUE(SamePixel(pixel, PF_Pixel{}));
  }
  EXPECT_EQ(border.At(0, 0).alpha, 255);
  EXPECT_EQ(records_.Entries({"host_new_handle"}),
            (std::vector<std::string>{"host_new_handle 784", "host_new_handle 4"}));
}

TEST_F(ShapeRasterizerTest, OnePassAsksForTheSizeGateThenTheCellAndReleasesBothInOrder) {
  OwnedWorld fill(20, 10);
  ASSERT_EQ(Box(fill.get(), nullptr, 1.0, 0.0, false, 0, Bounds(20, 10)), PF_Err_NONE);

  EXPECT_EQ(
      records_.Entries({"host_", "iterate", "AcquireSuite", "ReleaseSuite"}),
      (std::vector<std::string>{
          "AcquireSuite PF Handle Suite 2", "host_new_handle 800", "host_new_handle 4",
          "host_lock_handle", "host_unlock_handle", "host_dispose_handle", "host_unlock_handle",
          "host_dispose_handle", "AcquireSuite PF Iterate8 Suite 1", "iterate in place",
          "ReleaseSuite PF Handle Suite 2", "ReleaseSuite PF Iterate8 Suite 1"}));
}

TEST_F(ShapeRasterizerTest, MissingHandleSuiteThrowsBadCallbackParam) {
  records_.faults.RefuseSuite(kPFHandleSuite, kPFHandleSuiteVersion1);
  OwnedWorld fill(10, 10);
  EXPECT_THROW(Box(fill.get(), nullptr, 1.0, 0.0, false, 0, Bounds(10, 10)), PF_Err);
  EXPECT_TRUE(EveryPixelIs(fill.world(), PF_Pixel{}));
}

TEST_F(ShapeRasterizerTest, MissingIterateSuiteThrowsAfterDrawingAndReleasesTheHandleSuite) {
  records_.faults.RefuseSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1);
  OwnedWorld fill(10, 10);
  try {
    Box(fill.get(), nullptr, 1.0, 0.0, false, 0, Bounds(10, 10));
    ADD_FAILURE() << "no error was raised";
  } catch (PF_Err error) {
    EXPECT_EQ(error, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_EQ(fill.At(5, 5).alpha, 255);  // drawn, but not recoloured
}

// --- DrawCircle ---------------------------------------------------------------------------

TEST_F(ShapeRasterizerTest, CircleFillHasTheBoundsWidthAsDiameter) {
  OwnedWorld fill(20, 20);
  ASSERT_EQ(Circle(fill.get(), nullptr, false, 0, Bounds(20, 20)), PF_Err_NONE);

  EXPECT_NEAR(CoveredArea(fill.world()), kPi * 100, kFlatteningTolerance * 2 * kPi * 10);
  EXPECT_EQ(fill.At(10, 10).alpha, 255);
  EXPECT_EQ(fill.At(0, 0).alpha, 0);
  EXPECT_TRUE(EveryPixelHasColor(fill.world(), kFillColor));
}

TEST_F(ShapeRasterizerTest, CircleIgnoresTheBoundsHeight) {
  OwnedWorld fill(20, 20);
  ASSERT_EQ(Circle(fill.get(), nullptr, false, 0, Bounds(20, 3)), PF_Err_NONE);

  EXPECT_NEAR(CoveredArea(fill.world()), kPi * 100, kFlatteningTolerance * 2 * kPi * 10);
}

TEST_F(ShapeRasterizerTest, CircleBorderIsAClosedRingCentredOnTheFillEdge) {
  // Radius 10 stroked 4 wide in a 24 x 24 world: a ring from radius 8 to 12 about (12, 12),
  // fully covered also where its two turns start and end (angle 0, the right-hand side).
  OwnedWorld fill(20, 20);
  OwnedWorld border(24, 24);
  ASSERT_EQ(Circle(fill.get(), border.get(), true, 4, Bounds(20, 20)), PF_Err_NONE);

  EXPECT_NEAR(CoveredArea(border.world()), kPi * (12 * 12 - 8 * 8),
              kFlatteningTolerance * 2 * kPi * (12 + 8));
  EXPECT_EQ(border.At(12, 12).alpha, 0);
  EXPECT_EQ(border.At(22, 11).alpha, 255);
  EXPECT_EQ(border.At(22, 12).alpha, 255);
  EXPECT_EQ(border.At(1, 12).alpha, 255);
  EXPECT_EQ(border.At(0, 0).alpha, 0);
  EXPECT_TRUE(EveryPixelHasColor(border.world(), kBorderColor));
}

// --- CopySurfaceToWorld -------------------------------------------------------------------

class CopySurfaceToWorldTest : public ShapeRasterizerTest {};

TEST_F(CopySurfaceToWorldTest, CairoWordsBecomeAlphaRedGreenBlueBytes) {
  OwnedWorld world(2, 1);
  const uint32_t words[2] = {0x80402010u, 0xFF0000FFu};
  unsigned char cell[4];
  ASSERT_EQ(records_.Call([&] {
    return CopySurfaceToWorld(&records_.in_data, world.get(), cell,
                              reinterpret_cast<const unsigned char*>(words), 8);
  }),
            PF_Err_NONE);

  EXPECT_TRUE(SamePixel(world.At(0, 0), PF_Pixel{0x80, 0x40, 0x20, 0x10}));
  EXPECT_TRUE(SamePixel(world.At(1, 0), PF_Pixel{0xFF, 0x00, 0x00, 0xFF}));
}

TEST_F(CopySurfaceToWorldTest, RowsFollowTheSurfaceStrideAndTheWorldRowbytes) {
  // Surface rows 3 words apart for a 2-pixel-wide world; the host's rows are padded too.
  OwnedWorld world(2, 2);
  const uint32_t words[6] = {0x01000001u, 0x02000002u, 0xDEADBEEFu,
                             0x03000003u, 0x04000004u, 0xDEADBEEFu};
  unsigned char cell[4];
  ASSERT_EQ(records_.Call([&] {
    return CopySurfaceToWorld(&records_.in_data, world.get(), cell,
                              reinterpret_cast<const unsigned char*>(words), 12);
  }),
            PF_Err_NONE);

  EXPECT_TRUE(SamePixel(world.At(1, 0), PF_Pixel{0x02, 0x00, 0x00, 0x02}));
  EXPECT_TRUE(SamePixel(world.At(0, 1), PF_Pixel{0x03, 0x00, 0x00, 0x03}));
  EXPECT_TRUE(SamePixel(world.At(1, 1), PF_Pixel{0x04, 0x00, 0x00, 0x04}));
}

TEST_F(CopySurfaceToWorldTest, WorldWithoutPixelAddressIsAnErrorAndNothingIsWritten) {
  PF_EffectWorld no_pixels{};
  no_pixels.width = 1;
  no_pixels.height = 1;
  no_pixels.rowbytes = 4;
  const uint32_t word = 0xFFFFFFFFu;
  unsigned char cell[4];
  EXPECT_NE(records_.Call([&] {
    return CopySurfaceToWorld(&records_.in_data, &no_pixels, cell,
                              reinterpret_cast<const unsigned char*>(&word), 4);
  }),
            PF_Err_NONE);
}

// --- SetPixelColor ------------------------------------------------------------------------

TEST(SetPixelColor, SetsRedGreenBlueAndKeepsAlpha) {
  ColorContext context{PF_Pixel{9, 10, 20, 30}};
  PF_Pixel pixel{128, 1, 2, 3};
  EXPECT_EQ(SetPixelColor(&context, 0, 0, &pixel, &pixel), PF_Err_NONE);
  EXPECT_TRUE(SamePixel(pixel, PF_Pixel{128, 10, 20, 30}));
}

TEST(SetPixelColor, WithoutContextDoesNothing) {
  PF_Pixel pixel{128, 1, 2, 3};
  EXPECT_EQ(SetPixelColor(nullptr, 0, 0, &pixel, &pixel), PF_Err_NONE);
  EXPECT_TRUE(SamePixel(pixel, PF_Pixel{128, 1, 2, 3}));
}

}  // namespace
}  // namespace quorvel
