// SPDX-License-Identifier: MIT
// The frame loop: a scene's frames rendered on several threads and written, as numbered PNG
// images or, in order, to a video.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "compose/render/frame_jobs.h"
#include "compose/render/output_pattern.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/frame_range.h"
#include "compose/scene/scene_file.h"
#include "media/video/video_output.h"

namespace quorvel::compose {

// Told of each frame done and what became of it (the file written, "encoded"); called from the
// jobs' threads.
using FrameDone = std::function<void(A_long frame, const std::string& detail)>;

// Renders one frame and writes it to `path` as a PNG over the background. Returns what went
// wrong, "interrupted" after a stop (nothing is written then), or an empty string. Safe to call
// from several threads at once.
std::string RenderFrameToPng(SceneRenderer& renderer, A_long frame,
                             const std::filesystem::path& path, const PF_Pixel& background);

// Each frame of the range to its file of the pattern, over the background, on `jobs` threads.
FrameJobsOutcome RenderImageFrames(SceneRenderer& renderer, const FrameRange& range,
                                   const OutputPattern& output, const PF_Pixel& background,
                                   int jobs, const FrameDone& done);

// The frames of the range to the writer, rendered on `jobs` threads and handed over in order.
// The writer is not finished here: after a failure or a stop it is dropped, leaving no file.
FrameJobsOutcome RenderVideoFrames(SceneRenderer& renderer, const FrameRange& range,
                                   media::VideoWriter& writer, int jobs, const FrameDone& done);

// A video of the scene's composition in that format: its size at the scene's downsampling,
// its exact frame rate and its background.
media::VideoSettings VideoSettingsFor(const SceneFile& scene, media::VideoFormat format);

}  // namespace quorvel::compose
