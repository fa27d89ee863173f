// SPDX-License-Identifier: MIT
// The render command through the headless host, with the host's answers taken from the
// fuzzer's bytes: text outlines with NaN, infinities, huge and tiny coordinates; outline and
// segment counts that lie; any parameter value, as raw records (out of range, NaN, negative
// sizes, huge border widths); extreme downsample factors, shutters and times.
//
// The render must neither crash nor trip a sanitizer, must not allocate beyond what its box
// needs (libFuzzer's malloc limit), must keep every exception inside, and must hand back
// everything it borrowed from the host.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"
#include "headless/pixels/fill.h"
#include "headless/pixels/world.h"
#include "host/entry_point.h"
#include "params/param_index.h"

namespace {

using quorvel::headless::CommandResult;
using quorvel::headless::EffectInstance;
using quorvel::headless::FrameTimes;
using quorvel::headless::OwnedWorld;
using quorvel::headless::TextOutline;
using quorvel::headless::TextOutlines;

// What the host will answer for the input being run; the fuzzer runs one input at a time.
struct HostileAnswers {
  bool lie_about_counts = false;
  std::vector<A_long> outline_counts;  // used in turn, then the honest answer
  std::vector<A_long> segment_counts;
  size_t next_outline_count = 0;
  size_t next_segment_count = 0;

  // Raw transform values handed out by checkout_param, by parameter index.
  bool raw_transform = false;
  PF_Fixed position_x = 0;
  PF_Fixed position_y = 0;
  PF_Fixed rotation = 0;
  double sliders[4] = {};  // Scale Width, Scale Height, Skew X, Skew Y
};

HostileAnswers answers;

// The host's own services, wrapped.
PF_Err (*host_checkout)(PF_ProgPtr, PF_ParamIndex, A_long, A_long, A_u_long,
                        PF_ParamDef*) = nullptr;
const SPBasicSuite* host_basic = nullptr;
SPBasicSuite hostile_basic{};
AEGP_TextLayerSuite1 hostile_text_suite{};
PF_PathDataSuite1 hostile_path_suite{};
const AEGP_TextLayerSuite1* host_text_suite = nullptr;
const PF_PathDataSuite1* host_path_suite = nullptr;

A_long NextLie(const std::vector<A_long>& lies, size_t& next, A_long honest) {
  return next < lies.size() ? lies[next++] : honest;
}

A_Err HostileNumTextOutlines(AEGP_TextOutlinesH outlines, A_long* count) {
  const A_Err err = host_text_suite->AEGP_GetNumTextOutlines(outlines, count);
  if (count != nullptr) {
    *count = NextLie(answers.outline_counts, answers.next_outline_count, *count);
  }
  return err;
}

PF_Err HostileNumSegments(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long* count) {
  const PF_Err err = host_path_suite->PF_PathNumSegments(effect_ref, path, count);
  if (count != nullptr) {
    *count = NextLie(answers.segment_counts, answers.next_segment_count, *count);
  }
  return err;
}

SPErr HostileAcquireSuite(const char* name, int32_t version, const void** suite) {
  const SPErr err = host_basic->AcquireSuite(name, version, suite);
  if (err != kSPNoError || suite == nullptr || *suite == nullptr) return err;
  if (std::strcmp(name, kAEGPTextLayerSuite) == 0 && version == 1) {
    host_text_suite = static_cast<const AEGP_TextLayerSuite1*>(*suite);
    hostile_text_suite = *host_text_suite;
    hostile_text_suite.AEGP_GetNumTextOutlines = HostileNumTextOutlines;
    *suite = &hostile_text_suite;
  } else if (std::strcmp(name, kPFPathDataSuite) == 0 && version == 1) {
    host_path_suite = static_cast<const PF_PathDataSuite1*>(*suite);
    hostile_path_suite = *host_path_suite;
    hostile_path_suite.PF_PathNumSegments = HostileNumSegments;
    *suite = &hostile_path_suite;
  }
  return err;
}

PF_Err HostileCheckout(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                       A_long time_step, A_u_long time_scale, PF_ParamDef* param) {
  const PF_Err err = host_checkout(effect_ref, index, what_time, time_step, time_scale, param);
  if (err != PF_Err_NONE || param == nullptr || !answers.raw_transform) return err;
  using quorvel::ParamIndex;
  switch (index) {
    case static_cast<PF_ParamIndex>(ParamIndex::Position):
      param->u.td.x_value = answers.position_x;
      param->u.td.y_value = answers.position_y;
      break;
    case static_cast<PF_ParamIndex>(ParamIndex::Rotation):
      param->u.ad.value = answers.rotation;
      break;
    case static_cast<PF_ParamIndex>(ParamIndex::ScaleWidth):
    case static_cast<PF_ParamIndex>(ParamIndex::ScaleHeight):
    case static_cast<PF_ParamIndex>(ParamIndex::SkewX):
    case static_cast<PF_ParamIndex>(ParamIndex::SkewY):
      param->u.fs_d.value =
          answers.sliders[index - static_cast<PF_ParamIndex>(ParamIndex::ScaleWidth)];
      break;
    default:
      break;
  }
  return err;
}

// The plug-in's entry point as the host calls it, with some of the host's services answering
// as the input says.
PF_Err HostileEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output, void* extra) {
  if (cmd == PF_Cmd_RENDER && in_data != nullptr) {
    host_checkout = in_data->inter.checkout_param;
    in_data->inter.checkout_param = HostileCheckout;
    if (answers.lie_about_counts && in_data->pica_basicP != nullptr) {
      host_basic = in_data->pica_basicP;
      hostile_basic = *host_basic;
      hostile_basic.AcquireSuite = HostileAcquireSuite;
      in_data->pica_basicP = &hostile_basic;
    }
  }
  return EntryPointFunc(cmd, in_data, out_data, params, output, extra);
}

double HostileDouble(FuzzedDataProvider& data) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  switch (data.ConsumeIntegralInRange<int>(0, 11)) {
    case 0:
      return std::numeric_limits<double>::quiet_NaN();
    case 1:
      return kInfinity;
    case 2:
      return -kInfinity;
    case 3:
      return std::numeric_limits<double>::max();
    case 4:
      return -std::numeric_limits<double>::max();
    case 5:
      return std::numeric_limits<double>::denorm_min();
    case 6:
      return data.ConsumeBool() ? 1e9 : -1e9;
    case 7:
      return 2147483648.0;
    case 8:
      return -0.0;
    default:
      return data.ConsumeFloatingPointInRange<double>(-2000.0, 2000.0);
  }
}

int32_t HostileInt(FuzzedDataProvider& data, int32_t low, int32_t high) {
  switch (data.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      return std::numeric_limits<int32_t>::min();
    case 1:
      return std::numeric_limits<int32_t>::max();
    case 2:
      return data.ConsumeIntegral<int32_t>();
    default:
      return data.ConsumeIntegralInRange<int32_t>(low, high);
  }
}

// A count that the host's outline list does not have: none, negative, or more than it holds
// (bounded, so that a lying count costs time in proportion).
A_long HostileCount(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return 0;
    case 1:
      return std::numeric_limits<A_long>::min();
    case 2:
      return -data.ConsumeIntegralInRange<A_long>(1, 1000);
    default:
      return data.ConsumeIntegralInRange<A_long>(1, 256);
  }
}

TextOutlines HostileOutlines(FuzzedDataProvider& data) {
  TextOutlines outlines(data.ConsumeIntegralInRange<size_t>(0, 4));
  for (TextOutline& outline : outlines) {
    outline.closed = data.ConsumeBool();
    outline.vertices.resize(data.ConsumeIntegralInRange<size_t>(0, 6));
    for (PF_PathVertex& vertex : outline.vertices) {
      vertex.x = HostileDouble(data);
      vertex.y = HostileDouble(data);
      vertex.tan_in_x = vertex.tan_in_y = vertex.tan_out_x = vertex.tan_out_y = 0;
    }
  }
  return outlines;
}

PF_RationalScale HostileScale(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return {1, 1};
    case 1:
      return {1, data.ConsumeIntegralInRange<A_u_long>(1, std::numeric_limits<A_u_long>::max())};
    case 2:
      return {data.ConsumeIntegralInRange<A_long>(1, std::numeric_limits<A_long>::max()), 1};
    default:
      return {data.ConsumeIntegralInRange<A_long>(1, std::numeric_limits<A_long>::max()),
              data.ConsumeIntegralInRange<A_u_long>(1, std::numeric_limits<A_u_long>::max())};
  }
}

[[noreturn]] void Finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "render fuzzer: %s: %s\n", what, detail.c_str());
  std::abort();
}

// The largest world the fuzzing host grants (1024 x 1024).
constexpr int64_t kWorldPixelLimit = int64_t{1} << 20;

EffectInstance& Instance() {
  static std::unique_ptr<EffectInstance> instance = [] {
    auto made = std::make_unique<EffectInstance>(HostileEntry);
    if (made->GlobalSetup().err != PF_Err_NONE || made->ParamsSetup().err != PF_Err_NONE) {
      Finding("set-up failed", "global or parameter set-up");
    }
    return made;
  }();
  return *instance;
}

// Raw values straight into the call's parameter records, past the host's range checks.
void HostileParams(FuzzedDataProvider& data, std::vector<PF_ParamDef>& params) {
  using quorvel::ParamIndex;
  auto at = [&](ParamIndex index) -> PF_ParamDef& { return params[static_cast<size_t>(index)]; };
  for (ParamIndex popup : {ParamIndex::Shape, ParamIndex::AnchorPointX, ParamIndex::AnchorPointY}) {
    at(popup).u.pd.value = HostileInt(data, 1, 3);
  }
  for (ParamIndex slider :
       {ParamIndex::Roundness, ParamIndex::ExpansionUniform, ParamIndex::ExpansionWidth,
        ParamIndex::ExpansionHeight, ParamIndex::FillOpacity, ParamIndex::BorderWidth,
        ParamIndex::BorderOpacity}) {
    if (data.ConsumeBool()) at(slider).u.fs_d.value = HostileDouble(data);
  }
  for (ParamIndex check : {ParamIndex::UniformScale, ParamIndex::MatteTextToFill,
                           ParamIndex::SubtractTextFromFill, ParamIndex::EnableBorder}) {
    at(check).u.bd.value = data.ConsumeBool() ? HostileInt(data, 0, 1) : 0;
  }
  for (ParamIndex colour : {ParamIndex::FillColor, ParamIndex::BorderColor}) {
    const uint32_t bytes = data.ConsumeIntegral<uint32_t>();
    at(colour).u.cd.value =
        PF_Pixel{static_cast<A_u_char>(bytes >> 24), static_cast<A_u_char>(bytes >> 16),
                 static_cast<A_u_char>(bytes >> 8), static_cast<A_u_char>(bytes)};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  EffectInstance& instance = Instance();
  // Hostile outlines make boxes of thousands of pixels a side, whose colour pass alone takes
  // seconds under the sanitizers; a host short of memory refuses such worlds, and the plug-in's
  // way out of that is what is worth fuzzing.
  instance.faults().LimitWorldPixels(kWorldPixelLimit);

  quorvel::headless::Scene& scene = instance.mutable_scene();
  scene.composition.width = data.ConsumeIntegralInRange<int32_t>(1, 64);
  scene.composition.height = data.ConsumeIntegralInRange<int32_t>(1, 64);
  scene.composition.motion_blur = data.ConsumeBool();
  scene.layer.motion_blur = data.ConsumeBool();
  scene.layer.object_type =
      data.ConsumeIntegralInRange<int>(0, 7) == 0 ? AEGP_ObjectType_AV : AEGP_ObjectType_TEXT;
  quorvel::headless::Animated<TextOutlines> outlines(HostileOutlines(data));
  if (data.ConsumeBool()) outlines.keys = {{0.0, outlines.constant}, {1.0, HostileOutlines(data)}};
  scene.layer.explicit_outlines = outlines;

  instance.mutable_options().downsample_x = HostileScale(data);
  instance.mutable_options().downsample_y = HostileScale(data);

  FrameTimes times;
  times.current_time = HostileInt(data, 0, 3000);
  times.time_step = HostileInt(data, 0, 200);
  times.time_scale = data.ConsumeBool() ? 3000u : data.ConsumeIntegral<A_u_long>();
  times.shutter_angle = HostileInt(data, 0, 0x10000);
  times.shutter_phase = HostileInt(data, -0x10000, 0x10000);
  times.total_time = times.current_time;
  times.extent_hint = {0, 0, scene.composition.width, scene.composition.height};

  answers = HostileAnswers{};
  answers.lie_about_counts = data.ConsumeBool();
  if (answers.lie_about_counts) {
    for (size_t n = data.ConsumeIntegralInRange<size_t>(0, 3); n > 0; --n) {
      answers.outline_counts.push_back(HostileCount(data));
    }
    for (size_t n = data.ConsumeIntegralInRange<size_t>(0, 4); n > 0; --n) {
      answers.segment_counts.push_back(HostileCount(data));
    }
  }
  answers.raw_transform = data.ConsumeBool();
  if (answers.raw_transform) {
    answers.position_x = HostileInt(data, -0x1000000, 0x1000000);
    answers.position_y = HostileInt(data, -0x1000000, 0x1000000);
    answers.rotation = HostileInt(data, -0x1680000, 0x1680000);
    for (double& slider : answers.sliders) slider = HostileDouble(data);
  }

  std::vector<PF_ParamDef> params = instance.ParamsAt(0);
  HostileParams(data, params);

  OwnedWorld input(scene.composition.width, scene.composition.height);
  OwnedWorld output(scene.composition.width, scene.composition.height);
  const PF_Pixel handed_over{255, 12, 34, 56};
  quorvel::headless::Fill(nullptr, &handed_over, nullptr, input.get());
  quorvel::headless::Fill(nullptr, &handed_over, nullptr, output.get());
  const A_long dephault = params[0].u.ld.dephault;
  params[0].u.ld = input.world();
  params[0].u.ld.dephault = dephault;
  std::vector<PF_ParamDef*> pointers;
  for (PF_ParamDef& param : params) pointers.push_back(&param);

  const CommandResult result =
      instance.RunCommand(PF_Cmd_RENDER, pointers.data(), output.get(), times);
  if (!result.escaped_exception.empty()) Finding("exception escaped", result.escaped_exception);
  if (!result.held.Empty()) Finding("host resources held", result.held.Describe());
  return 0;
}
