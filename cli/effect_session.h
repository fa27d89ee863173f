// SPDX-License-Identifier: MIT
// A module loaded and one effect instance set up the way a host sets up an effect: global
// set-up, parameter set-up, then the scene and its parameter values.
#pragma once

#include <memory>
#include <string>

#include "cli/scene_file.h"
#include "headless/effect_instance.h"
#include "headless/frame_render.h"
#include "headless/module.h"

namespace quorvel::cli {

// The plug-in module next to the running executable.
std::string DefaultModulePath();

// What went wrong in a command, or an empty string when nothing did: an error code (with the
// plug-in's message when it flagged one for display), an exception that escaped the entry
// point, or anything the plug-in still held when the command returned. `what` names the
// command for the message ("render of frame 3").
std::string CommandProblem(const headless::CommandResult& result, const std::string& what);

// "PF_Err_BAD_CALLBACK_PARAM (516)", or the bare number for codes without a name.
std::string ErrorCodeText(PF_Err err);

class EffectSession {
 public:
  // Throws ModuleError for a module that is not a plug-in, CliError for a failed set-up
  // command, SceneError for parameter values the effect does not take.
  EffectSession(const std::string& module_path, const headless::InstanceOptions& options);
  EffectSession(const std::string& module_path, const SceneFile& scene_file);

  headless::Module& module() { return module_; }
  headless::EffectInstance& instance() { return *instance_; }

  // Runs a command without parameters and throws CliError on any CommandProblem.
  headless::CommandResult RunChecked(PF_Cmd command, const std::string& what);
  // Renders one frame of the scene and throws CliError on any CommandProblem. Safe to call
  // from several threads at once.
  headless::OwnedWorld RenderChecked(A_long frame);

 private:
  void SetUp();

  headless::Module module_;
  std::unique_ptr<headless::EffectInstance> instance_;
};

}  // namespace quorvel::cli
