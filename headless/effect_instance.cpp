// SPDX-License-Identifier: MIT
#include "headless/effect_instance.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "headless/module.h"
#include "headless/suite_registry.h"

namespace quorvel::headless {
namespace {

std::mutex live_instances_mutex;
std::unordered_set<const EffectInstance*>& LiveInstances() {
  static std::unordered_set<const EffectInstance*> instances;
  return instances;
}

// 16.16 fixed point from a value already checked to be in range.
PF_Fixed ToFixed(double value) {
  return static_cast<PF_Fixed>(std::lround(value * 65536.0));
}
double FromFixed(PF_Fixed value) {
  return static_cast<double>(value) / 65536.0;
}

// A host value in 16.16 must fit in 32 bits once rounded.
bool FitsFixed(double value) {
  return std::isfinite(value) && std::fabs(value) < 32767.0;
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

const char* TypeName(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER:
      return "a layer";
    case PF_Param_SLIDER:
      return "an integer slider";
    case PF_Param_FIX_SLIDER:
      return "a fixed slider";
    case PF_Param_ANGLE:
      return "an angle";
    case PF_Param_CHECKBOX:
      return "a check box";
    case PF_Param_COLOR:
      return "a colour";
    case PF_Param_POINT:
      return "a point";
    case PF_Param_POPUP:
      return "a popup";
    case PF_Param_FLOAT_SLIDER:
      return "a slider";
    case PF_Param_GROUP_START:
      return "a group start";
    case PF_Param_GROUP_END:
      return "a group end";
    case PF_Param_BUTTON:
      return "a button";
    case PF_Param_ARBITRARY_DATA:
      return "arbitrary data";
    case PF_Param_PATH:
      return "a path";
    case PF_Param_POINT_3D:
      return "a 3D point";
    default:
      return "of an unknown type";
  }
}

bool IsKnownType(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER:
    case PF_Param_SLIDER:
    case PF_Param_FIX_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_CHECKBOX:
    case PF_Param_COLOR:
    case PF_Param_POINT:
    case PF_Param_POPUP:
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_GROUP_START:
    case PF_Param_GROUP_END:
    case PF_Param_BUTTON:
    case PF_Param_ARBITRARY_DATA:
    case PF_Param_PATH:
    case PF_Param_POINT_3D:
      return true;
    default:
      return false;
  }
}

int CountChoices(const char* names) {
  int count = 1;
  for (const char* c = names; *c != '\0'; ++c) {
    if (*c == '|') ++count;
  }
  return count;
}

// The value a definition carries, in user units.
ParamValue ValueOf(const PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
      return ParamValue::Number(def.u.fs_d.value);
    case PF_Param_FIX_SLIDER:
      return ParamValue::Number(FromFixed(def.u.fd.value));
    case PF_Param_ANGLE:
      return ParamValue::Number(FromFixed(def.u.ad.value));
    case PF_Param_SLIDER:
      return ParamValue::Integer(def.u.sd.value);
    case PF_Param_POPUP:
      return ParamValue::Integer(def.u.pd.value);
    case PF_Param_CHECKBOX:
      return ParamValue::Integer(def.u.bd.value);
    case PF_Param_POINT:
      return ParamValue::Point(FromFixed(def.u.td.x_value), FromFixed(def.u.td.y_value));
    case PF_Param_COLOR:
      return ParamValue::Color(def.u.cd.value);
    default:
      return ParamValue{};
  }
}

bool HasValue(PF_ParamType type) {
  switch (type) {
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_FIX_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_SLIDER:
    case PF_Param_POPUP:
    case PF_Param_CHECKBOX:
    case PF_Param_POINT:
    case PF_Param_COLOR:
      return true;
    default:
      return false;
  }
}

// Writes a checked value into a copy of the definition.
void Store(const ParamValue& value, PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
      def.u.fs_d.value = value.number;
      break;
    case PF_Param_FIX_SLIDER:
      def.u.fd.value = ToFixed(value.number);
      break;
    case PF_Param_ANGLE:
      def.u.ad.value = ToFixed(value.number);
      break;
    case PF_Param_SLIDER:
      def.u.sd.value = value.integer;
      break;
    case PF_Param_POPUP:
      def.u.pd.value = value.integer;
      break;
    case PF_Param_CHECKBOX:
      def.u.bd.value = value.integer;
      break;
    case PF_Param_POINT:
      def.u.td.x_value = ToFixed(value.point.x);
      def.u.td.y_value = ToFixed(value.point.y);
      break;
    case PF_Param_COLOR:
      def.u.cd.value = value.color;
      break;
    default:
      break;
  }
}

A_u_char LerpChannel(A_u_char from, A_u_char to, double fraction) {
  const double channel = from + (to - from) * fraction;
  return static_cast<A_u_char>(std::lround(std::clamp(channel, 0.0, 255.0)));
}

// The value between two keys of one parameter; numbers move linearly, choices hold.
ParamValue Between(const ParamValue& from, const ParamValue& to, double fraction) {
  ParamValue value = from;
  switch (from.kind) {
    case ParamValue::Kind::kNumber:
      value.number = from.number + (to.number - from.number) * fraction;
      break;
    case ParamValue::Kind::kPoint:
      value.point.x = from.point.x + (to.point.x - from.point.x) * fraction;
      value.point.y = from.point.y + (to.point.y - from.point.y) * fraction;
      break;
    case ParamValue::Kind::kColor:
      value.color.alpha = LerpChannel(from.color.alpha, to.color.alpha, fraction);
      value.color.red = LerpChannel(from.color.red, to.color.red, fraction);
      value.color.green = LerpChannel(from.color.green, to.color.green, fraction);
      value.color.blue = LerpChannel(from.color.blue, to.color.blue, fraction);
      break;
    case ParamValue::Kind::kInteger:
      break;
  }
  return value;
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

}  // namespace

// --- Values --------------------------------------------------------------------------------

ParamValue ParamValue::Number(double number) {
  ParamValue value;
  value.kind = Kind::kNumber;
  value.number = number;
  return value;
}

ParamValue ParamValue::Integer(int32_t integer) {
  ParamValue value;
  value.kind = Kind::kInteger;
  value.integer = integer;
  return value;
}

ParamValue ParamValue::Point(double x, double y) {
  ParamValue value;
  value.kind = Kind::kPoint;
  value.point = {x, y};
  return value;
}

ParamValue ParamValue::Color(PF_Pixel color) {
  ParamValue value;
  value.kind = Kind::kColor;
  value.color = color;
  return value;
}

FrameTimes FrameTimesAt(const Composition& composition, A_long frame) {
  FrameTimes times;
  times.time_scale = composition.time_scale;
  times.time_step = composition.frame_duration;
  times.current_time = RoundToLong(static_cast<double>(frame) * composition.frame_duration);
  times.total_time = RoundToLong(composition.duration_seconds * composition.time_scale);
  times.shutter_angle = RoundToLong(composition.shutter_angle_degrees / 360.0 * 65536.0);
  times.shutter_phase = RoundToLong(composition.shutter_phase_degrees / 360.0 * 65536.0);
  times.extent_hint = {0, 0, composition.width, composition.height};
  return times;
}

// --- The host's callbacks, reached through effect_ref ------------------------------------

// Utility callbacks this host does not offer answer with an error, so that a plug-in calling
// one learns it at once instead of calling through a null pointer.
struct UnofferedUtilities {
  static PF_Err GetCallbackAddr(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_CallbackID,
                                PF_CallbackFunc* function) {
    if (function != nullptr) *function = nullptr;
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  static PF_Err App(PF_ProgPtr, A_long, ...) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err GetPlatformData(PF_ProgPtr, PF_PlatDataID, void*) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  static PF_Err RgbToHls(PF_ProgPtr, PF_Pixel*, PF_HLS_Pixel) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err HlsToRgb(PF_ProgPtr, PF_HLS_Pixel, PF_Pixel*) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err RgbToYiq(PF_ProgPtr, PF_Pixel*, PF_YIQ_Pixel) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err YiqToRgb(PF_ProgPtr, PF_YIQ_Pixel, PF_Pixel*) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err PixelMeasure(PF_ProgPtr, PF_Pixel*, A_long*) { return PF_Err_BAD_CALLBACK_PARAM; }

  static void Fill(PF_UtilCallbacks& utils) {
    utils.get_callback_addr = GetCallbackAddr;
    utils.app = App;
    utils.get_platform_data = GetPlatformData;
    utils.colorCB = {RgbToHls,     HlsToRgb,     RgbToYiq,     YiqToRgb,
                     PixelMeasure, PixelMeasure, PixelMeasure, PixelMeasure};
  }
};

struct HostCallbacks {
  static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDef* def) {
    EffectInstance* instance = EffectInstance::FromEffectRef(effect_ref);
    CallContext* call = CurrentCall();
    if (call != nullptr) {
      call->Record("add_param " + std::to_string(index) + " id " +
                   (def != nullptr ? std::to_string(def->uu.id) : std::string("?")));
      if (const PF_Err fault = call->NextCall(FailingCall::kAddParam)) return fault;
    }
    if (instance == nullptr || def == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    // Parameters are registered during parameter set-up only.
    if (call == nullptr || call->command != PF_Cmd_PARAMS_SETUP) return PF_Err_BAD_CALLBACK_PARAM;
    return instance->AddParam(index, *def);
  }

  static PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                              A_long /*time_step*/, A_u_long time_scale, PF_ParamDef* param) {
    CallContext* call = CurrentCall();
    if (call != nullptr) {
      call->Record("checkout_param " + std::to_string(index) + " " + std::to_string(what_time));
      if (const PF_Err fault = call->NextCall(FailingCall::kCheckoutParam)) return fault;
    }
    const EffectInstance* instance = EffectInstance::FromEffectRef(effect_ref);
    if (instance == nullptr || param == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Err err = instance->CheckoutParam(index, what_time, time_scale, *param);
    if (err == PF_Err_NONE && call != nullptr) call->ledger.Add(HeldKind::kCheckedOutParam, +1);
    return err;
  }

  static PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    CallContext* call = CurrentCall();
    if (call != nullptr) {
      call->Record("checkin_param " +
                   (param != nullptr ? std::to_string(param->uu.id) : std::string("?")));
    }
    if (EffectInstance::FromEffectRef(effect_ref) == nullptr || param == nullptr) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (call != nullptr) {
      // A check-in with nothing checked out is recorded, not hidden.
      if (call->ledger.Held(HeldKind::kCheckedOutParam) <= 0) call->ledger.NoteUnbalancedRelease();
      call->ledger.Add(HeldKind::kCheckedOutParam, -1);
    }
    return PF_Err_NONE;
  }

  static PF_Err Abort(PF_ProgPtr) { return PF_Err_NONE; }
  static PF_Err Progress(PF_ProgPtr, A_long, A_long) { return PF_Err_NONE; }
};

// --- Instance ------------------------------------------------------------------------------

EffectInstance::EffectInstance(PF_FilterProc entry_point, InstanceOptions options)
    : entry_point_(entry_point), options_(options) {
  ResetParams();
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
  ResetParams();
  return Run(PF_Cmd_PARAMS_SETUP);
}

CommandResult EffectInstance::About() {
  return Run(PF_Cmd_ABOUT);
}

CommandResult EffectInstance::Run(PF_Cmd command) {
  return RunCommand(command, nullptr, nullptr, FrameTimesAt(scene_.composition, 0));
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
  UnofferedUtilities::Fill(utils);

  PF_InData in_data{};
  in_data.inter.checkout_param = HostCallbacks::CheckoutParam;
  in_data.inter.checkin_param = HostCallbacks::CheckinParam;
  in_data.inter.add_param = HostCallbacks::AddParam;
  in_data.inter.abort = HostCallbacks::Abort;
  in_data.inter.progress = HostCallbacks::Progress;
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

void EffectInstance::ResetParams() {
  params_.clear();
  Param input{};
  input.definition.param_type = PF_Param_LAYER;
  input.definition.u.ld.dephault = PF_LayerDefault_MYSELF;
  params_.push_back(input);
}

void EffectInstance::SetInputWorld(const PF_EffectWorld& world) {
  const A_long dephault = params_[0].definition.u.ld.dephault;
  params_[0].definition.u.ld = world;
  params_[0].definition.u.ld.dephault = dephault;
}

PF_Err EffectInstance::AddParam(PF_ParamIndex index, const PF_ParamDef& definition) {
  // Only appending is offered: inserting would renumber what the render reads by index.
  if (index != -1) return PF_Err_INVALID_INDEX;
  if (!IsKnownType(definition.param_type) || definition.param_type == PF_Param_LAYER) {
    return PF_Err_UNRECOGNIZED_PARAM_TYPE;
  }
  // The name must end within its field, or the host would read past it.
  if (std::memchr(definition.name, '\0', sizeof definition.name) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (definition.param_type == PF_Param_POPUP) {
    const PF_PopupDef& popup = definition.u.pd;
    if (popup.u.namesptr == nullptr || popup.num_choices < 1 ||
        CountChoices(popup.u.namesptr) != popup.num_choices || popup.value < 1 ||
        popup.value > popup.num_choices) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
  }
  // The copy keeps the pointers to popup choices and check box labels: they are the
  // plug-in's static strings.
  Param param;
  param.definition = definition;
  param.constant = ValueOf(definition);
  params_.push_back(param);
  return PF_Err_NONE;
}

const EffectInstance::Param& EffectInstance::ParamAt(int index) const {
  if (index < 0 || index >= NumParams()) {
    throw ParamError("no parameter at index " + std::to_string(index) + " (the effect has " +
                     std::to_string(NumParams()) + ")");
  }
  return params_[static_cast<size_t>(index)];
}

const PF_ParamDef& EffectInstance::Definition(int index) const {
  return ParamAt(index).definition;
}

std::string EffectInstance::ParamName(int index) const {
  const PF_ParamDef& def = Definition(index);
  return std::string(def.name, strnlen(def.name, sizeof def.name));
}

int EffectInstance::FindParam(const std::string& name) const {
  if (!name.empty()) {
    for (int index = 0; index < NumParams(); ++index) {
      if (ParamName(index) == name) return index;
    }
  }
  std::string known;
  for (int index = 0; index < NumParams(); ++index) {
    if (!HasValue(params_[static_cast<size_t>(index)].definition.param_type)) continue;
    known += known.empty() ? "" : ", ";
    known += Quoted(ParamName(index));
  }
  throw ParamError("unknown parameter " + Quoted(name) + "; the effect has " +
                   (known.empty() ? std::string("none") : known));
}

ParamValue EffectInstance::Checked(int index, ParamValue value) const {
  const PF_ParamDef& def = Definition(index);
  const std::string name = Quoted(ParamName(index));
  const std::string what = name + " is " + TypeName(def.param_type);
  using Kind = ParamValue::Kind;
  // A whole number is a number too, for sliders and angles.
  const bool numeric = def.param_type == PF_Param_FLOAT_SLIDER ||
                       def.param_type == PF_Param_FIX_SLIDER || def.param_type == PF_Param_ANGLE;
  if (numeric && value.kind == Kind::kInteger) value = ParamValue::Number(value.integer);
  switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_FIX_SLIDER: {
      if (value.kind != Kind::kNumber) throw ParamError(what + " and takes a number");
      const bool is_float = def.param_type == PF_Param_FLOAT_SLIDER;
      const double low = is_float ? def.u.fs_d.valid_min : FromFixed(def.u.fd.valid_min);
      const double high = is_float ? def.u.fs_d.valid_max : FromFixed(def.u.fd.valid_max);
      if (!std::isfinite(value.number) || value.number < low || value.number > high) {
        std::ostringstream message;
        message << name << " takes values from " << low << " to " << high << ", not "
                << value.number;
        throw ParamError(message.str());
      }
      if (!is_float && !FitsFixed(value.number)) throw ParamError(name + ": value out of range");
      return value;
    }
    case PF_Param_ANGLE:
      if (value.kind != Kind::kNumber) throw ParamError(what + " and takes a number of degrees");
      if (!FitsFixed(value.number)) {
        throw ParamError(name + " takes angles between -32767 and 32767 degrees");
      }
      return value;
    case PF_Param_SLIDER:
      if (value.kind != Kind::kInteger) throw ParamError(what + " and takes a whole number");
      if (value.integer < def.u.sd.valid_min || value.integer > def.u.sd.valid_max) {
        throw ParamError(name + " takes values from " + std::to_string(def.u.sd.valid_min) +
                         " to " + std::to_string(def.u.sd.valid_max) + ", not " +
                         std::to_string(value.integer));
      }
      return value;
    case PF_Param_POPUP:
      if (value.kind != Kind::kInteger || value.integer < 1 ||
          value.integer > def.u.pd.num_choices) {
        throw ParamError(what + " and takes a choice from 1 to " +
                         std::to_string(def.u.pd.num_choices) + " (" + def.u.pd.u.namesptr + ")");
      }
      return value;
    case PF_Param_CHECKBOX:
      if (value.kind != Kind::kInteger || (value.integer != 0 && value.integer != 1)) {
        throw ParamError(what + " and takes on (1, true) or off (0, false)");
      }
      return value;
    case PF_Param_POINT:
      if (value.kind != Kind::kPoint) throw ParamError(what + " and takes x and y in pixels");
      if (!FitsFixed(value.point.x) || !FitsFixed(value.point.y)) {
        throw ParamError(name + " takes coordinates between -32767 and 32767 pixels");
      }
      return value;
    case PF_Param_COLOR:
      if (value.kind != Kind::kColor) throw ParamError(what + " and takes a colour");
      return value;
    default:
      throw ParamError(what + " and has no value to set");
  }
}

void EffectInstance::SetConstant(int index, const ParamValue& value) {
  const ParamValue checked = Checked(index, value);
  Param& param = params_[static_cast<size_t>(index)];
  param.constant = checked;
  param.keys.clear();
}

void EffectInstance::SetKeys(int index, std::vector<ParamKey> keys) {
  const std::string name = Quoted(ParamName(index));
  if (Definition(index).flags & PF_ParamFlag_CANNOT_TIME_VARY) {
    throw ParamError(name + " cannot vary in time and takes no keyframes");
  }
  if (keys.empty()) throw ParamError(name + ": keyframes need at least one key");
  for (ParamKey& key : keys) {
    if (!std::isfinite(key.seconds)) throw ParamError(name + ": a key's time is not a number");
    key.value = Checked(index, key.value);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const ParamKey& a, const ParamKey& b) { return a.seconds < b.seconds; });
  for (size_t i = 1; i < keys.size(); ++i) {
    if (keys[i].seconds == keys[i - 1].seconds) {
      std::ostringstream message;
      message << name << " has two keys at " << keys[i].seconds << " s";
      throw ParamError(message.str());
    }
  }
  Param& param = params_[static_cast<size_t>(index)];
  param.constant = keys.front().value;
  param.keys = std::move(keys);
}

PF_ParamDef EffectInstance::ValueAt(int index, double seconds) const {
  const Param& param = ParamAt(index);
  PF_ParamDef def = param.definition;
  if (!HasValue(def.param_type)) return def;
  const std::vector<ParamKey>& keys = param.keys;
  ParamValue value = param.constant;
  if (!keys.empty()) {
    if (seconds <= keys.front().seconds) {
      value = keys.front().value;
    } else if (seconds >= keys.back().seconds) {
      value = keys.back().value;
    } else {
      const auto next =
          std::upper_bound(keys.begin(), keys.end(), seconds,
                           [](double time, const ParamKey& key) { return time < key.seconds; });
      const ParamKey& before = *(next - 1);
      const double fraction = (seconds - before.seconds) / (next->seconds - before.seconds);
      value = Between(before.value, next->value, fraction);
    }
  }
  Store(value, def);
  return def;
}

std::vector<PF_ParamDef> EffectInstance::ParamsAt(double seconds) const {
  std::vector<PF_ParamDef> defs;
  defs.reserve(params_.size());
  for (int index = 0; index < NumParams(); ++index) defs.push_back(ValueAt(index, seconds));
  return defs;
}

PF_Err EffectInstance::CheckoutParam(PF_ParamIndex index, A_long what_time, A_u_long time_scale,
                                     PF_ParamDef& definition) const {
  if (index < 0 || index >= NumParams()) return PF_Err_INVALID_INDEX;
  if (time_scale == 0) return PF_Err_BAD_CALLBACK_PARAM;
  definition = ValueAt(index, Seconds(what_time, time_scale));
  return PF_Err_NONE;
}

}  // namespace quorvel::headless
