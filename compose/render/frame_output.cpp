// SPDX-License-Identifier: MIT
#include "compose/render/frame_output.h"

#include "headless/common/interruption.h"
#include "headless/composition/frame_render.h"
#include "media/image/png_output.h"

namespace quorvel::compose {

std::string RenderFrameToPng(SceneRenderer& renderer, A_long frame,
                             const std::filesystem::path& path, const PF_Pixel& background) {
  const headless::OwnedWorld image = renderer.RenderChecked(frame);
  if (headless::InterruptionRequested()) return "interrupted";  // discarded, not written
  // Over the background: an opaque one gives an opaque image, a transparent one leaves the
  // frame's own alpha (straight in the file).
  const media::FileStatus written = media::WritePng(image.world(), path, background);
  if (written) return {};
  return written.message.empty() ? "cannot write " + path.string() : written.message;
}

FrameJobsOutcome RenderImageFrames(SceneRenderer& renderer, const FrameRange& range,
                                   const OutputPattern& output, const PF_Pixel& background,
                                   int jobs, const FrameDone& done) {
  return RunFrameJobs(range, jobs, [&](A_long frame) {
    const std::filesystem::path path = output.ForFrame(frame);
    if (std::string problem = RenderFrameToPng(renderer, frame, path, background);
        !problem.empty()) {
      return problem;
    }
    if (done) done(frame, path.string());
    return std::string();
  });
}

FrameJobsOutcome RenderVideoFrames(SceneRenderer& renderer, const FrameRange& range,
                                   media::VideoWriter& writer, int jobs, const FrameDone& done) {
  FrameOrder order(range.first);
  return RunFrameJobs(range, jobs, [&](A_long frame) {
    FrameTurn turn(order, frame);
    const headless::OwnedWorld image = renderer.RenderChecked(frame);
    if (!turn.Wait()) throw FrameSkipped{};
    const media::FileStatus written = writer.Write(image.world());
    if (!written) return written.message;
    turn.Passed();
    if (done) done(frame, "encoded");
    return std::string();
  });
}

media::VideoSettings VideoSettingsFor(const SceneFile& scene, media::VideoFormat format) {
  const headless::Composition& composition = scene.composition;
  media::VideoSettings settings;
  settings.format = format;
  settings.width = headless::DownsampledSize(composition.width, scene.options.downsample_x);
  settings.height = headless::DownsampledSize(composition.height, scene.options.downsample_y);
  settings.time_scale = composition.time_scale;
  settings.frame_duration = composition.frame_duration;
  settings.background = composition.background;
  return settings;
}

}  // namespace quorvel::compose
