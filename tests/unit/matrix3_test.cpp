// SPDX-License-Identifier: MIT
#include "render/matrix3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "headless/instance/call_context.h"
#include "headless/suites/suite_registry.h"

namespace quorvel {
namespace {

struct Point {
  double x;
  double y;
};

// p' = p x M for the row vector (x, y, 1).
Point Apply(const Matrix3& m, Point p) {
  return Point{p.x * m.m[0] + p.y * m.m[3] + m.m[6], p.x * m.m[1] + p.y * m.m[4] + m.m[7]};
}

Matrix3 Identity() {
  Matrix3 m{};
  Matrix3Identity(m);
  return m;
}

bool BitIdentical(const Matrix3& a, const Matrix3& b) {
  return std::memcmp(a.m, b.m, sizeof a.m) == 0;
}

TEST(Matrix3Identity, HasOnesOnTheDiagonalAndZerosElsewhere) {
  Matrix3 m{{7, 7, 7, 7, 7, 7, 7, 7, 7}};
  EXPECT_EQ(Matrix3Identity(m), PF_Err_NONE);
  const double expected[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(m.m[i], expected[i]) << "entry " << i;
}

TEST(Matrix3Multiply, AppendsTheSecondMatrixOnTheRight) {
  Matrix3 m{{1, 2, 3, 4, 5, 6, 7, 8, 9}};
  const Matrix3 n{{9, 8, 7, 6, 5, 4, 3, 2, 1}};
  Matrix3Multiply(n, m);
  const double expected[9] = {30, 24, 18, 84, 69, 54, 138, 114, 90};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(m.m[i], expected[i]) << "entry " << i;
}

TEST(Matrix3Multiply, SumsTheFirstTwoTermsBeforeTheThird) {
  // 1e16 - 1e16 + 1 is 1 only when the first two terms are added first; either other
  // grouping loses the 1 to rounding.
  Matrix3 m{{1e16, -1e16, 1, 0, 1, 0, 0, 0, 1}};
  const Matrix3 n{{1, 0, 0, 1, 1, 0, 1, 0, 1}};
  Matrix3Multiply(n, m);
  EXPECT_EQ(m.m[0], 1.0);
}

TEST(Matrix3Translate, ByZeroKeepsTheIdentity) {
  Matrix3 m = Identity();
  EXPECT_EQ(Matrix3Translate(m, 0, 0), PF_Err_NONE);
  EXPECT_TRUE(BitIdentical(m, Identity()));
}

TEST(Matrix3Translate, PutsTheShiftInTheThirdRow) {
  Matrix3 m = Identity();
  Matrix3Translate(m, 3, 4);
  EXPECT_EQ(m.m[6], 3);
  EXPECT_EQ(m.m[7], 4);
  const Point p = Apply(m, {1, 2});
  EXPECT_EQ(p.x, 4);
  EXPECT_EQ(p.y, 6);
}

TEST(Matrix3Scale, ByExactlyOneAndOneLeavesTheMatrixBitForBit) {
  Matrix3 m = Identity();
  Matrix3Translate(m, 0.1, 0.7);
  Matrix3Skew(m, 0.3, 0.2);
  const Matrix3 before = m;
  EXPECT_EQ(Matrix3Scale(m, 1, 1), PF_Err_NONE);
  EXPECT_TRUE(BitIdentical(m, before));
}

TEST(Matrix3Scale, ByOneAndTwoIsApplied) {
  Matrix3 m = Identity();
  Matrix3Scale(m, 1, 2);
  const Point p = Apply(m, {3, 4});
  EXPECT_EQ(p.x, 3);
  EXPECT_EQ(p.y, 8);
}

TEST(Matrix3Scale, ValueCloseToOneIsStillApplied) {
  Matrix3 m = Identity();
  Matrix3Scale(m, 1, std::nextafter(1.0, 2.0));
  EXPECT_NE(m.m[4], 1.0);
}

TEST(Matrix3Skew, ShearsXByYAndLeavesPointsOnTheXAxis) {
  Matrix3 m = Identity();
  EXPECT_EQ(Matrix3Skew(m, 0.5, 0), PF_Err_NONE);
  const Point moved = Apply(m, {0, 2});
  EXPECT_EQ(moved.x, 1);
  EXPECT_EQ(moved.y, 2);
  const Point kept = Apply(m, {2, 0});
  EXPECT_EQ(kept.x, 2);
  EXPECT_EQ(kept.y, 0);
}

TEST(Matrix3Skew, ShearsYByX) {
  Matrix3 m = Identity();
  Matrix3Skew(m, 0, 0.25);
  const Point p = Apply(m, {4, 1});
  EXPECT_EQ(p.x, 4);
  EXPECT_EQ(p.y, 2);
}

TEST(Matrix3Builders, ActInTheOrderTheyWereCalled) {
  Matrix3 translate_then_scale = Identity();
  Matrix3Translate(translate_then_scale, 10, 0);
  Matrix3Scale(translate_then_scale, 2, 3);
  const Point a = Apply(translate_then_scale, {1, 1});
  EXPECT_EQ(a.x, 22);
  EXPECT_EQ(a.y, 3);

  Matrix3 scale_then_translate = Identity();
  Matrix3Scale(scale_then_translate, 2, 3);
  Matrix3Translate(scale_then_translate, 10, 0);
  const Point b = Apply(scale_then_translate, {1, 1});
  EXPECT_EQ(b.x, 12);
  EXPECT_EQ(b.y, 3);
}

TEST(Matrix3Builders, ChainAboutAPointKeepsThatPointFixed) {
  Matrix3 m = Identity();
  Matrix3Translate(m, -10, -20);
  Matrix3Scale(m, 2, 3);
  Matrix3Skew(m, 0.5, 0);
  Matrix3Translate(m, 10, 20);
  const Point pivot = Apply(m, {10, 20});
  EXPECT_EQ(pivot.x, 10);
  EXPECT_EQ(pivot.y, 20);
  // One pixel right of the pivot: scaled to 2, unsheared.
  const Point right = Apply(m, {11, 20});
  EXPECT_EQ(right.x, 12);
  EXPECT_EQ(right.y, 20);
  // One pixel below: scaled to 3, then sheared by 0.5 x 3.
  const Point below = Apply(m, {10, 21});
  EXPECT_EQ(below.x, 11.5);
  EXPECT_EQ(below.y, 23);
}

TEST(ToHostMatrix, CopiesTheNineValuesRowByRow) {
  const Matrix3 m{{1, 2, 3, 4, 5, 6, 7, 8, 9}};
  const PF_FloatMatrix host = ToHostMatrix(m);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(host.mat[row][column], m.m[3 * row + column]);
    }
  }
}

// --- Rotation, with the headless host's "PF ANSI Suite" ------------------------------------

class Matrix3RotateTest : public ::testing::Test {
 protected:
  Matrix3RotateTest() {
    context_.faults = &faults_;
    context_.log = &log_;
    in_data_.pica_basicP = headless::HostBasicSuite();
  }

  headless::FaultPlan faults_;
  headless::CallLog log_;
  headless::CallContext context_;
  PF_InData in_data_{};
};

TEST_F(Matrix3RotateTest, WithoutBasicSuiteFailsEvenForZeroDegrees) {
  in_data_.pica_basicP = nullptr;
  Matrix3 m = Identity();
  try {
    Matrix3Rotate(m, &in_data_, 0);
    FAIL() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_TRUE(BitIdentical(m, Identity()));
}

TEST_F(Matrix3RotateTest, WithoutInputRecordFails) {
  Matrix3 m = Identity();
  try {
    Matrix3Rotate(m, nullptr, 90);
    FAIL() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
}

TEST_F(Matrix3RotateTest, ByZeroDegreesChangesNothingAndAsksForNoSuite) {
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  Matrix3Translate(m, 0.1, 0.3);
  const Matrix3 before = m;
  EXPECT_EQ(Matrix3Rotate(m, &in_data_, 0), PF_Err_NONE);
  EXPECT_TRUE(BitIdentical(m, before));
  EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(Matrix3RotateTest, ByNinetyDegreesIsNotAnExactQuarterTurn) {
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  EXPECT_EQ(Matrix3Rotate(m, &in_data_, 90), PF_Err_NONE);
  // The cosine of the double nearest pi/2 is about 6.1e-17, not 0.
  EXPECT_NE(m.m[0], 0.0);
  EXPECT_NEAR(m.m[0], 6.1e-17, 0.05e-17);
  EXPECT_EQ(m.m[1], 1.0);
  EXPECT_EQ(m.m[3], -1.0);
  EXPECT_EQ(m.m[4], m.m[0]);
  EXPECT_EQ(m.m[8], 1.0);
}

TEST_F(Matrix3RotateTest, PositiveAngleTurnsClockwiseWithYDown) {
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  Matrix3Rotate(m, &in_data_, 90);
  // (1, 0), right of the origin, goes to (0, 1), below it.
  const Point p = Apply(m, {1, 0});
  EXPECT_NEAR(p.x, 0, 1e-15);
  EXPECT_EQ(p.y, 1);
}

TEST_F(Matrix3RotateTest, AfterTranslationTurnsTheTranslatedPoint) {
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  Matrix3Translate(m, 10, 0);
  Matrix3Rotate(m, &in_data_, 90);
  const Point p = Apply(m, {0, 0});
  EXPECT_NEAR(p.x, 0, 1e-14);
  EXPECT_EQ(p.y, 10);
}

TEST_F(Matrix3RotateTest, BeforeTranslationLeavesTheOriginToTheTranslation) {
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  Matrix3Rotate(m, &in_data_, 90);
  Matrix3Translate(m, 10, 0);
  const Point p = Apply(m, {0, 0});
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 0);
}

TEST_F(Matrix3RotateTest, AcquiresTheAnsiSuiteOnceAndReleasesIt) {
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  Matrix3Rotate(m, &in_data_, 30);
  const std::vector<std::string> expected = {"AcquireSuite PF ANSI Suite 1",
                                             "ReleaseSuite PF ANSI Suite 1"};
  EXPECT_EQ(log_.Entries(), expected);
  EXPECT_TRUE(context_.ledger.Empty()) << context_.ledger.Describe();
}

TEST_F(Matrix3RotateTest, WithoutAnsiSuiteFailsAndLeavesTheMatrix) {
  faults_.RefuseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  Matrix3Translate(m, 5, 6);
  const Matrix3 before = m;
  try {
    Matrix3Rotate(m, &in_data_, 45);
    FAIL() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_TRUE(BitIdentical(m, before));
  EXPECT_TRUE(context_.ledger.Empty()) << context_.ledger.Describe();
}

TEST_F(Matrix3RotateTest, ChainAboutAPointTurnsAboutThatPoint) {
  headless::ScopedCall call(context_);
  Matrix3 m = Identity();
  Matrix3Translate(m, -10, -20);
  Matrix3Rotate(m, &in_data_, 90);
  Matrix3Translate(m, 10, 20);
  const Point pivot = Apply(m, {10, 20});
  EXPECT_NEAR(pivot.x, 10, 1e-14);
  EXPECT_NEAR(pivot.y, 20, 1e-14);
  const Point right = Apply(m, {12, 20});
  EXPECT_NEAR(right.x, 10, 1e-14);
  EXPECT_NEAR(right.y, 22, 1e-14);
}

}  // namespace
}  // namespace quorvel
