// SPDX-License-Identifier: MIT
#include "headless/instance/effect_instance.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <unordered_set>
#include <utility>

#include "headless/instance/host_callbacks.h"
#include "headless/loading/module.h"
#include "headless/suites/suite_registry.h"

namespace quorvel::headless {
namespace {

std::mutex live_instances_mutex;
std::unordered_set<const EffectInstance*>& LiveInstances() {
  static std::unordered_set<const EffectInstance*> instances;
  return instances;
}

// A double rounded into the int32 range, saturating, for values the host computes itself.
A_long RoundToLong(double value) {
  if (!(value > static_cast<double>(std::numeric_limits<A_long>::min()))) {
    return std::numeric_limits<A_long>::min();
  }
  if (value >= static_cast<double>(std::numeric_limits<A_long>::max())) {
    return std::numeric_limits<A_long>::max();
  }
  return static_cast<A_long>(std::lround(value));
}

}  // namespace

FrameTimes FrameTimesAt(const Composition& composition, const TextLayer& layer, A_long frame) {
  FrameTimes times;
  times.time_scale = composition.time_scale;
  times.time_step = composition.frame_duration;
  times.current_time = RoundToLong(static_cast<double>(frame) * composition.frame_duration);
  times.total_time = RoundToLong(composition.duration_seconds * composition.time_scale);
  if (composition.motion_blur && layer.motion_blur) {
    times.shutter_angle = RoundToLong(composition.shutter_angle_degrees / 360.0 * 65536.0);
    times.shutter_phase = RoundToLong(composition.shutter_phase_degrees / 360.0 * 65536.0);
  }
  times.extent_hint = {0, 0, composition.width, composition.height};
  return times;
}

// --- Instance ------------------------------------------------------------------------------

EffectInstance::EffectInstance(PF_FilterProc entry_point, InstanceOptions options)
    : entry_point_(entry_point), options_(options) {
  std::lock_guard<std::mutex> lock(live_instances_mutex);
  LiveInstances().insert(this);
}

EffectInstance::EffectInstance(const Module& module, InstanceOptions options)
    : EffectInstance(module.entry_point(), options) {}

EffectInstance::~EffectInstance() {
  std::lock_guard<std::mutex> lock(live_instances_mutex);
  LiveInstances().erase(this);
}

PF_ProgPtr EffectInstance::effect_ref() const {
  return reinterpret_cast<PF_ProgPtr>(const_cast<EffectInstance*>(this));
}

EffectInstance* EffectInstance::FromEffectRef(PF_ProgPtr effect_ref) {
  auto* instance = reinterpret_cast<EffectInstance*>(effect_ref);
  std::lock_guard<std::mutex> lock(live_instances_mutex);
  return LiveInstances().count(instance) != 0 ? instance : nullptr;
}

CommandResult EffectInstance::GlobalSetup() {
  return Run(PF_Cmd_GLOBAL_SETUP);
}

CommandResult EffectInstance::ParamsSetup() {
  params_.Reset();
  return Run(PF_Cmd_PARAMS_SETUP);
}

CommandResult EffectInstance::About() {
  return Run(PF_Cmd_ABOUT);
}

CommandResult EffectInstance::Run(PF_Cmd command) {
  return RunCommand(command, nullptr, nullptr, FrameTimesAt(scene_.composition, scene_.layer, 0));
}

CommandResult EffectInstance::RunCommand(PF_Cmd command, PF_ParamDef** params, PF_LayerDef* output,
                                         const FrameTimes& times) {
  CallContext context;
  context.instance = this;
  context.command = command;
  context.faults = &faults_;
  context.log = log_;

  // Each command gets its own copy of the callback tables, as the plug-in may keep none.
  PF_UtilCallbacks utils{};
  FillPixelCallbacks(utils);
  FillAnsiCallbacks(utils.ansi);
  FillUnofferedUtilities(utils);

  PF_InData in_data{};
  FillInteractCallbacks(in_data.inter);
  in_data.utils = &utils;
  in_data.effect_ref = effect_ref();
  in_data.quality = options_.quality;
  in_data.version = {kHostSpecVersionMajor, kHostSpecVersionMinor};
  in_data.appl_id = options_.application;
  in_data.num_params = NumParams();
  in_data.current_time = times.current_time;
  in_data.time_step = times.time_step;
  in_data.local_time_step = times.time_step;
  in_data.total_time = times.total_time;
  in_data.time_scale = times.time_scale;
  in_data.field = options_.field;
  in_data.shutter_angle = times.shutter_angle;
  in_data.shutter_phase = times.shutter_phase;
  in_data.width = scene_.composition.width;
  in_data.height = scene_.composition.height;
  const bool no_extent = times.extent_hint.right <= times.extent_hint.left ||
                         times.extent_hint.bottom <= times.extent_hint.top;
  in_data.extent_hint = no_extent
                            ? PF_Rect{0, 0, scene_.composition.width, scene_.composition.height}
                            : times.extent_hint;
  in_data.downsample_x = options_.downsample_x;
  in_data.downsample_y = options_.downsample_y;
  in_data.pixel_aspect_ratio = {1, 1};
  in_data.pica_basicP = HostBasicSuite();

  CommandResult result;
  result.command = command;
  {
    std::lock_guard<std::mutex> lock(last_mutex_);
    result.out_data = out_data_;
  }
  {
    ScopedCall scope(context);
    const auto start = std::chrono::steady_clock::now();
    try {
      result.err = entry_point_(command, &in_data, &result.out_data, params, output, nullptr);
    } catch (const std::exception& error) {
      result.escaped_exception = error.what();
    } catch (const int code) {
      result.escaped_exception = "the integer " + std::to_string(code);
    } catch (...) {
      result.escaped_exception = "an exception of unknown type";
    }
    result.timing.entry_point_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count();
  }
  result.timing.transform_world_ns = context.transform_world_ns;
  result.timing.transfer_rect_ns = context.transfer_rect_ns;
  result.timing.world_ns = context.world_ns;
  result.timing.iterate_ns = context.iterate_ns;
  result.world_refusal = context.world_refusal;
  if (!result.escaped_exception.empty()) result.err = PF_Err_INTERNAL_STRUCT_DAMAGED;
  result.held = context.ledger;

  std::lock_guard<std::mutex> lock(last_mutex_);
  out_data_ = result.out_data;
  last_ = result;
  return result;
}

CommandResult EffectInstance::LastCommand() const {
  std::lock_guard<std::mutex> lock(last_mutex_);
  return last_;
}

Ledger EffectInstance::HeldAfterLastCommand() const {
  std::lock_guard<std::mutex> lock(last_mutex_);
  return last_.held;
}

// --- Parameters ----------------------------------------------------------------------------

PF_Err EffectInstance::AddParam(PF_ParamIndex index, const PF_ParamDef& definition) {
  return params_.Add(index, definition);
}

std::vector<PF_ParamDef> EffectInstance::ParamsAt(double seconds) const {
  std::vector<PF_ParamDef> defs;
  defs.reserve(static_cast<size_t>(NumParams()));
  for (int index = 0; index < NumParams(); ++index) defs.push_back(params_.ValueAt(index, seconds));
  return defs;
}

PF_Err EffectInstance::CheckoutParam(PF_ParamIndex index, A_long what_time, A_u_long time_scale,
                                     PF_ParamDef& definition) const {
  if (index < 0 || index >= NumParams()) return PF_Err_INVALID_INDEX;
  if (time_scale == 0) return PF_Err_BAD_CALLBACK_PARAM;
  definition = params_.ValueAt(index, Seconds(what_time, time_scale));
  return PF_Err_NONE;
}

}  // namespace quorvel::headless
