// SPDX-License-Identifier: MIT
#include "text/text_outline_query.h"

#include <cmath>
#include <limits>

#include "host/suite_cache.h"

namespace quorvel {
namespace {

static_assert(static_cast<A_long>(AEGP_LayerFlag_MOTION_BLUR) ==
                  static_cast<A_long>(AEGP_CompFlag_ENABLE_MOTION_BLUR),
              "one bit tests both switches at once");

// Truncates toward zero and saturates at the 32-bit range; a plain cast of an out-of-range
// value would be undefined.
A_long TruncateTime(double time) {
  constexpr double kLowest = static_cast<double>(std::numeric_limits<A_long>::min());
  constexpr double kHighest = static_cast<double>(std::numeric_limits<A_long>::max());
  const double truncated = std::trunc(time);
  if (truncated <= kLowest) {
    return std::numeric_limits<A_long>::min();
  }
  if (truncated >= kHighest) {
    return std::numeric_limits<A_long>::max();
  }
  return static_cast<A_long>(truncated);
}

// The outline list belongs to the plug-in from the moment the host hands it over until it is
// disposed of, also when a later suite acquisition throws.
class OutlineListGuard {
 public:
  explicit OutlineListGuard(const AEGP_TextLayerSuite1* suite) : suite_(suite) {}
  ~OutlineListGuard() {
    if (outlines_ != nullptr) {
      suite_->AEGP_DisposeTextOutlines(outlines_);
    }
  }
  OutlineListGuard(const OutlineListGuard&) = delete;
  OutlineListGuard& operator=(const OutlineListGuard&) = delete;

  AEGP_TextOutlinesH* Out() { return &outlines_; }
  AEGP_TextOutlinesH get() const { return outlines_; }

 private:
  const AEGP_TextLayerSuite1* suite_;
  AEGP_TextOutlinesH outlines_ = nullptr;
};

}  // namespace

ShutterInstants ComputeShutterInstants(const PF_InData& in_data) {
  const double phase = static_cast<double>(in_data.shutter_phase) / 65536.0;
  const double angle = static_cast<double>(in_data.shutter_angle) / 65536.0;
  const double time_step = static_cast<double>(in_data.time_step);
  const A_long open = TruncateTime(time_step * phase + static_cast<double>(in_data.current_time));
  const A_long close = TruncateTime(time_step * angle + static_cast<double>(open));
  return ShutterInstants{open, close};
}

void QueryTextOutlines(PF_InData* in_data, bool at_shutter_open, A_long& motion_blur_flag,
                       VertexSink& sink) {
  SuiteCache suites(in_data != nullptr ? in_data->pica_basicP : nullptr);
  const PF_ProgPtr effect_ref = in_data->effect_ref;

  AEGP_LayerH layer = nullptr;
  suites.PFInterfaceSuite()->AEGP_GetEffectLayer(effect_ref, &layer);

  const AEGP_LayerSuite7* layer_suite = suites.LayerSuite13();
  AEGP_LayerFlags layer_flags = 0;
  layer_suite->AEGP_GetLayerFlags(layer, &layer_flags);
  AEGP_CompH comp = nullptr;
  layer_suite->AEGP_GetLayerParentComp(layer, &comp);

  AEGP_CompFlags comp_flags = 0;
  suites.CompSuite()->AEGP_GetCompFlags(comp, &comp_flags);

  if ((layer_flags & comp_flags & AEGP_LayerFlag_MOTION_BLUR) != 0) {
    motion_blur_flag = 1;
  }

  const ShutterInstants instants = ComputeShutterInstants(*in_data);
  const A_Time sample_time{at_shutter_open ? instants.open : instants.close, in_data->time_scale};

  const AEGP_TextLayerSuite1* text_suite = suites.TextLayerSuite();
  OutlineListGuard outlines(text_suite);
  text_suite->AEGP_GetNewTextOutlines(layer, &sample_time, outlines.Out());
  A_long outline_count = 0;
  text_suite->AEGP_GetNumTextOutlines(outlines.get(), &outline_count);

  // Cleared once before the walk rather than per query, so a query that fails without writing
  // repeats the previous outline's or vertex's value.
  PF_PathOutlinePtr outline = nullptr;
  A_long segment_count = 0;
  PF_PathVertex vertex{};
  const PF_PathDataSuite1* path_suite = nullptr;
  bool first = true;
  for (A_long index = 0; index < outline_count; ++index) {
    text_suite->AEGP_GetIndexedTextOutline(outlines.get(), index, &outline);
    if (index == 0) {
      path_suite = suites.PathDataSuite();
    }
    path_suite->PF_PathNumSegments(effect_ref, outline, &segment_count);
    // The vertex at index segment_count is never asked for: on a closed outline it repeats
    // vertex 0.
    for (A_long vertex_index = 0; vertex_index < segment_count; ++vertex_index) {
      path_suite->PF_PathVertexInfo(effect_ref, outline, vertex_index, &vertex);
      sink.Vertex(vertex.x, vertex.y, first);
      first = false;
    }
  }
}

}  // namespace quorvel
