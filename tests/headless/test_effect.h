// SPDX-License-Identifier: MIT
// An effect written inside the tests: each test says what its commands do, and the host runs
// it in-process like any module's entry point.
#pragma once

#include <functional>

#include "headless/instance/effect_instance.h"
#include "hostapi/host_api.h"

namespace quorvel::headless::test {

using EffectBody = std::function<PF_Err(PF_Cmd command, PF_InData* in_data, PF_OutData* out_data,
                                        PF_ParamDef** params)>;

inline EffectBody& CurrentEffectBody() {
  static EffectBody body;
  return body;
}

inline PF_Err TestEntryPoint(PF_Cmd command, PF_InData* in_data, PF_OutData* out_data,
                             PF_ParamDef** params, PF_LayerDef* /*output*/, void* /*extra*/) {
  const EffectBody& body = CurrentEffectBody();
  return body ? body(command, in_data, out_data, params) : PF_Err_NONE;
}

// Runs commands of an instance on the test effect; the body is cleared afterwards.
class TestEffect {
 public:
  explicit TestEffect(InstanceOptions options = {}) : instance(TestEntryPoint, options) {}
  ~TestEffect() { CurrentEffectBody() = nullptr; }
  TestEffect(const TestEffect&) = delete;
  TestEffect& operator=(const TestEffect&) = delete;

  void OnCommand(EffectBody body) { CurrentEffectBody() = std::move(body); }

  EffectInstance instance;
};

// Parameter definitions as a plug-in fills them (names copied with the host's strcpy).
inline PF_ParamDef FloatSlider(PF_InData* in_data, const char* name, A_long id, double value,
                               float low, float high, PF_ParamFlags flags = 0) {
  PF_ParamDef def{};
  in_data->utils->ansi.strcpy(def.name, name);
  def.uu.id = id;
  def.param_type = PF_Param_FLOAT_SLIDER;
  def.flags = flags;
  def.u.fs_d.value = value;
  def.u.fs_d.dephault = static_cast<float>(value);
  def.u.fs_d.valid_min = def.u.fs_d.slider_min = low;
  def.u.fs_d.valid_max = def.u.fs_d.slider_max = high;
  return def;
}

inline PF_ParamDef Popup(PF_InData* in_data, const char* name, A_long id, const char* choices,
                         A_short count, A_long value, PF_ParamFlags flags = 0) {
  PF_ParamDef def{};
  in_data->utils->ansi.strcpy(def.name, name);
  def.uu.id = id;
  def.param_type = PF_Param_POPUP;
  def.flags = flags;
  def.u.pd.value = value;
  def.u.pd.dephault = static_cast<A_short>(value);
  def.u.pd.num_choices = count;
  def.u.pd.u.namesptr = choices;
  return def;
}

inline PF_ParamDef Typed(PF_InData* in_data, const char* name, A_long id, PF_ParamType type,
                         PF_ParamFlags flags = 0) {
  PF_ParamDef def{};
  in_data->utils->ansi.strcpy(def.name, name);
  def.uu.id = id;
  def.param_type = type;
  def.flags = flags;
  return def;
}

}  // namespace quorvel::headless::test
