// SPDX-License-Identifier: MIT
#include "headless/composition/frame_render.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "headless/common/interruption.h"
#include "headless/pixels/fill.h"
#include "headless/pixels/transfer.h"
#include "headless/pixels/transform.h"
#include "headless/text/text_outlines.h"

namespace quorvel::headless {
namespace {

bool SameOutlines(const TextOutlines& a, const TextOutlines& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].closed != b[i].closed || a[i].vertices.size() != b[i].vertices.size() ||
        std::memcmp(a[i].vertices.data(), b[i].vertices.data(),
                    a[i].vertices.size() * sizeof(PF_PathVertex)) != 0) {
      return false;
    }
  }
  return true;
}

bool IsFullResolution(const PF_RationalScale& factor) {
  return factor.den != 0 && static_cast<uint32_t>(factor.num) == factor.den;
}

// True when what the layer draws differs at some of the instants: its text, its position or
// its explicit outlines.
bool MovesAcross(const TextLayer& layer, const std::vector<double>& instants) {
  const double first = instants.front();
  const std::string text = layer.text.At(first);
  const Point2 position = layer.position.At(first);
  for (const double at : instants) {
    const Point2 moved = layer.position.At(at);
    if (layer.text.At(at) != text || moved.x != position.x || moved.y != position.y) return true;
    if (layer.explicit_outlines &&
        !SameOutlines(layer.explicit_outlines->At(at), layer.explicit_outlines->At(first))) {
      return true;
    }
  }
  return false;
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

std::vector<double> ShutterSamples(const FrameTimes& times) {
  const double current = Seconds(times.current_time, times.time_scale);
  if (times.shutter_angle == 0) return {current};
  // The effect's own instants, in time units, truncated toward zero as it truncates them.
  const double step = times.time_step;
  const double open = std::trunc(times.current_time + step * times.shutter_phase / 65536.0);
  const double close = std::trunc(open + step * times.shutter_angle / 65536.0);
  std::vector<double> samples;
  for (int i = 0; i < kMotionBlurSamples; ++i) {
    const double at = open + (close - open) * (i + 0.5) / kMotionBlurSamples;
    samples.push_back(at / static_cast<double>(times.time_scale));
  }
  return samples;
}

SampledInstants InstantsSampled(const FrameTimes& times) {
  const double current = times.current_time;
  double first = current;
  double last = current;
  if (times.shutter_angle != 0) {
    // As ShutterSamples and the effect find them.
    const double step = times.time_step;
    const double open = std::trunc(current + step * times.shutter_phase / 65536.0);
    const double close = std::trunc(open + step * times.shutter_angle / 65536.0);
    first = std::min({first, open, close});
    last = std::max({last, open, close});
  }
  const double scale = times.time_scale;
  return {first / scale, last / scale};
}

namespace {

// The average of the layer's pixels at the samples, each drawn over the whole layer.
OwnedWorld AverageOfSamples(const Composition& composition, const TextLayer& layer,
                            const InstanceOptions& options, const std::vector<double>& samples) {
  OwnedWorld first = LayerPixels(composition, layer, options, samples.front());
  const size_t row_values = static_cast<size_t>(first.width()) * 4;
  std::vector<uint16_t> sums(row_values * static_cast<size_t>(first.height()));
  const auto add = [&](const OwnedWorld& sample) {
    for (A_long y = 0; y < sample.height(); ++y) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(WorldRow(sample.world(), y));
      uint16_t* row = &sums[static_cast<size_t>(y) * row_values];
      for (size_t i = 0; i < row_values; ++i) row[i] = static_cast<uint16_t>(row[i] + bytes[i]);
    }
  };
  add(first);
  for (size_t i = 1; i < samples.size() && !InterruptionRequested(); ++i) {
    add(LayerPixels(composition, layer, options, samples[i]));
  }
  const auto count = static_cast<unsigned>(samples.size());
  for (A_long y = 0; y < first.height(); ++y) {
    auto* bytes = reinterpret_cast<unsigned char*>(WorldRow(first.world(), y));
    const uint16_t* row = &sums[static_cast<size_t>(y) * row_values];
    for (size_t i = 0; i < row_values; ++i) {
      bytes[i] = static_cast<unsigned char>((row[i] + count / 2) / count);
    }
  }
  return first;
}

}  // namespace

OwnedWorld LayerPixelsAtFrame(const Composition& composition, const TextLayer& layer,
                              const InstanceOptions& options, const FrameTimes& times) {
  const std::vector<double> samples = ShutterSamples(times);
  if (samples.size() == 1 || !MovesAcross(layer, samples)) {
    return LayerPixels(composition, layer, options, Seconds(times.current_time, times.time_scale));
  }
  // The average of the samples, premultiplied, as the host averages a motion-blurred placement.
  static_assert(kMotionBlurSamples * 255 <= 0xFFFF, "the sums fit 16 bits");
  if (!IsFullResolution(options.downsample_x) || !IsFullResolution(options.downsample_y)) {
    return AverageOfSamples(composition, layer, options, samples);
  }
  // At full resolution only the part some sample reaches is drawn and summed: elsewhere every
  // sample, and so their average, is transparent.
  const A_long width = composition.width;
  const A_long height = composition.height;
  PF_Rect reach{width, height, 0, 0};
  for (const double at : samples) {
    const PF_Rect sample = LayerInkReach(layer, at, width, height);
    if (sample.right <= sample.left || sample.bottom <= sample.top) continue;
    reach = {std::min(reach.left, sample.left), std::min(reach.top, sample.top),
             std::max(reach.right, sample.right), std::max(reach.bottom, sample.bottom)};
  }
  OwnedWorld average(width, height);
  if (reach.right <= reach.left || reach.bottom <= reach.top) return average;
  const auto reach_width = static_cast<size_t>(reach.right - reach.left);
  const auto reach_height = static_cast<size_t>(reach.bottom - reach.top);
  std::vector<PF_Pixel> drawn(reach_width * reach_height);
  std::vector<uint16_t> sums(drawn.size() * 4);
  for (size_t i = 0; i < samples.size() && !InterruptionRequested(); ++i) {
    RenderLayerPixels(layer, samples[i], width, height, drawn.data(),
                      static_cast<long>(reach_width * sizeof(PF_Pixel)), &reach);
    const auto* bytes = reinterpret_cast<const unsigned char*>(drawn.data());
    for (size_t j = 0; j < sums.size(); ++j) sums[j] = static_cast<uint16_t>(sums[j] + bytes[j]);
  }
  const auto count = static_cast<unsigned>(samples.size());
  for (size_t y = 0; y < reach_height; ++y) {
    auto* bytes = reinterpret_cast<unsigned char*>(
        WorldRow(average.world(), reach.top + static_cast<A_long>(y)) + reach.left);
    const uint16_t* row = &sums[y * reach_width * 4];
    for (size_t i = 0; i < reach_width * 4; ++i) {
      bytes[i] = static_cast<unsigned char>((row[i] + count / 2) / count);
    }
  }
  return average;
}

OwnedWorld LayerPixelsAtFrame(const Composition& composition, const TextLayer& layer,
                              const InstanceOptions& options, A_long frame) {
  return LayerPixelsAtFrame(composition, layer, options, FrameTimesAt(composition, layer, frame));
}

A_u_char OpacityAtFrame(const Composition& composition, const TextLayer& layer, A_long frame) {
  const FrameTimes times = FrameTimesAt(composition, layer, frame);
  const double percent = layer.opacity.At(Seconds(times.current_time, times.time_scale));
  // Clamped: an eased key may overshoot 0..100. A NaN cannot reach here (keys are checked).
  return static_cast<A_u_char>(std::lround(std::clamp(percent, 0.0, 100.0) * 2.55));
}

void LayOver(const PF_EffectWorld& upper, PF_EffectWorld& lower, A_u_char opacity, A_long left,
             A_long top) {
  const PF_CompositeMode over{PF_Xfer_IN_FRONT, 0, opacity, 0, 0};
  TransferRect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME, nullptr, &upper, &over,
               nullptr, left, top, &lower);
}

ConstantSpan DrawingConstantAround(const TextLayer& layer, double seconds) {
  ConstantSpan span =
      layer.text.ConstantAround(seconds).Within(layer.position.ConstantAround(seconds));
  if (layer.explicit_outlines) span = span.Within(layer.explicit_outlines->ConstantAround(seconds));
  return span;
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

  FrameTimes times = FrameTimesAt(composition, instance.scene().layer, request.frame);
  if (request.shutter_regardless_of_switches) {
    TextLayer blurred = instance.scene().layer;
    blurred.motion_blur = true;
    Composition blurring = composition;
    blurring.motion_blur = true;
    const FrameTimes shutter = FrameTimesAt(blurring, blurred, request.frame);
    times.shutter_angle = shutter.shutter_angle;
    times.shutter_phase = shutter.shutter_phase;
  }
  times.extent_hint = {0, 0, width, height};
  const double seconds = Seconds(times.current_time, times.time_scale);

  OwnedWorld input =
      LayerPixelsAtFrame(instance.scene().composition, instance.scene().layer, options, times);
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
