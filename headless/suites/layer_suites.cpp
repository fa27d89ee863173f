// SPDX-License-Identifier: MIT
// The suites through which the plug-in learns about its layer: the layer itself, its flags,
// its composition's flags, and the outlines of its text at a time, walked vertex by vertex.
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "headless/composition/scene.h"
#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"
#include "headless/suites/suite_registry.h"
#include "headless/text/text_outlines.h"

namespace quorvel::headless {
namespace {

// --- Slots the host does not offer ----------------------------------------------------------
// Every slot of a table the host hands out is callable: one the host does not implement
// answers with the suite's error, so a plug-in that calls it gets an error, never a null call.

struct PFInterfaceSuiteTag {
  static constexpr const char* kLabel = "AEGP PF Interface Suite 1";
  static constexpr A_Err kError = A_Err_GENERIC;
};
struct LayerSuite11Tag {
  static constexpr const char* kLabel = "AEGP Layer Suite 11";
  static constexpr A_Err kError = A_Err_GENERIC;
};
struct LayerSuite13Tag {
  static constexpr const char* kLabel = "AEGP Layer Suite 13";
  static constexpr A_Err kError = A_Err_GENERIC;
};
struct CompSuiteTag {
  static constexpr const char* kLabel = "AEGP Comp Suite 19";
  static constexpr A_Err kError = A_Err_GENERIC;
};
struct PathDataSuiteTag {
  static constexpr const char* kLabel = "PF Path Data Suite 1";
  static constexpr A_Err kError = PF_Err_BAD_CALLBACK_PARAM;
};

void Record(const char* entry) {
  if (CallContext* call = CurrentCall()) call->Record(entry);
}

// Host functions are called from C: nothing may be thrown out of them.
template <A_Err kOutOfMemory, A_Err kFailed, typename Body>
A_Err Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kFailed;
  }
}

template <typename Body>
A_Err GuardedAegp(Body&& body) noexcept {
  return Guarded<A_Err_ALLOC, A_Err_GENERIC>(std::forward<Body>(body));
}

template <typename Body>
PF_Err GuardedPf(Body&& body) noexcept {
  return Guarded<PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED>(std::forward<Body>(body));
}

template <typename Tag, size_t kSlot>
struct Refusal {
  template <typename... Args>
  using Function = A_Err (*)(Args...);

  template <typename... Args>
  static A_Err Refuse(Args...) {
    return Guarded<Tag::kError, Tag::kError>([]() -> A_Err {
      if (CallContext* call = CurrentCall(); call != nullptr && call->log != nullptr) {
        call->Record(std::string(Tag::kLabel) + " slot " + std::to_string(kSlot) +
                     " (not offered)");
      }
      return Tag::kError;
    });
  }

  // Becomes a function of whatever type the slot declares.
  template <typename... Args>
  operator Function<Args...>() const {
    return &Refuse<Args...>;
  }
};

template <typename Table, typename Tag, size_t... kSlots>
Table RefusingTable(std::index_sequence<kSlots...>) {
  return Table{Refusal<Tag, kSlots>{}...};
}

// A table whose every slot refuses; the caller then puts in the slots the host implements.
template <typename Table, typename Tag>
Table RefusingTable() {
  static_assert(sizeof(Table) % sizeof(void*) == 0, "a suite is a table of pointers");
  return RefusingTable<Table, Tag>(std::make_index_sequence<sizeof(Table) / sizeof(void*)>());
}

// --- Layer and composition handles ----------------------------------------------------------
// The layer and composition handles are the addresses of the instance's own scene records:
// distinct for each instance, valid for as long as it lives, and never dereferenced by the
// host, which only compares them with those of the instance whose command is running.

const EffectInstance* CurrentInstance() {
  const CallContext* call = CurrentCall();
  return call != nullptr ? call->instance : nullptr;
}

AEGP_LayerH LayerHandleOf(const EffectInstance& instance) {
  return reinterpret_cast<AEGP_LayerH>(const_cast<TextLayer*>(&instance.scene().layer));
}

AEGP_CompH CompHandleOf(const EffectInstance& instance) {
  return reinterpret_cast<AEGP_CompH>(const_cast<Composition*>(&instance.scene().composition));
}

// The layer behind a handle, or null when it is not the running instance's layer.
const TextLayer* LayerFromHandle(AEGP_LayerH layer) {
  const EffectInstance* instance = CurrentInstance();
  if (instance == nullptr || layer == nullptr || layer != LayerHandleOf(*instance)) return nullptr;
  return &instance->scene().layer;
}

const Composition* CompFromHandle(AEGP_CompH comp) {
  const EffectInstance* instance = CurrentInstance();
  if (instance == nullptr || comp == nullptr || comp != CompHandleOf(*instance)) return nullptr;
  return &instance->scene().composition;
}

// Path functions take an optional effect reference; given, it must be the running instance's.
bool EffectRefAccepted(PF_ProgPtr effect_ref) {
  return effect_ref == nullptr || EffectInstance::FromEffectRef(effect_ref) == CurrentInstance();
}

A_long CountAsLong(size_t count) {
  constexpr auto kLimit = static_cast<size_t>(std::numeric_limits<A_long>::max());
  return static_cast<A_long>(count < kLimit ? count : kLimit);
}

// --- Outline lists --------------------------------------------------------------------------
// Lists live here, not in any instance, from AEGP_GetNewTextOutlines until they are disposed
// of. Handles and outline pointers are looked up before use, so a disposed or foreign one is
// an error rather than a read of freed memory; the lock lets frames render on several threads.
class OutlineLists {
 public:
  AEGP_TextOutlinesH Add(TextOutlines outlines) {
    auto list = std::make_unique<List>();
    list->outlines = std::move(outlines);
    const AEGP_TextOutlinesH handle = &list->cell;
    std::unique_lock<std::shared_mutex> lock(mutex_);
    for (const TextOutline& outline : list->outlines) outline_index_[PathOf(outline)] = &outline;
    lists_.emplace(handle, std::move(list));
    return handle;
  }

  bool Dispose(AEGP_TextOutlinesH handle) {
    std::unique_ptr<List> disposed;
    std::unique_lock<std::shared_mutex> lock(mutex_);
    const auto found = lists_.find(handle);
    if (found == lists_.end()) return false;
    disposed = std::move(found->second);
    lists_.erase(found);
    for (const TextOutline& outline : disposed->outlines) outline_index_.erase(PathOf(outline));
    return true;
  }

  // Runs read(outlines) on the list behind the handle; false for an unknown handle.
  template <typename Read>
  bool ReadList(AEGP_TextOutlinesH handle, Read&& read) const {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const auto found = lists_.find(handle);
    if (found == lists_.end()) return false;
    read(found->second->outlines);
    return true;
  }

  // Runs read(outline) on the outline behind the pointer; false for an unknown pointer.
  template <typename Read>
  bool ReadOutline(PF_PathOutlinePtr path, Read&& read) const {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const auto found = outline_index_.find(path);
    if (found == outline_index_.end()) return false;
    read(*found->second);
    return true;
  }

  static PF_PathOutlinePtr PathOf(const TextOutline& outline) {
    return reinterpret_cast<PF_PathOutlinePtr>(const_cast<TextOutline*>(&outline));
  }

 private:
  struct List {
    TextOutlines outlines;
    std::remove_pointer_t<AEGP_TextOutlinesH> cell = nullptr;  // what the handle points at
  };

  mutable std::shared_mutex mutex_;
  std::unordered_map<AEGP_TextOutlinesH, std::unique_ptr<List>> lists_;
  std::unordered_map<PF_PathOutlinePtr, const TextOutline*> outline_index_;
};

OutlineLists& Lists() {
  static OutlineLists lists;
  return lists;
}

void CountOutlineLists(int delta) {
  if (CallContext* call = CurrentCall()) call->ledger.Add(HeldKind::kOutlineList, delta);
}

// --- "AEGP PF Interface Suite" 1 ------------------------------------------------------------

A_Err GetEffectLayer(PF_ProgPtr effect_ref, AEGP_LayerH* layerPH) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetEffectLayer");
    const EffectInstance* instance = CurrentInstance();
    if (layerPH == nullptr || instance == nullptr) return A_Err_PARAMETER;
    if (EffectInstance::FromEffectRef(effect_ref) != instance) return A_Err_PARAMETER;
    *layerPH = LayerHandleOf(*instance);
    return A_Err_NONE;
  });
}

// --- "AEGP Layer Suite" 11 and 13 -----------------------------------------------------------

A_Err GetLayerObjectType(AEGP_LayerH layerH, AEGP_ObjectType* object_type) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetLayerObjectType");
    const TextLayer* layer = LayerFromHandle(layerH);
    if (layer == nullptr || object_type == nullptr) return A_Err_PARAMETER;
    *object_type = layer->object_type;
    return A_Err_NONE;
  });
}

A_Err GetLayerFlags(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetLayerFlags");
    const TextLayer* layer = LayerFromHandle(layerH);
    if (layer == nullptr || layer_flagsP == nullptr) return A_Err_PARAMETER;
    AEGP_LayerFlags flags = AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_EFFECTS_ACTIVE;
    if (layer->motion_blur) flags |= AEGP_LayerFlag_MOTION_BLUR;
    *layer_flagsP = flags;
    return A_Err_NONE;
  });
}

A_Err GetLayerParentComp(AEGP_LayerH layerH, AEGP_CompH* compPH) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetLayerParentComp");
    if (LayerFromHandle(layerH) == nullptr || compPH == nullptr) return A_Err_PARAMETER;
    *compPH = CompHandleOf(*CurrentInstance());
    return A_Err_NONE;
  });
}

// --- "AEGP Comp Suite" 19 -------------------------------------------------------------------

A_Err GetCompFlags(AEGP_CompH compH, AEGP_CompFlags* comp_flagsP) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetCompFlags");
    const Composition* composition = CompFromHandle(compH);
    if (composition == nullptr || comp_flagsP == nullptr) return A_Err_PARAMETER;
    *comp_flagsP = composition->motion_blur ? AEGP_CompFlag_ENABLE_MOTION_BLUR : 0;
    return A_Err_NONE;
  });
}

// --- "AEGP Text Layer Suite" 1 --------------------------------------------------------------

A_Err GetNewTextOutlines(AEGP_LayerH layerH, const A_Time* layer_timePT,
                         AEGP_TextOutlinesH* outlinesPH) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetNewTextOutlines");
    const TextLayer* layer = LayerFromHandle(layerH);
    if (layer == nullptr || layer_timePT == nullptr || outlinesPH == nullptr) {
      return A_Err_PARAMETER;
    }
    if (layer->object_type != AEGP_ObjectType_TEXT || layer_timePT->scale == 0) {
      return A_Err_PARAMETER;
    }
    const double seconds = Seconds(layer_timePT->value, layer_timePT->scale);
    *outlinesPH = Lists().Add(TextOutlinesAt(*layer, seconds));
    CountOutlineLists(+1);
    return A_Err_NONE;
  });
}

A_Err DisposeTextOutlines(AEGP_TextOutlinesH outlinesH) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_DisposeTextOutlines");
    if (outlinesH == nullptr) return A_Err_PARAMETER;
    if (!Lists().Dispose(outlinesH)) {
      if (CallContext* call = CurrentCall()) call->ledger.NoteUnbalancedRelease();
      return A_Err_PARAMETER;
    }
    CountOutlineLists(-1);
    return A_Err_NONE;
  });
}

A_Err GetNumTextOutlines(AEGP_TextOutlinesH outlinesH, A_long* num_outlinesPL) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetNumTextOutlines");
    if (num_outlinesPL == nullptr) return A_Err_PARAMETER;
    const bool known = Lists().ReadList(outlinesH, [&](const TextOutlines& outlines) {
      *num_outlinesPL = CountAsLong(outlines.size());
    });
    return known ? A_Err_NONE : A_Err_PARAMETER;
  });
}

A_Err GetIndexedTextOutline(AEGP_TextOutlinesH outlinesH, A_long path_indexL,
                            PF_PathOutlinePtr* pathPP) {
  return GuardedAegp([&]() -> A_Err {
    Record("AEGP_GetIndexedTextOutline");
    if (pathPP == nullptr) return A_Err_PARAMETER;
    A_Err err = A_Err_PARAMETER;
    Lists().ReadList(outlinesH, [&](const TextOutlines& outlines) {
      if (path_indexL < 0 || static_cast<size_t>(path_indexL) >= outlines.size()) return;
      *pathPP = OutlineLists::PathOf(outlines[static_cast<size_t>(path_indexL)]);
      err = A_Err_NONE;
    });
    return err;
  });
}

// --- "PF Path Data Suite" 1 -----------------------------------------------------------------

PF_Err PathIsOpen(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP, PF_Boolean* openPB) {
  return GuardedPf([&]() -> PF_Err {
    Record("PF_PathIsOpen");
    if (!EffectRefAccepted(effect_ref0) || openPB == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const bool known = Lists().ReadOutline(
        pathP, [&](const TextOutline& outline) { *openPB = outline.closed ? 0 : 1; });
    return known ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
  });
}

PF_Err PathNumSegments(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP, A_long* num_segmentsPL) {
  return GuardedPf([&]() -> PF_Err {
    Record("PF_PathNumSegments");
    if (!EffectRefAccepted(effect_ref0) || num_segmentsPL == nullptr) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    const bool known = Lists().ReadOutline(
        pathP, [&](const TextOutline& outline) { *num_segmentsPL = outline.NumSegments(); });
    return known ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
  });
}

// Vertex i for i from 0 to the segment count: on a closed outline the last index comes back
// to vertex 0, on an open one it is the end of the last segment.
PF_Err PathVertexInfo(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP, A_long which_pointL,
                      PF_PathVertex* vertexP) {
  return GuardedPf([&]() -> PF_Err {
    Record("PF_PathVertexInfo");
    if (!EffectRefAccepted(effect_ref0) || vertexP == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    PF_Err err = PF_Err_BAD_CALLBACK_PARAM;
    Lists().ReadOutline(pathP, [&](const TextOutline& outline) {
      const size_t count = outline.vertices.size();
      if (which_pointL < 0 || count == 0 || which_pointL > outline.NumSegments()) return;
      *vertexP = outline.vertices[static_cast<size_t>(which_pointL) % count];
      err = PF_Err_NONE;
    });
    return err;
  });
}

// --- The tables -----------------------------------------------------------------------------

const AEGP_PFInterfaceSuite1& PFInterfaceSuite() {
  static const AEGP_PFInterfaceSuite1 suite = [] {
    auto table = RefusingTable<AEGP_PFInterfaceSuite1, PFInterfaceSuiteTag>();
    table.AEGP_GetEffectLayer = GetEffectLayer;
    return table;
  }();
  return suite;
}

template <typename Table, typename Tag>
Table LayerSuite() {
  auto table = RefusingTable<Table, Tag>();
  table.AEGP_GetLayerParentComp = GetLayerParentComp;
  table.AEGP_GetLayerFlags = GetLayerFlags;
  table.AEGP_GetLayerObjectType = GetLayerObjectType;
  return table;
}

const AEGP_LayerSuite5& LayerSuite11() {
  static const AEGP_LayerSuite5 suite = LayerSuite<AEGP_LayerSuite5, LayerSuite11Tag>();
  return suite;
}

const AEGP_LayerSuite7& LayerSuite13() {
  static const AEGP_LayerSuite7 suite = LayerSuite<AEGP_LayerSuite7, LayerSuite13Tag>();
  return suite;
}

const AEGP_CompSuite9& CompSuite() {
  static const AEGP_CompSuite9 suite = [] {
    auto table = RefusingTable<AEGP_CompSuite9, CompSuiteTag>();
    table.AEGP_GetCompFlags = GetCompFlags;
    return table;
  }();
  return suite;
}

const AEGP_TextLayerSuite1& TextLayerSuite() {
  static const AEGP_TextLayerSuite1 suite = {GetNewTextOutlines, DisposeTextOutlines,
                                             GetNumTextOutlines, GetIndexedTextOutline};
  return suite;
}

const PF_PathDataSuite1& PathDataSuite() {
  static const PF_PathDataSuite1 suite = [] {
    auto table = RefusingTable<PF_PathDataSuite1, PathDataSuiteTag>();
    table.PF_PathIsOpen = PathIsOpen;
    table.PF_PathNumSegments = PathNumSegments;
    table.PF_PathVertexInfo = PathVertexInfo;
    return table;
  }();
  return suite;
}

}  // namespace

void RegisterLayerSuites(SuiteRegistry& registry) {
  registry.Register(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, &PFInterfaceSuite());
  registry.Register(kAEGPLayerSuite, kAEGPLayerSuiteVersion5, &LayerSuite11());
  registry.Register(kAEGPLayerSuite, kAEGPLayerSuiteVersion7, &LayerSuite13());
  registry.Register(kAEGPCompSuite, kAEGPCompSuiteVersion9, &CompSuite());
  registry.Register(kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1, &TextLayerSuite());
  registry.Register(kPFPathDataSuite, kPFPathDataSuiteVersion1, &PathDataSuite());
}

}  // namespace quorvel::headless
