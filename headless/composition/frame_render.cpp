// SPDX-License-Identifier: MIT
#include "headless/composition/frame_render.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "headless/pixels/fill.h"
#include "headless/pixels/transfer.h"
#include "headless/pixels/transform.h"
#include "headless/text/text_outlines.h"

namespace quorvel::headless {
namespace {

bool IsFullResolution(const PF_RationalScale& factor) {
  return factor.den != 0 && static_cast<uint32_t>(factor.num) == factor.den;
}

}  // namespace

OwnedWorld LayerPixels(const Composition& composition, const TextLayer& text_layer,
                       const InstanceOptions& options, double seconds) {
  const A_long width = DownsampledSize(composition.width, options.downsample_x);
  const A_long height = DownsampledSize(composition.height, options.downsample_y);
  OwnedWorld layer(width, height);
  if (IsFullResolution(options.downsample_x) && IsFullResolution(options.downsample_y)) {
    RenderLayerPixels(text_layer, seconds, width, height, layer.world().data,
                      layer.world().rowbytes);
    return layer;
  }
  // A host renders a downsampled layer smaller; drawing at full size and resampling down gives
  // the same picture without teaching the text renderer about scale.
  OwnedWorld full(composition.width, composition.height);
  RenderLayerPixels(text_layer, seconds, full.width(), full.height(), full.world().data,
                    full.world().rowbytes);
  PF_FloatMatrix scale{};
  scale.mat[0][0] = static_cast<double>(options.downsample_x.num) / options.downsample_x.den;
  scale.mat[1][1] = static_cast<double>(options.downsample_y.num) / options.downsample_y.den;
  scale.mat[2][2] = 1;
  const PF_CompositeMode copy{PF_Xfer_IN_FRONT, 0, 255, 0, 0};
  TransformWorld(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, full.get(), &copy,
                 nullptr, &scale, 1, 1, nullptr, layer.get());
  return layer;
}

OwnedWorld LayerPixelsAtFrame(const Composition& composition, const TextLayer& layer,
                              const InstanceOptions& options, A_long frame) {
  const FrameTimes times = FrameTimesAt(composition, frame);
  return LayerPixels(composition, layer, options, Seconds(times.current_time, times.time_scale));
}

void LayOver(const PF_EffectWorld& upper, PF_EffectWorld& lower) {
  const PF_CompositeMode over{PF_Xfer_IN_FRONT, 0, 255, 0, 0};
  TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, nullptr, &upper, &over,
               nullptr, 0, 0, &lower);
}

A_long DownsampledSize(A_long full, const PF_RationalScale& factor) {
  if (factor.den == 0 || factor.num <= 0) return full;
  const int64_t scaled =
      (static_cast<int64_t>(full) * factor.num + factor.den - 1) / static_cast<int64_t>(factor.den);
  return static_cast<A_long>(scaled < 1 ? 1 : (scaled > full ? full : scaled));
}

RenderedFrame RenderFrame(EffectInstance& instance, const FrameRequest& request) {
  const Composition& composition = instance.scene().composition;
  const InstanceOptions& options = instance.options();
  const A_long width = DownsampledSize(composition.width, options.downsample_x);
  const A_long height = DownsampledSize(composition.height, options.downsample_y);

  FrameTimes times = FrameTimesAt(composition, request.frame);
  times.extent_hint = {0, 0, width, height};
  const double seconds = Seconds(times.current_time, times.time_scale);

  OwnedWorld input =
      LayerPixels(instance.scene().composition, instance.scene().layer, options, seconds);
  OwnedWorld output(width, height);
  if (request.output_fill) {
    Fill(nullptr, &*request.output_fill, nullptr, output.get());
  }

  std::vector<PF_ParamDef> params = instance.ParamsAt(seconds);
  const A_long dephault = params[0].u.ld.dephault;
  params[0].u.ld = input.world();
  params[0].u.ld.dephault = dephault;
  std::vector<PF_ParamDef*> param_pointers;
  param_pointers.reserve(params.size());
  for (PF_ParamDef& param : params) param_pointers.push_back(&param);

  CommandResult result =
      instance.RunCommand(PF_Cmd_RENDER, param_pointers.data(), output.get(), times);
  return RenderedFrame{std::move(output), std::move(result)};
}

}  // namespace quorvel::headless
