// SPDX-License-Identifier: MIT
#include "compose/render/scene_renderer.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "compose/errors.h"
#include "compose/scene/effect_settings.h"
#include "headless/common/interruption.h"
#include "headless/pixels/memory_budget.h"
#include "headless/pixels/transfer.h"
#include "headless/pixels/world.h"

namespace quorvel::compose {
namespace {

const char* ErrorName(PF_Err err) {
  switch (err) {
    case PF_Err_NONE:
      return "PF_Err_NONE";
    case PF_Err_OUT_OF_MEMORY:
      return "PF_Err_OUT_OF_MEMORY";
    case A_Err_MISSING_SUITE:
      return "A_Err_MISSING_SUITE";
    case PF_Err_INTERNAL_STRUCT_DAMAGED:
      return "PF_Err_INTERNAL_STRUCT_DAMAGED";
    case PF_Err_INVALID_INDEX:
      return "PF_Err_INVALID_INDEX";
    case PF_Err_UNRECOGNIZED_PARAM_TYPE:
      return "PF_Err_UNRECOGNIZED_PARAM_TYPE";
    case PF_Err_INVALID_CALLBACK:
      return "PF_Err_INVALID_CALLBACK";
    case PF_Err_BAD_CALLBACK_PARAM:
      return "PF_Err_BAD_CALLBACK_PARAM";
    case PF_Interrupt_CANCEL:
      return "PF_Interrupt_CANCEL";
    case PF_Err_CANNOT_PARSE_KEYFRAME_TEXT:
      return "PF_Err_CANNOT_PARSE_KEYFRAME_TEXT";
    default:
      return nullptr;
  }
}

}  // namespace

#if defined(_WIN32)
std::string DefaultModulePath() {
  std::wstring executable(MAX_PATH, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, executable.data(), static_cast<DWORD>(executable.size()));
  if (length == 0 || length >= executable.size()) return "Quorvel.aex";
  executable.resize(length);
  return (std::filesystem::path(executable).parent_path() / "Quorvel.aex").u8string();
}
#else
std::string DefaultModulePath() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "Quorvel.so";
  // The build tree keeps the module beside the program; an installed program (bin/) finds it in
  // lib/quorvel/ of the same prefix, wherever that prefix was moved.
  const std::filesystem::path beside = executable.parent_path() / "Quorvel.so";
  const std::filesystem::path installed =
      executable.parent_path().parent_path() / "lib" / "quorvel" / "Quorvel.so";
  if (!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error)) {
    return installed.string();
  }
  return beside.string();
}
#endif

std::string ErrorCodeText(PF_Err err) {
  const char* name = ErrorName(err);
  return name != nullptr ? std::string(name) + " (" + std::to_string(err) + ")"
                         : "error " + std::to_string(err);
}

std::string WorldRefusalText(const headless::WorldRefusal& refusal) {
  const std::string size = std::to_string(refusal.width) + "x" + std::to_string(refusal.height);
  if (refusal.reason == headless::WorldRefusal::Reason::kTooLarge) {
    return "the box needs a " + size + " world; the host's largest is " +
           std::to_string(PF_MAX_WORLD_WIDTH) + "x" + std::to_string(PF_MAX_WORLD_HEIGHT);
  }
  return "the box needs a " + size + " world (" + headless::ShownBytes(refusal.bytes) +
         "); the memory budget of " + headless::ShownBytes(headless::MemoryBudget()) +
         " is used up (--max-memory)";
}

std::string CommandProblem(const headless::CommandResult& result, const std::string& what) {
  std::string problem;
  if (result.err != PF_Err_NONE && result.escaped_exception.empty() && result.world_refusal) {
    // Why the host refused the effect's world says more than the code the effect passed on.
    problem = WorldRefusalText(*result.world_refusal);
  } else if (!result.escaped_exception.empty()) {
    problem = what + " let an exception out of the plug-in: " + result.escaped_exception;
  } else if (result.err != PF_Err_NONE) {
    problem = what + " failed with " + ErrorCodeText(result.err);
    const PF_OutData& out = result.out_data;
    if ((out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0) {
      const std::string message(out.return_msg, strnlen(out.return_msg, sizeof out.return_msg));
      if (!message.empty()) problem += ": " + message;
    }
  }
  if (!result.held.Empty()) {
    problem += (problem.empty() ? "after " + what + " the plug-in still holds "
                                : "; afterwards the plug-in still holds ") +
               result.held.Describe();
  }
  return problem;
}

SceneRenderer::SceneRenderer(const std::string& module_path,
                             const headless::InstanceOptions& options)
    : module_(std::make_shared<const headless::Module>(module_path)), options_(options) {
  AddInstance(headless::TextLayer{});
}

SceneRenderer::SceneRenderer(const std::string& module_path, const SceneFile& scene_file)
    : SceneRenderer(std::make_shared<const headless::Module>(module_path), scene_file) {}

SceneRenderer::SceneRenderer(std::shared_ptr<const headless::Module> module,
                             const SceneFile& scene_file)
    : module_(std::move(module)),
      composition_(scene_file.composition),
      options_(scene_file.options),
      groups_(scene_file.groups) {
  for (const SceneLayer& layer : scene_file.layers) {
    if (layer.footage) {
      layers_.push_back(Layer{layer.text, nullptr, std::make_unique<FootageSource>(*layer.footage),
                              std::make_unique<DrawnLayerCache>(), std::nullopt});
      continue;
    }
    if (!layer.effect) {
      layers_.push_back(
          Layer{layer.text, nullptr, nullptr, std::make_unique<DrawnLayerCache>(), std::nullopt});
      continue;
    }
    ApplyEffectSettings(scene_file.file, layer, AddInstance(layer.text));
  }
  for (size_t index = 0; index < layers_.size(); ++index) {
    const std::optional<size_t> group = scene_file.layers[index].group;
    if (group && *group >= groups_.size()) {
      throw SceneError(scene_file.file + ": layers[" + std::to_string(index) +
                       "] is of a group the scene does not have");
    }
    layers_[index].group = group;
  }
}

headless::EffectInstance& SceneRenderer::AddInstance(const headless::TextLayer& text) {
  auto instance = std::make_unique<headless::EffectInstance>(*module_, options_);
  instance->mutable_scene() = headless::Scene{composition_, text};
  layers_.push_back(
      Layer{text, std::move(instance), nullptr, std::make_unique<DrawnLayerCache>(), std::nullopt});
  headless::EffectInstance& added = *layers_.back().effect;
  const auto check = [](const headless::CommandResult& result, const char* what) {
    const std::string problem = CommandProblem(result, what);
    if (!problem.empty()) throw RenderError(problem);
  };
  check(added.GlobalSetup(), "global set-up");
  check(added.ParamsSetup(), "parameter set-up");
  return added;
}

headless::EffectInstance* SceneRenderer::first_instance() {
  for (Layer& layer : layers_) {
    if (layer.effect) return layer.effect.get();
  }
  return nullptr;
}

std::optional<media::AudioSource> SceneRenderer::Sound(const FrameRange& range) const {
  // Layers are listed top first: the lowest footage with sound is the last such.
  for (auto layer = layers_.rbegin(); layer != layers_.rend(); ++layer) {
    if (!layer->footage || !layer->footage->info().audio) continue;
    const FootageLayer& footage = layer->footage->layer();
    const auto at = [&](A_long frame) {
      return headless::Seconds(frame * composition_.frame_duration, composition_.time_scale);
    };
    return media::AudioSource{footage.path, footage.in_seconds - footage.start_seconds,
                              at(range.first), at(range.last + 1)};
  }
  return std::nullopt;
}

headless::CommandResult SceneRenderer::RunChecked(PF_Cmd command, const std::string& what) {
  headless::EffectInstance& effect = instance();
  headless::CommandResult result =
      command == PF_Cmd_PARAMS_SETUP ? effect.ParamsSetup() : effect.Run(command);
  const std::string problem = CommandProblem(result, what);
  if (!problem.empty()) throw RenderError(problem);
  return result;
}

headless::OwnedWorld SceneRenderer::RenderLayer(const Layer& layer, A_long frame, size_t index) {
  if (!layer.effect) {
    return headless::LayerPixelsAtFrame(composition_, layer.text, options_, frame);
  }
  headless::RenderedFrame rendered =
      headless::RenderFrame(*layer.effect, headless::FrameRequest{frame, {}});
  // The caller names the frame (every failure of a run is told as "frame N: ...").
  const std::string problem = CommandProblem(rendered.result, "the render");
  if (!problem.empty()) {
    throw RenderError(layers_.size() > 1 ? "layers[" + std::to_string(index) + "]: " + problem
                                         : problem);
  }
  return std::move(rendered.output);
}

namespace {

// The smallest rectangle holding every pixel that is not all zero (a transparent pixel with
// colour would still add it when laid over); false when there is none.
bool InkBounds(const PF_EffectWorld& world, PF_Rect& bounds) {
  bounds = {world.width, world.height, 0, 0};
  for (A_long y = 0; y < world.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(headless::WorldRow(world, y));
    A_long x = 0;
    while (x < world.width && row[x] == 0) ++x;
    if (x == world.width) continue;
    A_long end = world.width;
    while (row[end - 1] == 0) --end;
    bounds.left = std::min(bounds.left, x);
    bounds.right = std::max(bounds.right, end);
    bounds.top = std::min(bounds.top, y);
    bounds.bottom = y + 1;
  }
  return bounds.left < bounds.right;
}

}  // namespace

std::shared_ptr<const SceneRenderer::DrawnLayer> SceneRenderer::DrawLayer(const Layer& layer,
                                                                          A_long frame,
                                                                          size_t index) {
  // Every instant the frame samples, its shutter's included.
  const double seconds =
      headless::Seconds(frame * composition_.frame_duration, composition_.time_scale);
  const headless::SampledInstants sampled =
      headless::InstantsSampled(headless::FrameTimesAt(composition_, layer.text, frame));
  const double first = sampled.first;
  const double last = sampled.last;
  if (reuse_drawn_layers_) {
    const std::lock_guard<std::mutex> lock(layer.drawn->mutex);
    if (layer.drawn->last && layer.drawn->last->span.Covers(first, last)) {
      drawn_layers_reused_.fetch_add(1);
      return layer.drawn->last;
    }
  }
  headless::ConstantSpan span = headless::DrawingConstantAround(layer.text, seconds);
  if (layer.effect) span = span.Within(layer.effect->params().ConstantAround(seconds));
  headless::OwnedWorld whole = RenderLayer(layer, frame, index);
  auto drawn = std::make_shared<DrawnLayer>();
  drawn->span = span;
  PF_Rect ink{};
  if (InkBounds(whole.world(), ink)) {
    drawn->left = ink.left;
    drawn->top = ink.top;
    drawn->pixels.emplace(ink.right - ink.left, ink.bottom - ink.top);
    const PF_CompositeMode copy{PF_Xfer_COPY, 0, 255, 0, 0};
    headless::TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, &ink,
                           &whole.world(), &copy, nullptr, 0, 0, drawn->pixels->get());
  }
  if (reuse_drawn_layers_ && span.Covers(first, last)) {
    const std::lock_guard<std::mutex> lock(layer.drawn->mutex);
    layer.drawn->last = drawn;
  }
  return drawn;
}

FootageSource* SceneRenderer::bottom_footage() {
  if (layers_.empty() || !layers_.back().footage) return nullptr;
  for (size_t index = 0; index + 1 < layers_.size(); ++index) {
    if (layers_[index].footage) return nullptr;
  }
  return layers_.back().footage.get();
}

std::optional<SceneRenderer::Overlay> SceneRenderer::DrawGroup(A_long frame, size_t bottom,
                                                               size_t top) {
  std::vector<Overlay> members;
  PF_Rect reach{composition_.width, composition_.height, 0, 0};
  for (size_t index = bottom + 1; index-- > top;) {
    const A_u_char opacity = headless::OpacityAtFrame(composition_, layers_[index].text, frame);
    if (opacity == 0) continue;
    std::shared_ptr<const DrawnLayer> drawn = DrawLayer(layers_[index], frame, index);
    if (!drawn->pixels) continue;
    reach = {std::min(reach.left, drawn->left), std::min(reach.top, drawn->top),
             std::max(reach.right, drawn->left + drawn->pixels->width()),
             std::max(reach.bottom, drawn->top + drawn->pixels->height())};
    members.push_back({std::move(drawn), opacity});
  }
  const LayerGroup& group = groups_[*layers_[bottom].group];
  const double seconds =
      headless::Seconds(frame * composition_.frame_duration, composition_.time_scale);
  const auto opacity =
      static_cast<A_u_char>(std::lround(std::clamp(group.opacity.At(seconds), 0.0, 100.0) * 2.55));
  if (members.empty() || opacity == 0) return std::nullopt;
  auto together = std::make_shared<DrawnLayer>();
  together->left = reach.left;
  together->top = reach.top;
  together->pixels.emplace(reach.right - reach.left, reach.bottom - reach.top);
  for (const Overlay& member : members) {
    headless::LayOver(member.drawn->pixels->world(), together->pixels->world(), member.opacity,
                      member.drawn->left - reach.left, member.drawn->top - reach.top);
  }
  return Overlay{std::move(together), opacity};
}

std::optional<SceneRenderer::Overlay> SceneRenderer::DrawItem(A_long frame, size_t index,
                                                              size_t& next) {
  next = index;
  if (const std::optional<size_t> group = layers_[index].group) {
    // The members lie above it in the list, top first.
    size_t top = index;
    while (top > 0 && layers_[top - 1].group == group) --top;
    next = top;
    return DrawGroup(frame, index, top);
  }
  const A_u_char opacity = headless::OpacityAtFrame(composition_, layers_[index].text, frame);
  if (opacity == 0) return std::nullopt;
  std::shared_ptr<const DrawnLayer> drawn = DrawLayer(layers_[index], frame, index);
  if (!drawn->pixels) return std::nullopt;
  return Overlay{std::move(drawn), opacity};
}

std::vector<SceneRenderer::Overlay> SceneRenderer::RenderOverlays(A_long frame) {
  std::vector<Overlay> overlays;
  try {
    for (size_t index = layers_.size() - 1; index-- > 0;) {
      if (headless::InterruptionRequested()) throw RenderError("interrupted");
      if (std::optional<Overlay> item = DrawItem(frame, index, index)) {
        overlays.push_back(std::move(*item));
      }
    }
  } catch (const headless::MemoryBudgetError& error) {
    throw RenderError(std::string(error.what()) + " (--max-memory)");
  }
  return overlays;
}

headless::OwnedWorld SceneRenderer::RenderChecked(A_long frame) {
  headless::FrameMemoryGate& gate = headless::FrameMemoryGate::Instance();
  try {
    headless::ClearCrowdedRefusal();
    {
      const headless::FrameMemoryGate::Share share(gate);
      try {
        return RenderLayers(frame);
      } catch (const std::exception&) {
        if (!headless::RefusedWhileCrowded() || headless::InterruptionRequested()) throw;
      }
    }
    // Refused memory that frames beside it held: once more, alone.
    const headless::FrameMemoryGate::Alone alone(gate);
    return RenderLayers(frame);
  } catch (const headless::MemoryBudgetError& error) {
    throw RenderError(std::string(error.what()) + " (--max-memory)");
  }
}

headless::OwnedWorld SceneRenderer::RenderLayers(A_long frame) {
  // Bottom to top, each layer laid over what is below it at its opacity. A layer that shows
  // nothing at the frame is not rendered at all.
  std::optional<headless::OwnedWorld> image;
  const A_long width = headless::DownsampledSize(composition_.width, options_.downsample_x);
  const A_long height = headless::DownsampledSize(composition_.height, options_.downsample_y);
  for (size_t index = layers_.size(); index-- > 0;) {
    // A caption of many lines is as many layers: a stop is heard between them.
    if (headless::InterruptionRequested()) throw RenderError("interrupted");
    if (layers_[index].footage) {
      layers_[index].footage->LayOver(frame, composition_, options_, image);
      continue;
    }
    const std::optional<Overlay> item = DrawItem(frame, index, index);
    if (!item) continue;
    if (!image) image.emplace(width, height);
    // Only what the layer covers is visited.
    headless::LayOver(item->drawn->pixels->world(), image->world(), item->opacity,
                      item->drawn->left, item->drawn->top);
  }
  if (!image) image.emplace(width, height);
  return std::move(*image);
}

}  // namespace quorvel::compose
