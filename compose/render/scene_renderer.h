// SPDX-License-Identifier: MIT
// A module loaded and the composition of a scene set up on it, the way a host sets effects up.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "compose/render/footage_source.h"
#include "compose/scene/frame_range.h"
#include "compose/scene/scene_file.h"
#include "headless/composition/frame_render.h"
#include "headless/instance/effect_instance.h"
#include "headless/loading/module.h"
#include "media/audio/audio_source.h"

namespace quorvel::compose {

// The plug-in module next to the running executable, or, when none is there, the one installed
// in ../lib/quorvel/ from the executable's folder.
std::string DefaultModulePath();

// What went wrong in a command, or an empty string when nothing did: an error code (with the
// plug-in's message when it flagged one for display), an exception that escaped the entry
// point, or anything the plug-in still held when the command returned. `what` names the
// command for the message ("render of frame 3").
std::string CommandProblem(const headless::CommandResult& result, const std::string& what);

// "PF_Err_BAD_CALLBACK_PARAM (516)", or the bare number for codes without a name.
std::string ErrorCodeText(PF_Err err);

// A module and the composition it renders: one effect instance for each layer that has an
// effect, set up as a host sets one up (global set-up, parameter set-up, then the values).
class SceneRenderer {
 public:
  // One instance on the default scene. Throws ModuleError for a module that is not a plug-in,
  // RenderError for a failed set-up command.
  SceneRenderer(const std::string& module_path, const headless::InstanceOptions& options);
  // One instance per layer with an effect, and the footage of footage layers opened; throws
  // SceneError as well, for parameter values the effect does not take, and RenderError for
  // footage that cannot be read.
  SceneRenderer(const std::string& module_path, const SceneFile& scene_file);
  // The same on a module already loaded, which several sessions may share.
  SceneRenderer(std::shared_ptr<const headless::Module> module, const SceneFile& scene_file);

  const headless::Module& module() const { return *module_; }
  const headless::Composition& composition() const { return composition_; }

  // Whether a text layer's frame may be taken from an earlier frame drawn from the very same
  // inputs (text, position, the effect's values at every instant the frame samples); on by
  // default, off to show that it changes nothing.
  void set_reuse_drawn_layers(bool reuse) { reuse_drawn_layers_ = reuse; }
  // How many times a layer's frame was taken from an earlier frame.
  size_t drawn_layers_reused() const { return drawn_layers_reused_.load(); }
  // The instance on the topmost layer that has an effect (null when none has).
  headless::EffectInstance* first_instance();
  // The first instance, which the first constructor always makes.
  headless::EffectInstance& instance() { return *first_instance(); }

  // The sound a video of the frames carries: that of the lowest footage layer that has sound,
  // on the composition's clock; none when no footage has sound.
  std::optional<media::AudioSource> Sound(const FrameRange& range) const;

  // A text layer's pixels at a frame, cropped to what is not transparent, kept for the frames
  // around it that are drawn from the very same inputs.
  struct DrawnLayer {
    headless::ConstantSpan span;  // frames whose instants all fall in it draw the same
    A_long left = 0;
    A_long top = 0;
    std::optional<headless::OwnedWorld> pixels;  // none when the layer draws nothing
  };
  // A layer above the footage, drawn at a frame, with the opacity it is laid over at.
  struct Overlay {
    std::shared_ptr<const DrawnLayer> drawn;
    A_u_char opacity;
  };
  // The footage at the bottom of the composition when every other layer is a text layer (null
  // otherwise): a video may be made from its decoded frames with the others laid into them.
  FootageSource* bottom_footage();
  // The text layers above the bottom footage at a frame, bottom first, those that show nothing
  // left out. Throws RenderError as RenderChecked does.
  std::vector<Overlay> RenderOverlays(A_long frame);

  // Runs a command without parameters on the first instance; RenderError on any CommandProblem.
  headless::CommandResult RunChecked(PF_Cmd command, const std::string& what);
  // Renders one frame of the composition, its layers stacked bottom to top, each through its
  // effect when it has one. Throws RenderError on any CommandProblem (naming the layer when
  // there are several). Safe to call from several threads at once.
  headless::OwnedWorld RenderChecked(A_long frame);

 private:
  struct DrawnLayerCache {
    std::mutex mutex;
    std::shared_ptr<const DrawnLayer> last;
  };
  struct Layer {
    headless::TextLayer text;
    std::unique_ptr<headless::EffectInstance> effect;  // null for plain text
    std::unique_ptr<FootageSource> footage;            // set for a footage layer
    std::unique_ptr<DrawnLayerCache> drawn = std::make_unique<DrawnLayerCache>();
    std::optional<size_t> group;
  };
  // The layer at `index` drawn, or the group it belongs to drawn as one (the members laid over
  // each other at their opacities), with the opacity it is laid over at; `next` becomes the
  // index above it. None when it shows nothing at the frame.
  std::optional<Overlay> DrawItem(A_long frame, size_t index, size_t& next);
  std::optional<Overlay> DrawGroup(A_long frame, size_t bottom, size_t top);
  headless::EffectInstance& AddInstance(const headless::TextLayer& text);
  std::shared_ptr<const DrawnLayer> DrawLayer(const Layer& layer, A_long frame, size_t index);
  headless::OwnedWorld RenderLayer(const Layer& layer, A_long frame, size_t index);
  headless::OwnedWorld RenderLayers(A_long frame);

  std::shared_ptr<const headless::Module> module_;
  headless::Composition composition_;
  headless::InstanceOptions options_;
  std::vector<Layer> layers_;  // top first
  std::vector<LayerGroup> groups_;
  bool reuse_drawn_layers_ = true;
  std::atomic<size_t> drawn_layers_reused_{0};
};

}  // namespace quorvel::compose
