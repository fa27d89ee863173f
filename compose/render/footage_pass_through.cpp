// SPDX-License-Identifier: MIT
#include "compose/render/footage_pass_through.h"

#include <exception>
#include <string>

#include "headless/common/interruption.h"
#include "headless/composition/frame_render.h"
#include "media/ycbcr/native_frame.h"
#include "media/ycbcr/patch_blend.h"

namespace quorvel::compose {
namespace {

bool IsFullResolution(const PF_RationalScale& factor) {
  return factor.den != 0 && static_cast<uint32_t>(factor.num) == factor.den;
}

}  // namespace

std::optional<media::NativeFormat> PassThroughFormat(SceneRenderer& renderer,
                                                     const SceneFile& scene,
                                                     const FrameRange& range,
                                                     media::VideoFormat format) {
  FootageSource* footage = renderer.bottom_footage();
  if (footage == nullptr) return std::nullopt;
  const media::FootageInfo& info = footage->info();
  const headless::Composition& composition = scene.composition;
  if (info.still || info.alpha || info.rotation != 0 || info.mirrored ||
      info.width != composition.width || info.height != composition.height ||
      !IsFullResolution(scene.options.downsample_x) ||
      !IsFullResolution(scene.options.downsample_y)) {
    return std::nullopt;
  }
  if (!media::CheckNativeFormat(format, info.native)) return std::nullopt;
  std::string why;
  if (!media::CanBlendPatch(info.native.pixel_format, {info.matrix, info.full_range}, why)) {
    return std::nullopt;
  }
  // Where the frame goes, and how opaque it is, must not change over the frames.
  const FootageLayer& layer = footage->layer();
  const double first =
      headless::Seconds(range.first * composition.frame_duration, composition.time_scale);
  const double last =
      headless::Seconds(range.last * composition.frame_duration, composition.time_scale);
  for (const headless::ConstantSpan& span :
       {layer.position.ConstantAround(first), layer.scale.ConstantAround(first),
        layer.opacity.ConstantAround(first)}) {
    if (!span.Covers(first, last)) return std::nullopt;
  }
  if (layer.opacity.At(first) < 100) return std::nullopt;
  const PF_FloatMatrix placement = FootagePlacement(layer, info, composition, scene.options, first);
  const PF_FloatMatrix identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (placement.mat[row][column] != identity.mat[row][column]) return std::nullopt;
    }
  }
  return info.native;
}

FrameJobsOutcome RenderVideoFramesOverFootage(SceneRenderer& renderer, const FrameRange& range,
                                              media::VideoWriter& writer, const FrameDone& done) {
  FrameJobsOutcome outcome;
  FootageSource& footage = *renderer.bottom_footage();
  const media::YcbcrColour colour{footage.info().matrix, footage.info().full_range};
  const headless::Composition& composition = renderer.composition();
  for (A_long frame = range.first; frame <= range.last; ++frame) {
    if (headless::InterruptionRequested()) break;
    std::string problem;
    try {
      media::NativeFrame native = footage.NativeFrameAt(frame, composition);
      if (!native) {
        const headless::OwnedWorld image = renderer.RenderChecked(frame);
        if (const media::FileStatus written = writer.Write(image.world()); !written) {
          problem = written.message;
        }
      } else {
        for (const SceneRenderer::Overlay& overlay : renderer.RenderOverlays(frame)) {
          const media::PatchPlacement placement{overlay.drawn->left, overlay.drawn->top,
                                                overlay.opacity};
          std::string why;
          if (!native.Blend(overlay.drawn->pixels->world(), placement, colour, why)) {
            throw RenderError(why);
          }
        }
        if (const media::FileStatus written = writer.Write(native.frame()); !written) {
          problem = written.message;
        }
      }
    } catch (const std::exception& error) {
      problem = error.what();
    }
    if (!problem.empty()) {
      if (headless::InterruptionRequested()) break;
      outcome.failures.push_back({frame, problem});
      break;
    }
    ++outcome.done;
    if (done) done(frame, "encoded");
  }
  outcome.interrupted = headless::InterruptionRequested() && outcome.done < range.Count();
  return outcome;
}

}  // namespace quorvel::compose
