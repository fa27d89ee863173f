// SPDX-License-Identifier: MIT
#include "render/output_compositing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/render_test_host.h"

namespace quorvel {
namespace {

using headless::OwnedWorld;
using render_test::PixelRecords;
using render_test::SamePixel;

const PF_Pixel kClear{0, 0, 0, 0};
const PF_Pixel kRed{255, 255, 0, 0};
const PF_Pixel kWhite{255, 255, 255, 255};

void FillRect(OwnedWorld& world, const PF_Pixel& color, PF_Rect rect) {
  headless::Fill(nullptr, &color, &rect, world.get());
}

Matrix3 Translation(double x, double y) {
  Matrix3 matrix{};
  Matrix3Identity(matrix);
  Matrix3Translate(matrix, x, y);
  return matrix;
}

// Keeps the matrices that reach the host's transform_world, then lets the host do its work.
class MatrixSpy {
 public:
  explicit MatrixSpy(PF_UtilCallbacks& utils) : host_transform_(utils.transform_world) {
    instance_ = this;
    utils.transform_world = Transform;
  }
  ~MatrixSpy() { instance_ = nullptr; }
  const std::vector<PF_FloatMatrix>& matrices() const { return matrices_; }

 private:
  static PF_Err Transform(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags flags,
                          PF_Field field, const PF_EffectWorld* src, const PF_CompositeMode* mode,
                          const PF_MaskWorld* mask, const PF_FloatMatrix* matrices, A_long count,
                          PF_Boolean src2dst, const PF_Rect* dest_rect, PF_EffectWorld* dst) {
    instance_->matrices_.assign(matrices, matrices + count);
    return instance_->host_transform_(effect_ref, quality, flags, field, src, mode, mask, matrices,
                                      count, src2dst, dest_rect, dst);
  }

  static inline MatrixSpy* instance_ = nullptr;
  decltype(PF_UtilCallbacks::transform_world) host_transform_;
  std::vector<PF_FloatMatrix> matrices_;
};

class OutputCompositingTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_TRUE(records_.context.ledger.Empty())
        << "compositing holds " << records_.context.ledger.Describe();
  }

  std::vector<std::string> HostCalls() const {
    return records_.Entries({"transform_world", "transfer_rect", "AcquireSuite", "ReleaseSuite"});
  }

  PixelRecords records_;
  PF_CompositeMode mode_ = FullOpacityCompositeMode();
};

TEST(FullOpacityCompositeMode, IsOpaqueOnEveryChannel) {
  const PF_CompositeMode mode = FullOpacityCompositeMode();
  EXPECT_EQ(mode.opacity, 255);
  EXPECT_EQ(mode.rgb_only, 0);
}

// --- Step 1: the fill behind the border ---------------------------------------------------

TEST_F(OutputCompositingTest, FillGoesBehindTheBorderHalfTheBorderWidthIn) {
  // Border width 4: the 4 x 4 fill lands at (2, 2) in the 8 x 8 border world, whose stroke
  // here covers the outer three pixels of each side.
  OwnedWorld fill(4, 4);
  render_test::FillWorld(fill, kRed);
  OwnedWorld border(8, 8);
  render_test::FillWorld(border, kWhite);
  FillRect(border, kClear, PF_Rect{3, 3, 5, 5});

  records_.Call(
      [&] { CompositeFillBehindBorder(&records_.in_data, mode_, fill.get(), border.get(), 4); });

  EXPECT_TRUE(SamePixel(border.At(2, 2), kWhite));  // the stroke stays in front
  EXPECT_TRUE(SamePixel(border.At(3, 3), kRed));
  EXPECT_TRUE(SamePixel(border.At(4, 4), kRed));
  EXPECT_TRUE(SamePixel(border.At(0, 0), kWhite));
  EXPECT_EQ(HostCalls(),
            std::vector<std::string>{"transform_world xfer=1 flags=1 mask=no matrices=1"});
}

// --- Step 2: the box into the output ------------------------------------------------------

TEST_F(OutputCompositingTest, BoxGoesInFrontThroughThePlacementAsStraightColour) {
  // Straight red at half alpha arrives premultiplied in the output.
  OwnedWorld box(4, 4);
  render_test::FillWorld(box, PF_Pixel{128, 200, 0, 0});
  OwnedWorld output(20, 20);
  const Matrix3 placement = Translation(10, 5);

  records_.Call([&] {
    CompositeBoxIntoOutput(&records_.in_data, mode_, box.get(), &placement, 1, output.get());
  });

  EXPECT_EQ(output.At(10, 5).alpha, 128);
  EXPECT_NEAR(output.At(10, 5).red, 100, 1);
  EXPECT_EQ(output.At(13, 8).alpha, 128);
  EXPECT_EQ(output.At(9, 5).alpha, 0);
  EXPECT_EQ(output.At(14, 8).alpha, 0);
  EXPECT_EQ(HostCalls(),
            std::vector<std::string>{"transform_world xfer=2 flags=1 mask=no matrices=1"});
}

TEST_F(OutputCompositingTest, BoxIsPlacedOnlyInsideTheOutputExtent) {
  OwnedWorld box(4, 4);
  render_test::FillWorld(box, kRed);
  OwnedWorld output(20, 20);
  output.world().extent_hint = PF_Rect{0, 0, 12, 20};
  const Matrix3 placement = Translation(10, 5);

  records_.Call([&] {
    CompositeBoxIntoOutput(&records_.in_data, mode_, box.get(), &placement, 1, output.get());
  });

  EXPECT_TRUE(SamePixel(output.At(11, 5), kRed));
  EXPECT_TRUE(SamePixel(output.At(12, 5), kClear));
}

TEST_F(OutputCompositingTest, MotionBlurHandsBothMatricesInTheirOrder) {
  OwnedWorld box(4, 4);
  render_test::FillWorld(box, kRed);
  OwnedWorld output(20, 20);
  const Matrix3 pair[2] = {Translation(2, 5), Translation(10, 5)};
  MatrixSpy spy(records_.utils);

  records_.Call(
      [&] { CompositeBoxIntoOutput(&records_.in_data, mode_, box.get(), pair, 2, output.get()); });

  ASSERT_EQ(spy.matrices().size(), 2u);
  EXPECT_EQ(spy.matrices()[0].mat[2][0], 2.0);
  EXPECT_EQ(spy.matrices()[1].mat[2][0], 10.0);
  EXPECT_EQ(HostCalls(),
            std::vector<std::string>{"transform_world xfer=2 flags=1 mask=no matrices=2"});
}

// --- Step 3: the text over the box --------------------------------------------------------

// An 8 x 4 output holding an opaque red box in columns 0 to 3, and a layer of opaque white
// text in columns 2 to 5: the text half over the box, half beside it.
class TextOverBoxTest : public OutputCompositingTest {
 protected:
  TextOverBoxTest() : output_(8, 4), text_(8, 4) {
    FillRect(output_, kRed, PF_Rect{0, 0, 4, 4});
    FillRect(text_, kWhite, PF_Rect{2, 0, 6, 4});
  }

  void Composite(bool matte, bool subtract) {
    records_.Call([&] {
      CompositeTextOverBox(&records_.in_data, mode_, text_.get(), matte, subtract, output_.get());
    });
  }

  OwnedWorld output_;
  OwnedWorld text_;
};

TEST_F(TextOverBoxTest, PlainTextLiesInFrontOfTheBox) {
  Composite(false, false);

  EXPECT_TRUE(SamePixel(output_.At(1, 2), kRed));
  EXPECT_TRUE(SamePixel(output_.At(3, 2), kWhite));
  EXPECT_TRUE(SamePixel(output_.At(5, 2), kWhite));
  EXPECT_TRUE(SamePixel(output_.At(6, 2), kClear));
  EXPECT_EQ(HostCalls(), (std::vector<std::string>{"AcquireSuite PF World Transform Suite 1",
                                                   "transfer_rect xfer=2 flags=0 mask=no at 0,0",
                                                   "ReleaseSuite PF World Transform Suite 1"}));
}

TEST_F(TextOverBoxTest, MatteKeepsTheTextOnlyWhereTheBoxIs) {
  Composite(true, false);

  EXPECT_TRUE(SamePixel(output_.At(1, 2), kRed));
  EXPECT_TRUE(SamePixel(output_.At(3, 2), kWhite));
  EXPECT_TRUE(SamePixel(output_.At(5, 2), kClear));
  EXPECT_EQ(mode_.xfer, PF_Xfer_IN_FRONT);
  EXPECT_EQ(records_.Entries({"transfer_rect"}),
            std::vector<std::string>{"transfer_rect xfer=2 flags=0 mask=yes at 0,0"});
}

TEST_F(TextOverBoxTest, SubtractCutsTheTextOutOfTheBoxWithoutDrawingIt) {
  Composite(false, true);

  EXPECT_TRUE(SamePixel(output_.At(1, 2), kRed));
  EXPECT_EQ(output_.At(3, 2).alpha, 0);
  EXPECT_EQ(output_.At(5, 2).alpha, 0);
  EXPECT_EQ(records_.Entries({"transfer_rect"}),
            std::vector<std::string>{"transfer_rect xfer=19 flags=0 mask=no at 0,0"});
}

TEST_F(TextOverBoxTest, SubtractWinsOverMatte) {
  Composite(true, true);

  EXPECT_TRUE(SamePixel(output_.At(1, 2), kRed));
  EXPECT_EQ(output_.At(3, 2).alpha, 0);
  EXPECT_EQ(output_.At(5, 2).alpha, 0);
  EXPECT_EQ(records_.Entries({"transfer_rect"}),
            std::vector<std::string>{"transfer_rect xfer=19 flags=0 mask=no at 0,0"});
}

TEST_F(TextOverBoxTest, TextIsReadInsideTheOutputExtentAndWrittenAtTheOrigin) {
  // With the extent starting at column 2, text column 2 lands in output column 0.
  FillRect(output_, kClear, PF_Rect{0, 0, 8, 4});
  output_.world().extent_hint = PF_Rect{2, 0, 8, 4};
  Composite(false, false);

  EXPECT_TRUE(SamePixel(output_.At(0, 1), kWhite));
  EXPECT_TRUE(SamePixel(output_.At(3, 1), kWhite));
  EXPECT_TRUE(SamePixel(output_.At(4, 1), kClear));
}

TEST_F(TextOverBoxTest, MissingWorldTransformSuiteIsBadCallbackParam) {
  records_.faults.RefuseSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
  try {
    Composite(false, false);
    ADD_FAILURE() << "no error was raised";
  } catch (PF_Err error) {
    EXPECT_EQ(error, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_TRUE(SamePixel(output_.At(5, 2), kClear));
}

}  // namespace
}  // namespace quorvel
