// SPDX-License-Identifier: MIT
#include "text/text_outline_query.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/text_layer_fixture.h"

namespace quorvel {
namespace {

using test_support::ClosedOutline;
using test_support::OpenOutline;
using test_support::ReceivedVertex;
using test_support::RecordingSink;

class QueryTextOutlinesTest : public test_support::TextLayerTest {
 protected:
  std::vector<ReceivedVertex> Walk(bool at_shutter_open = false) {
    RecordingSink sink;
    QueryTextOutlines(&in_data_, at_shutter_open, motion_blur_, sink);
    return sink.received;
  }

  A_long motion_blur_ = 0;
};

TEST_F(QueryTextOutlinesTest, HandsOverEveryVertexInWalkOrder) {
  SetOutlines({ClosedOutline({{1, 2}, {3, 4}, {5, 6}}), ClosedOutline({{7, 8}, {9, 10}})});
  const std::vector<ReceivedVertex> expected = {
      {1, 2, true}, {3, 4, false}, {5, 6, false}, {7, 8, false}, {9, 10, false}};
  EXPECT_EQ(Walk(), expected);
}

TEST_F(QueryTextOutlinesTest, LastVertexOfAnOpenOutlineIsNotMeasured) {
  // Two segments: vertices 0 and 1 are asked for; vertex 2 is at the segment count.
  SetOutlines({OpenOutline({{0, 0}, {10, 0}, {99, 99}})});
  const std::vector<ReceivedVertex> expected = {{0, 0, true}, {10, 0, false}};
  EXPECT_EQ(Walk(), expected);
}

TEST_F(QueryTextOutlinesTest, ZeroSegmentOutlineIsSkippedWithTheFirstMarkPending) {
  SetOutlines({ClosedOutline({}), ClosedOutline({{5, 6}, {7, 8}})});
  const std::vector<ReceivedVertex> expected = {{5, 6, true}, {7, 8, false}};
  EXPECT_EQ(Walk(), expected);
}

TEST_F(QueryTextOutlinesTest, TextWithoutOutlinesReachesNothingAndNeedsNoPathDataSuite) {
  SetOutlines({});
  EXPECT_TRUE(Walk().empty());
  EXPECT_FALSE(Acquired("PF Path Data Suite 1"));
}

TEST_F(QueryTextOutlinesTest, CoordinatesArriveExactlyAsTheHostGaveThem) {
  SetOutlines({ClosedOutline({{-0.125, 1e-9}, {12345.678, -987.5}})});
  const std::vector<ReceivedVertex> expected = {{-0.125, 1e-9, true}, {12345.678, -987.5, false}};
  EXPECT_EQ(Walk(), expected);
}

TEST_F(QueryTextOutlinesTest, RealTextGivesVerticesInsideTheLayer) {
  Layer().text = std::string("Hi");
  Layer().position = headless::Point2{100, 200};
  const std::vector<ReceivedVertex> received = Walk();
  ASSERT_FALSE(received.empty());
  EXPECT_TRUE(received.front().first);
  for (const ReceivedVertex& vertex : received) {
    EXPECT_GE(vertex.x, 100);
    EXPECT_GE(vertex.y, 200);
  }
}

// --- Motion-blur flag ------------------------------------------------------------------------

TEST_F(QueryTextOutlinesTest, BothSwitchesOnSetTheFlag) {
  SetMotionBlur(true, true);
  Walk();
  EXPECT_EQ(motion_blur_, 1);
}

TEST_F(QueryTextOutlinesTest, LayerSwitchAloneLeavesTheFlag) {
  SetMotionBlur(true, false);
  Walk();
  EXPECT_EQ(motion_blur_, 0);
}

TEST_F(QueryTextOutlinesTest, CompositionSwitchAloneLeavesTheFlag) {
  SetMotionBlur(false, true);
  Walk();
  EXPECT_EQ(motion_blur_, 0);
}

TEST_F(QueryTextOutlinesTest, SwitchesOffNeverClearTheCallersFlag) {
  SetMotionBlur(false, false);
  motion_blur_ = 1;
  Walk();
  EXPECT_EQ(motion_blur_, 1);
}

TEST_F(QueryTextOutlinesTest, TextWithoutOutlinesStillSetsTheFlag) {
  SetOutlines({});
  SetMotionBlur(true, true);
  EXPECT_TRUE(Walk().empty());
  EXPECT_EQ(motion_blur_, 1);
}

TEST_F(QueryTextOutlinesTest, SecondCallIsAnIndependentWalkAndSetsTheFlagAgain) {
  SetOutlines({ClosedOutline({{1, 2}, {3, 4}})});
  SetMotionBlur(true, true);
  const std::vector<ReceivedVertex> close = Walk(false);
  motion_blur_ = 0;
  const std::vector<ReceivedVertex> open = Walk(true);
  EXPECT_EQ(motion_blur_, 1);
  EXPECT_EQ(open, close);
  EXPECT_TRUE(open.front().first);
}

// --- Sample time -----------------------------------------------------------------------------

class QueryTextOutlinesTimeTest : public QueryTextOutlinesTest {
 protected:
  QueryTextOutlinesTimeTest() {
    // time_step 3, phase and angle one half: open 1, close 2 (thirtieths of a second). The
    // layer's outline moves from x 100 to x 200 at 1.5 thirtieths.
    in_data_.time_scale = 30;
    in_data_.current_time = 0;
    in_data_.time_step = 3;
    in_data_.shutter_phase = 32768;
    in_data_.shutter_angle = 32768;
    headless::Animated<headless::TextOutlines> outlines;
    outlines.keys = {{0.0, {ClosedOutline({{100, 0}})}}, {1.5 / 30, {ClosedOutline({{200, 0}})}}};
    Layer().explicit_outlines = outlines;
  }
};

TEST_F(QueryTextOutlinesTimeTest, ShutterOpenSamplesTheOpenInstant) {
  const std::vector<ReceivedVertex> received = Walk(true);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].x, 100);
}

TEST_F(QueryTextOutlinesTimeTest, ShutterCloseSamplesTheCloseInstant) {
  const std::vector<ReceivedVertex> received = Walk(false);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].x, 200);
}

// --- Suites and the outline list -------------------------------------------------------------

TEST_F(QueryTextOutlinesTest, AcquiresTheSuitesInWalkOrderAndGivesEverythingBack) {
  SetOutlines({ClosedOutline({{1, 2}})});
  Walk();
  const std::vector<std::string> expected = {"AEGP PF Interface Suite 1", "AEGP Layer Suite 13",
                                             "AEGP Comp Suite 19", "AEGP Text Layer Suite 1",
                                             "PF Path Data Suite 1"};
  EXPECT_EQ(Acquisitions(), expected);
  EXPECT_TRUE(Held().Empty()) << Held().Describe();
}

TEST_F(QueryTextOutlinesTest, MakesTheHostCallsInWalkOrder) {
  // Two outlines of two and one segments: the vertex at each segment count is never asked for,
  // and the path suite is obtained once, at the first outline.
  SetOutlines({ClosedOutline({{1, 2}, {3, 4}}), ClosedOutline({{5, 6}})});
  Walk();
  const std::vector<std::string> expected = {
      "AcquireSuite AEGP PF Interface Suite 1",
      "AEGP_GetEffectLayer",
      "AcquireSuite AEGP Layer Suite 13",
      "AEGP_GetLayerFlags",
      "AEGP_GetLayerParentComp",
      "AcquireSuite AEGP Comp Suite 19",
      "AEGP_GetCompFlags",
      "AcquireSuite AEGP Text Layer Suite 1",
      "AEGP_GetNewTextOutlines",
      "AEGP_GetNumTextOutlines",
      "AEGP_GetIndexedTextOutline",
      "AcquireSuite PF Path Data Suite 1",
      "PF_PathNumSegments",
      "PF_PathVertexInfo",
      "PF_PathVertexInfo",
      "AEGP_GetIndexedTextOutline",
      "PF_PathNumSegments",
      "PF_PathVertexInfo",
      "AEGP_DisposeTextOutlines",
      "ReleaseSuite AEGP PF Interface Suite 1",
      "ReleaseSuite AEGP Layer Suite 13",
      "ReleaseSuite AEGP Comp Suite 19",
      "ReleaseSuite AEGP Text Layer Suite 1",
      "ReleaseSuite PF Path Data Suite 1",
  };
  EXPECT_EQ(log_.Entries(), expected);
}

TEST_F(QueryTextOutlinesTest, NoBasicSuiteFailsBeforeAnyHostCall) {
  in_data_.pica_basicP = nullptr;
  try {
    Walk();
    ADD_FAILURE() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(QueryTextOutlinesTest, MissingPathDataSuiteFailsAndDisposesOfTheOutlineList) {
  SetOutlines({ClosedOutline({{1, 2}})});
  RefuseSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1);
  try {
    Walk();
    ADD_FAILURE() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_EQ(Held().Held(headless::HeldKind::kOutlineList), 0);
  EXPECT_TRUE(Held().Empty()) << Held().Describe();
  const std::vector<std::string> entries = log_.Entries();
  EXPECT_NE(std::find(entries.begin(), entries.end(), "AEGP_DisposeTextOutlines"), entries.end());
}

TEST_F(QueryTextOutlinesTest, MissingPathDataSuiteIsNoErrorForTextWithoutOutlines) {
  SetOutlines({});
  RefuseSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1);
  EXPECT_NO_THROW(Walk());
  EXPECT_TRUE(Held().Empty()) << Held().Describe();
}

TEST_F(QueryTextOutlinesTest, MissingTextLayerSuiteFailsAndReleasesTheEarlierSuites) {
  RefuseSuite(kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1);
  SetMotionBlur(true, true);
  try {
    Walk();
    ADD_FAILURE() << "no error";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  // The flag is decided before the outlines are asked for.
  EXPECT_EQ(motion_blur_, 1);
  EXPECT_TRUE(Held().Empty()) << Held().Describe();
}

TEST_F(QueryTextOutlinesTest, OutlineListIsDisposedAfterAWalk) {
  SetOutlines({ClosedOutline({{1, 2}, {3, 4}})});
  Walk();
  EXPECT_EQ(Held().Held(headless::HeldKind::kOutlineList), 0);
  EXPECT_EQ(Held().UnbalancedReleases(), 0);
}

}  // namespace
}  // namespace quorvel
