// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"
#include "headless/suites/suite_registry.h"

namespace quorvel::headless {
namespace {

PF_Err DoNothing(PF_Cmd, PF_InData*, PF_OutData*, PF_ParamDef**, PF_LayerDef*, void*) {
  return PF_Err_NONE;
}

template <typename Suite>
const Suite& Find(const char* name, int32_t version) {
  const void* table = SuiteRegistry::Host().Find(name, version);
  EXPECT_NE(table, nullptr) << name << " " << version;
  return *static_cast<const Suite*>(table);
}

const AEGP_PFInterfaceSuite1& PFInterface() {
  return Find<AEGP_PFInterfaceSuite1>(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
}
const AEGP_LayerSuite5& LayerSuite11() {
  return Find<AEGP_LayerSuite5>(kAEGPLayerSuite, kAEGPLayerSuiteVersion5);
}
const AEGP_LayerSuite7& LayerSuite13() {
  return Find<AEGP_LayerSuite7>(kAEGPLayerSuite, kAEGPLayerSuiteVersion7);
}
const AEGP_CompSuite9& CompSuite() {
  return Find<AEGP_CompSuite9>(kAEGPCompSuite, kAEGPCompSuiteVersion9);
}
const AEGP_TextLayerSuite1& TextSuite() {
  return Find<AEGP_TextLayerSuite1>(kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1);
}
const PF_PathDataSuite1& PathSuite() {
  return Find<PF_PathDataSuite1>(kPFPathDataSuite, kPFPathDataSuiteVersion1);
}

PF_PathVertex Vertex(double x, double y) {
  return PF_PathVertex{x, y, 0, 0, 0, 0};
}

// An instance of a do-nothing effect with a command of it running on this thread, as when
// a plug-in's render calls into the host.
class LayerSuites : public ::testing::Test {
 protected:
  LayerSuites() : instance_(DoNothing), scoped_(Begin()) {}

  CallContext& Begin() {
    context_.instance = &instance_;
    context_.log = &log_;
    return context_;
  }

  TextLayer& layer() { return instance_.mutable_scene().layer; }
  Composition& composition() { return instance_.mutable_scene().composition; }

  AEGP_LayerH EffectLayer() {
    AEGP_LayerH layer = nullptr;
    EXPECT_EQ(PFInterface().AEGP_GetEffectLayer(instance_.effect_ref(), &layer), A_Err_NONE);
    return layer;
  }

  AEGP_TextOutlinesH NewOutlines(A_long value = 0, A_u_long scale = 30) {
    const A_Time time{value, scale};
    AEGP_TextOutlinesH outlines = nullptr;
    EXPECT_EQ(TextSuite().AEGP_GetNewTextOutlines(EffectLayer(), &time, &outlines), A_Err_NONE);
    return outlines;
  }

  A_long NumOutlines(AEGP_TextOutlinesH outlines) {
    A_long count = -1;
    EXPECT_EQ(TextSuite().AEGP_GetNumTextOutlines(outlines, &count), A_Err_NONE);
    return count;
  }

  PF_PathOutlinePtr Outline(AEGP_TextOutlinesH outlines, A_long index) {
    PF_PathOutlinePtr outline = nullptr;
    EXPECT_EQ(TextSuite().AEGP_GetIndexedTextOutline(outlines, index, &outline), A_Err_NONE);
    return outline;
  }

  A_long NumSegments(PF_PathOutlinePtr outline) {
    A_long count = -1;
    EXPECT_EQ(PathSuite().PF_PathNumSegments(instance_.effect_ref(), outline, &count), PF_Err_NONE);
    return count;
  }

  PF_Err VertexInfo(PF_PathOutlinePtr outline, A_long index, PF_PathVertex& vertex) {
    return PathSuite().PF_PathVertexInfo(instance_.effect_ref(), outline, index, &vertex);
  }

  // A closed triangle and an open path of three vertices, given as the layer's outlines.
  void UseExplicitOutlines() {
    TextOutline triangle;
    triangle.vertices = {Vertex(10, 20), Vertex(110, 20), Vertex(110, 70)};
    triangle.vertices[0].tan_in_x = -5;
    triangle.vertices[0].tan_out_y = 7;
    TextOutline open;
    open.closed = false;
    open.vertices = {Vertex(0, 0), Vertex(1, 1), Vertex(2, 4)};
    TextOutline empty;
    layer().explicit_outlines = TextOutlines{triangle, open, empty};
  }

  int HeldLists() const { return context_.ledger.Held(HeldKind::kOutlineList); }

  EffectInstance instance_;
  CallLog log_;
  CallContext context_;
  ScopedCall scoped_;
};

// --- AEGP PF Interface Suite ---------------------------------------------------------------

TEST_F(LayerSuites, EffectLayerForOwnEffectRef) {
  AEGP_LayerH layer = nullptr;
  EXPECT_EQ(PFInterface().AEGP_GetEffectLayer(instance_.effect_ref(), &layer), A_Err_NONE);
  EXPECT_NE(layer, nullptr);
}

TEST_F(LayerSuites, EffectLayerRefusedForAnotherInstancesEffectRef) {
  EffectInstance other(DoNothing);
  AEGP_LayerH layer = nullptr;
  EXPECT_NE(PFInterface().AEGP_GetEffectLayer(other.effect_ref(), &layer), A_Err_NONE);
  EXPECT_EQ(layer, nullptr);
}

TEST_F(LayerSuites, EffectLayerRefusedForUnknownEffectRef) {
  int not_an_instance = 0;
  AEGP_LayerH layer = nullptr;
  EXPECT_NE(
      PFInterface().AEGP_GetEffectLayer(reinterpret_cast<PF_ProgPtr>(&not_an_instance), &layer),
      A_Err_NONE);
  EXPECT_NE(PFInterface().AEGP_GetEffectLayer(nullptr, &layer), A_Err_NONE);
  EXPECT_EQ(layer, nullptr);
}

TEST(LayerSuitesOutsideCommand, EffectLayerRefused) {
  EffectInstance instance(DoNothing);
  AEGP_LayerH layer = nullptr;
  EXPECT_NE(PFInterface().AEGP_GetEffectLayer(instance.effect_ref(), &layer), A_Err_NONE);
  EXPECT_EQ(layer, nullptr);
}

// --- AEGP Layer Suite and Comp Suite -------------------------------------------------------

TEST_F(LayerSuites, ObjectTypeOfTextLayer) {
  AEGP_ObjectType type = 0;
  EXPECT_EQ(LayerSuite11().AEGP_GetLayerObjectType(EffectLayer(), &type), A_Err_NONE);
  EXPECT_EQ(type, AEGP_ObjectType_TEXT);
}

TEST_F(LayerSuites, ObjectTypeOfOtherLayer) {
  layer().object_type = AEGP_ObjectType_AV;
  AEGP_ObjectType type = -7;
  EXPECT_EQ(LayerSuite11().AEGP_GetLayerObjectType(EffectLayer(), &type), A_Err_NONE);
  EXPECT_EQ(type, AEGP_ObjectType_AV);
}

TEST_F(LayerSuites, ObjectTypeAlsoInLayerSuite13) {
  AEGP_ObjectType type = 0;
  EXPECT_EQ(LayerSuite13().AEGP_GetLayerObjectType(EffectLayer(), &type), A_Err_NONE);
  EXPECT_EQ(type, AEGP_ObjectType_TEXT);
}

TEST_F(LayerSuites, LayerFlagsWithoutMotionBlur) {
  AEGP_LayerFlags flags = 0;
  EXPECT_EQ(LayerSuite13().AEGP_GetLayerFlags(EffectLayer(), &flags), A_Err_NONE);
  EXPECT_EQ(flags, AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_EFFECTS_ACTIVE);
}

TEST_F(LayerSuites, LayerFlagsWithMotionBlur) {
  layer().motion_blur = true;
  AEGP_LayerFlags flags = 0;
  EXPECT_EQ(LayerSuite13().AEGP_GetLayerFlags(EffectLayer(), &flags), A_Err_NONE);
  EXPECT_EQ(flags, AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_EFFECTS_ACTIVE |
                       AEGP_LayerFlag_MOTION_BLUR);
}

TEST_F(LayerSuites, CompFlagsFollowCompositionMotionBlur) {
  AEGP_CompH comp = nullptr;
  ASSERT_EQ(LayerSuite13().AEGP_GetLayerParentComp(EffectLayer(), &comp), A_Err_NONE);
  AEGP_CompFlags flags = -1;
  EXPECT_EQ(CompSuite().AEGP_GetCompFlags(comp, &flags), A_Err_NONE);
  EXPECT_EQ(flags, 0);
  composition().motion_blur = true;
  EXPECT_EQ(CompSuite().AEGP_GetCompFlags(comp, &flags), A_Err_NONE);
  EXPECT_EQ(flags, AEGP_CompFlag_ENABLE_MOTION_BLUR);
}

TEST_F(LayerSuites, AnotherInstancesLayerHandleRefused) {
  EffectInstance other(DoNothing);
  AEGP_LayerH foreign = nullptr;
  {
    CallContext other_context;
    other_context.instance = &other;
    ScopedCall other_call(other_context);
    ASSERT_EQ(PFInterface().AEGP_GetEffectLayer(other.effect_ref(), &foreign), A_Err_NONE);
  }
  AEGP_ObjectType type = 0;
  EXPECT_NE(LayerSuite11().AEGP_GetLayerObjectType(foreign, &type), A_Err_NONE);
  EXPECT_EQ(type, 0);
}

TEST_F(LayerSuites, LayerHandleIsNoCompHandle) {
  AEGP_CompFlags flags = 0;
  EXPECT_NE(CompSuite().AEGP_GetCompFlags(reinterpret_cast<AEGP_CompH>(EffectLayer()), &flags),
            A_Err_NONE);
  EXPECT_NE(LayerSuite13().AEGP_GetLayerFlags(nullptr, &flags), A_Err_NONE);
}

// --- AEGP Text Layer Suite -----------------------------------------------------------------

TEST_F(LayerSuites, OutlineListHeldUntilDisposed) {
  const AEGP_TextOutlinesH outlines = NewOutlines();
  EXPECT_EQ(HeldLists(), 1);
  EXPECT_EQ(TextSuite().AEGP_DisposeTextOutlines(outlines), A_Err_NONE);
  EXPECT_EQ(HeldLists(), 0);
  EXPECT_TRUE(context_.ledger.Empty());
}

TEST_F(LayerSuites, OutlinesOfTheLayersText) {
  layer().text = std::string("H");
  const AEGP_TextOutlinesH outlines = NewOutlines();
  ASSERT_EQ(NumOutlines(outlines), 1);
  EXPECT_EQ(NumSegments(Outline(outlines, 0)), 12);  // the H of DejaVu Sans has 12 corners
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, OutlinesAtTheGivenLayerTime) {
  layer().text.keys = {{0.0, "H"}, {1.0, "HH"}};
  const AEGP_TextOutlinesH half_second = NewOutlines(15, 30);
  const AEGP_TextOutlinesH one_second = NewOutlines(30, 30);
  EXPECT_EQ(NumOutlines(half_second), 1);
  EXPECT_EQ(NumOutlines(one_second), 2);
  TextSuite().AEGP_DisposeTextOutlines(half_second);
  TextSuite().AEGP_DisposeTextOutlines(one_second);
}

TEST_F(LayerSuites, KeyframedPositionMovesOutlineVertices) {
  layer().text = std::string("H");
  layer().position.keys = {{0.0, {0, 0}}, {1.0, {30, 0}}};
  const AEGP_TextOutlinesH start = NewOutlines(0, 30);
  const AEGP_TextOutlinesH later = NewOutlines(10, 30);  // a third of a second: 10 px on
  PF_PathVertex at_start{};
  PF_PathVertex at_later{};
  ASSERT_EQ(VertexInfo(Outline(start, 0), 0, at_start), PF_Err_NONE);
  ASSERT_EQ(VertexInfo(Outline(later, 0), 0, at_later), PF_Err_NONE);
  EXPECT_NEAR(at_later.x - at_start.x, 10, 0.01);
  EXPECT_EQ(at_later.y, at_start.y);
  TextSuite().AEGP_DisposeTextOutlines(start);
  TextSuite().AEGP_DisposeTextOutlines(later);
}

TEST_F(LayerSuites, EmptyTextGivesAListWithoutOutlines) {
  layer().text = std::string();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  ASSERT_NE(outlines, nullptr);
  EXPECT_EQ(NumOutlines(outlines), 0);
  EXPECT_EQ(HeldLists(), 1);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, NonTextLayerGivesErrorAndNoList) {
  layer().object_type = AEGP_ObjectType_AV;
  const A_Time time{0, 30};
  AEGP_TextOutlinesH outlines = nullptr;
  EXPECT_NE(TextSuite().AEGP_GetNewTextOutlines(EffectLayer(), &time, &outlines), A_Err_NONE);
  EXPECT_EQ(outlines, nullptr);
  EXPECT_EQ(HeldLists(), 0);
}

TEST_F(LayerSuites, TimeWithoutScaleRefused) {
  const A_Time time{5, 0};
  AEGP_TextOutlinesH outlines = nullptr;
  EXPECT_NE(TextSuite().AEGP_GetNewTextOutlines(EffectLayer(), &time, &outlines), A_Err_NONE);
  EXPECT_EQ(outlines, nullptr);
  EXPECT_EQ(HeldLists(), 0);
}

TEST_F(LayerSuites, DisposedListRefused) {
  const AEGP_TextOutlinesH outlines = NewOutlines();
  ASSERT_EQ(TextSuite().AEGP_DisposeTextOutlines(outlines), A_Err_NONE);
  A_long count = -1;
  EXPECT_NE(TextSuite().AEGP_GetNumTextOutlines(outlines, &count), A_Err_NONE);
  EXPECT_EQ(count, -1);
  EXPECT_NE(TextSuite().AEGP_DisposeTextOutlines(outlines), A_Err_NONE);
  EXPECT_EQ(HeldLists(), 0);
  EXPECT_EQ(context_.ledger.UnbalancedReleases(), 1);
}

TEST_F(LayerSuites, ForeignListHandleRefused) {
  void* cell = nullptr;
  const auto foreign = reinterpret_cast<AEGP_TextOutlinesH>(&cell);
  A_long count = -1;
  PF_PathOutlinePtr outline = nullptr;
  EXPECT_NE(TextSuite().AEGP_GetNumTextOutlines(foreign, &count), A_Err_NONE);
  EXPECT_NE(TextSuite().AEGP_GetIndexedTextOutline(foreign, 0, &outline), A_Err_NONE);
  EXPECT_NE(TextSuite().AEGP_DisposeTextOutlines(foreign), A_Err_NONE);
  EXPECT_NE(TextSuite().AEGP_DisposeTextOutlines(nullptr), A_Err_NONE);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(outline, nullptr);
}

TEST_F(LayerSuites, IndexedOutlineOutOfRangeRefused) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  PF_PathOutlinePtr outline = nullptr;
  EXPECT_NE(TextSuite().AEGP_GetIndexedTextOutline(outlines, -1, &outline), A_Err_NONE);
  EXPECT_NE(TextSuite().AEGP_GetIndexedTextOutline(outlines, 3, &outline), A_Err_NONE);
  EXPECT_EQ(outline, nullptr);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, OutlineRefusedAfterItsListIsDisposed) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  const PF_PathOutlinePtr outline = Outline(outlines, 0);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
  A_long count = -1;
  EXPECT_EQ(PathSuite().PF_PathNumSegments(instance_.effect_ref(), outline, &count),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(count, -1);
}

TEST(LayerSuitesOnSeveralThreads, EachCommandCountsItsOwnLists) {
  EffectInstance instance(DoNothing);
  instance.mutable_scene().layer.text = std::string("Hi");
  std::vector<int> held_after(4, -1);
  std::vector<std::thread> threads;
  for (int& held : held_after) {
    threads.emplace_back([&instance, &held] {
      CallContext context;
      context.instance = &instance;
      ScopedCall call(context);
      AEGP_LayerH layer = nullptr;
      PFInterface().AEGP_GetEffectLayer(instance.effect_ref(), &layer);
      for (A_long frame = 0; frame < 10; ++frame) {
        const A_Time time{frame, 30};
        AEGP_TextOutlinesH outlines = nullptr;
        TextSuite().AEGP_GetNewTextOutlines(layer, &time, &outlines);
        PF_PathOutlinePtr outline = nullptr;
        TextSuite().AEGP_GetIndexedTextOutline(outlines, 0, &outline);
        PF_PathVertex vertex{};
        PathSuite().PF_PathVertexInfo(nullptr, outline, 0, &vertex);
        TextSuite().AEGP_DisposeTextOutlines(outlines);
      }
      held = context.ledger.Held(HeldKind::kOutlineList);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(held_after, std::vector<int>(4, 0));
}

// --- PF Path Data Suite --------------------------------------------------------------------

TEST_F(LayerSuites, ClosedOutlineHasOneSegmentPerVertex) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  EXPECT_EQ(NumSegments(Outline(outlines, 0)), 3);
  PF_Boolean open = 1;
  EXPECT_EQ(PathSuite().PF_PathIsOpen(nullptr, Outline(outlines, 0), &open), PF_Err_NONE);
  EXPECT_EQ(open, 0);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, VertexInfoGivesVerticesInOrder) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  const PF_PathOutlinePtr triangle = Outline(outlines, 0);
  PF_PathVertex vertex{};
  ASSERT_EQ(VertexInfo(triangle, 1, vertex), PF_Err_NONE);
  EXPECT_EQ(vertex.x, 110);
  EXPECT_EQ(vertex.y, 20);
  ASSERT_EQ(VertexInfo(triangle, 2, vertex), PF_Err_NONE);
  EXPECT_EQ(vertex.y, 70);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, VertexInfoAtSegmentCountRepeatsFirstVertexOfClosedOutline) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  PF_PathVertex vertex{};
  ASSERT_EQ(VertexInfo(Outline(outlines, 0), 3, vertex), PF_Err_NONE);
  EXPECT_EQ(vertex.x, 10);
  EXPECT_EQ(vertex.y, 20);
  EXPECT_EQ(vertex.tan_in_x, -5);
  EXPECT_EQ(vertex.tan_out_y, 7);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, VertexInfoOutOfRangeRefused) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  PF_PathVertex vertex = Vertex(-1, -1);
  EXPECT_EQ(VertexInfo(Outline(outlines, 0), 4, vertex), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(VertexInfo(Outline(outlines, 0), -1, vertex), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(vertex.x, -1);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, OpenOutlineEndsAtItsLastVertex) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  const PF_PathOutlinePtr open_path = Outline(outlines, 1);
  PF_Boolean open = 0;
  EXPECT_EQ(PathSuite().PF_PathIsOpen(nullptr, open_path, &open), PF_Err_NONE);
  EXPECT_EQ(open, 1);
  EXPECT_EQ(NumSegments(open_path), 2);
  PF_PathVertex vertex{};
  ASSERT_EQ(VertexInfo(open_path, 2, vertex), PF_Err_NONE);
  EXPECT_EQ(vertex.y, 4);
  EXPECT_EQ(VertexInfo(open_path, 3, vertex), PF_Err_BAD_CALLBACK_PARAM);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, OutlineWithoutVerticesHasNoSegmentsAndNoVertex) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  const PF_PathOutlinePtr empty = Outline(outlines, 2);
  EXPECT_EQ(NumSegments(empty), 0);
  PF_PathVertex vertex{};
  EXPECT_EQ(VertexInfo(empty, 0, vertex), PF_Err_BAD_CALLBACK_PARAM);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, PathCallsRefuseAnotherInstancesEffectRef) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  EffectInstance other(DoNothing);
  A_long count = -1;
  EXPECT_EQ(PathSuite().PF_PathNumSegments(other.effect_ref(), Outline(outlines, 0), &count),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(PathSuite().PF_PathNumSegments(nullptr, Outline(outlines, 0), &count), PF_Err_NONE);
  EXPECT_EQ(count, 3);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

TEST_F(LayerSuites, UnofferedPathSlotsReturnError) {
  UseExplicitOutlines();
  const AEGP_TextOutlinesH outlines = NewOutlines();
  PF_PathSegPrepPtr prep = nullptr;
  EXPECT_EQ(PathSuite().PF_PathPrepareSegLength(nullptr, Outline(outlines, 0), 0, 10, &prep),
            PF_Err_BAD_CALLBACK_PARAM);
  PF_Boolean inverted = 0;
  EXPECT_EQ(PathSuite().PF_PathIsInverted(nullptr, 0, &inverted), PF_Err_BAD_CALLBACK_PARAM);
  TextSuite().AEGP_DisposeTextOutlines(outlines);
}

// --- The tables ----------------------------------------------------------------------------

template <typename Suite>
void ExpectEverySlotFilled(const Suite& suite, const char* name) {
  static_assert(sizeof(Suite) % sizeof(void*) == 0, "a table of pointers");
  for (size_t slot = 0; slot < sizeof(Suite) / sizeof(void*); ++slot) {
    uintptr_t value = 0;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&suite) + slot * sizeof(void*),
                sizeof(value));
    EXPECT_NE(value, 0u) << name << " slot " << slot;
  }
}

TEST(LayerSuiteTables, EverySlotFilled) {
  ExpectEverySlotFilled(PFInterface(), "AEGP PF Interface Suite 1");
  ExpectEverySlotFilled(LayerSuite11(), "AEGP Layer Suite 11");
  ExpectEverySlotFilled(LayerSuite13(), "AEGP Layer Suite 13");
  ExpectEverySlotFilled(CompSuite(), "AEGP Comp Suite 19");
  ExpectEverySlotFilled(TextSuite(), "AEGP Text Layer Suite 1");
  ExpectEverySlotFilled(PathSuite(), "PF Path Data Suite 1");
}

TEST_F(LayerSuites, UnofferedSlotsReturnGenericError) {
  AEGP_LayerH active = nullptr;
  EXPECT_EQ(LayerSuite11().AEGP_GetActiveLayer(&active), A_Err_GENERIC);
  EXPECT_EQ(LayerSuite13().AEGP_DeleteLayer(EffectLayer()), A_Err_GENERIC);
  EXPECT_EQ(PFInterface().AEGP_ConvertEffectToCompTime(instance_.effect_ref(), 0, 30, nullptr),
            A_Err_GENERIC);
  EXPECT_EQ(CompSuite().AEGP_SetCompDisplayDropFrame(nullptr, 0), A_Err_GENERIC);
  EXPECT_EQ(active, nullptr);
}

TEST_F(LayerSuites, CallsAreLoggedInOrder) {
  AEGP_ObjectType type = 0;
  LayerSuite11().AEGP_GetLayerObjectType(EffectLayer(), &type);
  AEGP_LayerH active = nullptr;
  LayerSuite11().AEGP_GetActiveLayer(&active);
  EXPECT_EQ(log_.Entries(),
            (std::vector<std::string>{"AEGP_GetEffectLayer", "AEGP_GetLayerObjectType",
                                      "AEGP Layer Suite 11 slot 2 (not offered)"}));
}

// --- Through a command ----------------------------------------------------------------------

// What the in-process effect below does in its command.
std::function<void(PF_InData*)> command_body;

PF_Err RunBody(PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**, PF_LayerDef*, void*) {
  command_body(in_data);
  return PF_Err_NONE;
}

template <typename Suite>
const Suite* Acquire(PF_InData* in_data, const char* name, int32_t version) {
  const void* suite = nullptr;
  in_data->pica_basicP->AcquireSuite(name, version, &suite);
  return static_cast<const Suite*>(suite);
}

TEST(LayerSuitesInCommand, UndisposedOutlineListIsHeldAfterCommand) {
  EffectInstance instance(RunBody);
  command_body = [](PF_InData* in_data) {
    const auto* pf = Acquire<AEGP_PFInterfaceSuite1>(in_data, kAEGPPFInterfaceSuite,
                                                     kAEGPPFInterfaceSuiteVersion1);
    const auto* text =
        Acquire<AEGP_TextLayerSuite1>(in_data, kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1);
    AEGP_LayerH layer = nullptr;
    pf->AEGP_GetEffectLayer(in_data->effect_ref, &layer);
    const A_Time time{in_data->current_time, in_data->time_scale};
    AEGP_TextOutlinesH outlines = nullptr;
    text->AEGP_GetNewTextOutlines(layer, &time, &outlines);
    in_data->pica_basicP->ReleaseSuite(kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1);
    in_data->pica_basicP->ReleaseSuite(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
  };
  const CommandResult result = instance.Run(PF_Cmd_RENDER);
  EXPECT_EQ(result.held.Held(HeldKind::kOutlineList), 1);
  EXPECT_EQ(result.held.Held(HeldKind::kSuite), 0);
}

TEST(LayerSuitesInCommand, DisposedOutlineListLeavesNothingHeld) {
  EffectInstance instance(RunBody);
  instance.mutable_scene().layer.text = std::string("Quorvel");
  A_long count = 0;
  command_body = [&count](PF_InData* in_data) {
    const auto* pf = Acquire<AEGP_PFInterfaceSuite1>(in_data, kAEGPPFInterfaceSuite,
                                                     kAEGPPFInterfaceSuiteVersion1);
    const auto* text =
        Acquire<AEGP_TextLayerSuite1>(in_data, kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1);
    AEGP_LayerH layer = nullptr;
    pf->AEGP_GetEffectLayer(in_data->effect_ref, &layer);
    const A_Time time{in_data->current_time, in_data->time_scale};
    AEGP_TextOutlinesH outlines = nullptr;
    text->AEGP_GetNewTextOutlines(layer, &time, &outlines);
    text->AEGP_GetNumTextOutlines(outlines, &count);
    text->AEGP_DisposeTextOutlines(outlines);
    in_data->pica_basicP->ReleaseSuite(kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1);
    in_data->pica_basicP->ReleaseSuite(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
  };
  const CommandResult result = instance.Run(PF_Cmd_RENDER);
  EXPECT_GT(count, 0);
  EXPECT_TRUE(result.held.Empty()) << result.held.Describe();
}

}  // namespace
}  // namespace quorvel::headless
