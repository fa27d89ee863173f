// SPDX-License-Identifier: MIT
// One effect applied to a text layer: the host side of every command, with PF_InData filled as
// a host fills it, and the parameters the plug-in registered (ParamTable).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/instance/call_context.h"
#include "headless/instance/param_table.h"
#include "hostapi/host_api.h"

namespace quorvel::headless {

class Module;

// Application ids a host writes into PF_InData::appl_id.
inline constexpr A_long kApplicationAfterEffects = 0x46585443;  // 'FXTC'
inline constexpr A_long kApplicationPremierePro = 0x50724d72;   // 'PrMr'

// The interface version this host reports in PF_InData::version.
inline constexpr A_short kHostSpecVersionMajor = 13;
inline constexpr A_short kHostSpecVersionMinor = 28;

struct InstanceOptions {
  A_long application = kApplicationAfterEffects;
  PF_RationalScale downsample_x{1, 1};
  PF_RationalScale downsample_y{1, 1};
  PF_Quality quality = PF_Quality_HI;
  PF_Field field = PF_Field_FRAME;
};

// The times a command is given, in units of time_scale. Shutter angle and phase are 16.16
// fractions of a frame (180 degrees is 0x8000).
struct FrameTimes {
  A_long current_time = 0;
  A_long time_step = 1;
  A_long total_time = 0;
  A_u_long time_scale = 30;
  PF_Fixed shutter_angle = 0;
  PF_Fixed shutter_phase = 0;
  PF_Rect extent_hint{};  // the area of the output to produce; empty: the whole layer
};

// The times of frame number `frame` of the composition as a host fills them in for an effect on
// `layer`. The shutter is the composition's when the layer's and the composition's motion blur
// switches are both on, and angle 0 and phase 0 otherwise, as After Effects passes it.
FrameTimes FrameTimesAt(const Composition& composition, const TextLayer& layer, A_long frame);

// Where the time of one command went, in nanoseconds of wall time: the whole entry point call,
// and the parts of it spent inside the host's pixel services (on the command's thread). The
// rest is the plug-in's own code and the host's other services.
struct CommandTiming {
  int64_t entry_point_ns = 0;
  int64_t transform_world_ns = 0;
  int64_t transfer_rect_ns = 0;
  int64_t world_ns = 0;  // new_world, dispose_world and fill
  int64_t iterate_ns = 0;
};

// What one command did.
struct CommandResult {
  PF_Cmd command = -1;
  PF_Err err = PF_Err_NONE;
  PF_OutData out_data{};
  Ledger held;  // what the plug-in still held when the command returned
  // Set when a C++ exception left the entry point (the plug-in must never let one out);
  // err is then PF_Err_INTERNAL_STRUCT_DAMAGED.
  std::string escaped_exception;
  CommandTiming timing;
  // Why the host refused a world the plug-in asked for, if it did.
  std::optional<WorldRefusal> world_refusal;
};

class EffectInstance {
 public:
  // The module (or, in-process, the linked entry point) must outlive the instance.
  explicit EffectInstance(PF_FilterProc entry_point, InstanceOptions options = {});
  explicit EffectInstance(const Module& module, InstanceOptions options = {});
  ~EffectInstance();
  EffectInstance(const EffectInstance&) = delete;
  EffectInstance& operator=(const EffectInstance&) = delete;

  const InstanceOptions& options() const { return options_; }
  InstanceOptions& mutable_options() { return options_; }
  const Scene& scene() const { return scene_; }
  Scene& mutable_scene() { return scene_; }
  // Faults apply to every following command; the log, when set, records the host calls.
  FaultPlan& faults() { return faults_; }
  void SetCallLog(CallLog* log) { log_ = log; }

  // The effect_ref this instance hands to the plug-in, and the way back from it (null for a
  // pointer that is no live instance's).
  PF_ProgPtr effect_ref() const;
  static EffectInstance* FromEffectRef(PF_ProgPtr effect_ref);

  // --- Commands (each in a fresh CallContext, with PF_InData filled as a host does) ---------
  CommandResult GlobalSetup();
  // Starts the parameter list afresh with the input layer at index 0.
  CommandResult ParamsSetup();
  CommandResult About();
  // Any command, without parameters or output, at frame 0.
  CommandResult Run(PF_Cmd command);
  // The general form all commands go through.
  CommandResult RunCommand(PF_Cmd command, PF_ParamDef** params, PF_LayerDef* output,
                           const FrameTimes& times);

  // The PF_OutData the next command is given; after each command it holds what the plug-in
  // left in it, as a host's record does.
  PF_OutData& out_data() { return out_data_; }
  const PF_OutData& out_data() const { return out_data_; }
  CommandResult LastCommand() const;
  Ledger HeldAfterLastCommand() const;

  // Pixel formats registered through "PF Pixel Format Suite" (Premiere Pro only).
  const std::vector<PrPixelFormat>& SupportedPixelFormats() const { return pixel_formats_; }

  // --- Parameters (ParamTable) ---------------------------------------------------------
  // Not to be changed while commands run; commands on several threads may read them.
  const ParamTable& params() const { return params_; }
  int NumParams() const { return params_.size(); }
  const PF_ParamDef& Definition(int index) const { return params_.Definition(index); }
  std::string ParamName(int index) const { return params_.Name(index); }
  int FindParam(const std::string& name) const { return params_.Find(name); }
  void SetConstant(int index, const ParamValue& value) { params_.SetConstant(index, value); }
  void SetConstant(const std::string& name, const ParamValue& value) {
    params_.SetConstant(FindParam(name), value);
  }
  void SetKeys(int index, std::vector<ParamKey> keys) { params_.SetKeys(index, std::move(keys)); }
  void SetKeys(const std::string& name, std::vector<ParamKey> keys) {
    params_.SetKeys(FindParam(name), std::move(keys));
  }
  PF_ParamDef ValueAt(int index, double seconds) const { return params_.ValueAt(index, seconds); }
  // Every parameter at that time, index 0 being the input layer.
  std::vector<PF_ParamDef> ParamsAt(double seconds) const;
  void SetInputWorld(const PF_EffectWorld& world) { params_.SetInputWorld(world); }

 private:
  friend struct HostCallbacks;
  PF_Err AddParam(PF_ParamIndex index, const PF_ParamDef& definition);
  PF_Err CheckoutParam(PF_ParamIndex index, A_long what_time, A_u_long time_scale,
                       PF_ParamDef& definition) const;
  void ClearSupportedPixelFormats() { pixel_formats_.clear(); }
  void AddSupportedPixelFormat(PrPixelFormat format) { pixel_formats_.push_back(format); }
  friend struct PixelFormatCallbacks;

  PF_FilterProc entry_point_;
  InstanceOptions options_;
  Scene scene_;
  FaultPlan faults_;
  CallLog* log_ = nullptr;
  PF_OutData out_data_{};
  std::vector<PrPixelFormat> pixel_formats_;
  ParamTable params_;

  mutable std::mutex last_mutex_;
  CommandResult last_;
};

}  // namespace quorvel::headless
