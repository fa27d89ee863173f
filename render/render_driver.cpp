// SPDX-License-Identifier: MIT
#include "render/render_driver.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

#include "host/scoped_suite.h"
#include "host/suite_cache.h"
#include "render/box_geometry.h"
#include "render/matrix3.h"
#include "render/output_compositing.h"
#include "render/render_params.h"
#include "render/shape_rasterizer.h"
#include "text/text_bounds.h"

namespace quorvel {
namespace {

constexpr char kAcquireFailedMessage[] = "Not able to acquire AEFX Suite.";

// A scoped suite that the host "gave" as a null pointer cannot be called through; it counts as
// missing, exactly like a refused one.
template <typename Suite>
const Suite* Require(const ScopedSuite<Suite>& suite, PF_InData* in_data, PF_OutData* out_data) {
  if (suite.get() == nullptr) {
    ReportErrorMessage(in_data, out_data, kAcquireFailedMessage);
    throw static_cast<PF_Err>(A_Err_MISSING_SUITE);
  }
  return suite.get();
}

// A per-render host world, disposed of when the render ends, on every path.
class WorkingWorld {
 public:
  WorkingWorld(const PF_WorldSuite2* worlds, PF_ProgPtr effect_ref)
      : worlds_(worlds), effect_ref_(effect_ref) {}
  ~WorkingWorld() {
    if (made_) {
      worlds_->PF_DisposeWorld(effect_ref_, &world_);
    }
  }
  WorkingWorld(const WorkingWorld&) = delete;
  WorkingWorld& operator=(const WorkingWorld&) = delete;

  // Makes a cleared 8-bit world. Returns the host's error, or PF_Err_OUT_OF_MEMORY when the
  // host reports success but gives no pixels; such a world is still disposed of.
  PF_Err Make(A_long width, A_long height) {
    const PF_Err error =
        worlds_->PF_NewWorld(effect_ref_, width, height, 1, PF_PixelFormat_ARGB32, &world_);
    if (error != PF_Err_NONE) {
      return error;
    }
    made_ = true;
    return world_.data != nullptr ? PF_Err_NONE : static_cast<PF_Err>(PF_Err_OUT_OF_MEMORY);
  }

  PF_EffectWorld* get() { return &world_; }

 private:
  const PF_WorldSuite2* worlds_;
  PF_ProgPtr effect_ref_;
  PF_EffectWorld world_{};
  bool made_ = false;
};

// trunc(pixels + border_width), or nothing when that is no 32-bit size (a non-finite or huge
// border width).
std::optional<A_long> BorderWorldSide(A_long pixels, double border_width) {
  const double side = std::trunc(static_cast<double>(pixels) + border_width);
  if (!(side >= static_cast<double>(INT32_MIN) && side <= static_cast<double>(INT32_MAX))) {
    return std::nullopt;
  }
  return static_cast<A_long>(side);
}

void ClearWorld(const PF_FillMatteSuite2* fills, PF_ProgPtr effect_ref, PF_EffectWorld* world) {
  fills->fill(effect_ref, nullptr, nullptr, world);
}

}  // namespace

PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
              PF_LayerDef* output) {
  SuiteCache suites(in_data->pica_basicP);
  const ScopedSuite<PF_WorldSuite2> world_suite(in_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                                                out_data);
  const PF_WorldSuite2* worlds = Require(world_suite, in_data, out_data);
  const ScopedSuite<PF_FillMatteSuite2> fill_suite(in_data, kPFFillMatteSuite,
                                                   kPFFillMatteSuiteVersion2, out_data);
  const PF_FillMatteSuite2* fills = Require(fill_suite, in_data, out_data);
  PF_ProgPtr effect_ref = in_data->effect_ref;

  // Only a text layer has outlines to follow; on any other layer the output stays as given.
  AEGP_LayerH layer = nullptr;
  suites.PFInterfaceSuite()->AEGP_GetEffectLayer(effect_ref, &layer);
  AEGP_ObjectType object_type = 0;
  const PF_Err result = suites.LayerSuite11()->AEGP_GetLayerObjectType(layer, &object_type);
  if (object_type != AEGP_ObjectType_TEXT) {
    return result;
  }

  RenderParams render_params;
  ReadRenderParams(in_data, params, render_params);

  // The shutter-close measurement rescales these in place; the shutter-open one must start
  // from the same full-resolution values.
  double open_expansion_uniform = render_params.expansion_uniform;
  double open_expansion_width = render_params.expansion_width;
  double open_expansion_height = render_params.expansion_height;
  double open_border_width = render_params.border_width;
  TextBounds close_bounds{};
  TextBounds open_bounds{};
  A_long motion_blur = 0;
  MeasureTextBounds(in_data, motion_blur, render_params.shape, close_bounds, false,
                    render_params.expansion_uniform, render_params.expansion_width,
                    render_params.expansion_height, render_params.border_width);
  if (motion_blur != 0) {
    MeasureTextBounds(in_data, motion_blur, render_params.shape, open_bounds, true,
                      open_expansion_uniform, open_expansion_width, open_expansion_height,
                      open_border_width);
  }
  if (close_bounds.pixel_width < 1 || close_bounds.pixel_height < 1) {
    return result;
  }

  const bool border_enabled = render_params.border_enabled != 0;
  const double border_width = border_enabled ? render_params.border_width : 0.0;
  std::optional<A_long> border_world_width;
  std::optional<A_long> border_world_height;
  if (border_enabled) {
    border_world_width = BorderWorldSide(close_bounds.pixel_width, border_width);
    border_world_height = BorderWorldSide(close_bounds.pixel_height, border_width);
    if (!border_world_width || !border_world_height) {
      return result;
    }
  }

  // Declared fill first, so the border world is disposed of first.
  WorkingWorld fill_world(worlds, effect_ref);
  WorkingWorld border_world(worlds, effect_ref);
  PF_Err made = fill_world.Make(close_bounds.pixel_width, close_bounds.pixel_height);
  if (made == PF_Err_NONE && border_enabled) {
    made = border_world.Make(*border_world_width, *border_world_height);
    if (made == PF_Err_NONE) {
      ClearWorld(fills, effect_ref, border_world.get());
    }
  }
  if (made != PF_Err_NONE) {
    // Nothing can be drawn; the frame shows nothing rather than what the host handed over.
    ClearWorld(fills, effect_ref, output);
    return made;
  }

  // Transparency comes from the opacity sliders only.
  render_params.fill_color.alpha = 255;
  render_params.border_color.alpha = 255;
  ClearWorld(fills, effect_ref, fill_world.get());
  ClearWorld(fills, effect_ref, output);

  if (render_params.shape == ShapeKind::Circle) {
    DrawCircle(in_data, fill_world.get(), border_world.get(), render_params.fill_color,
               render_params.fill_opacity, border_enabled, border_width, render_params.border_color,
               render_params.border_opacity, &close_bounds);
  } else {
    DrawBox(in_data, fill_world.get(), border_world.get(), render_params.fill_color,
            render_params.fill_opacity, render_params.roundness_factor, border_enabled,
            border_width, render_params.border_color, render_params.border_opacity, &close_bounds);
  }

  PF_EffectWorld* box_world = border_enabled ? border_world.get() : fill_world.get();
  const AnchorPoint anchor = AnchorOffset(render_params.anchor_x, render_params.anchor_y,
                                          box_world->width, box_world->height);
  std::array<Matrix3, 2> matrices{};
  A_long matrix_count = 1;
  if (motion_blur != 0) {
    // The host blurs from the first placement to the second: shutter open, then close.
    matrices = BuildMotionBlurPlacement(
        in_data, render_params.open_sample, open_bounds, render_params.close_sample, close_bounds,
        render_params.expansion_uniform, render_params.expansion_width,
        render_params.expansion_height, border_width, render_params.shape, anchor);
    matrix_count = 2;
  } else {
    matrices[0] = BuildPlacementMatrix(
        in_data, render_params.close_sample, close_bounds, render_params.expansion_uniform,
        render_params.expansion_width, render_params.expansion_height, border_width,
        render_params.shape, anchor);
  }

  PF_CompositeMode mode = FullOpacityCompositeMode();
  if (border_enabled) {
    CompositeFillBehindBorder(in_data, mode, fill_world.get(), border_world.get(), border_width);
  }
  CompositeBoxIntoOutput(in_data, mode, box_world, matrices.data(), matrix_count, output);
  CompositeTextOverBox(in_data, mode, &render_params.input_layer, render_params.matte_text != 0,
                       render_params.subtract_text != 0, output);
  return result;
}

}  // namespace quorvel
