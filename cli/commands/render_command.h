// SPDX-License-Identifier: MIT
// quorvel-render render: one frame, or a range of frames to numbered files on several threads.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/progress.h"
#include "compose/render/frame_output.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"

namespace quorvel::cli {

// Returns the exit code; throws CliError, SceneError or ModuleError for what stops it before
// any frame is rendered.
int RunRender(const Invocation& invocation, Console& console);

// What renders without --frame or --frames: a video is always the whole composition; images
// are frame 0 (render) or every frame (captions).
enum class FramesByDefault { kFirst, kAll };

// With --over, puts the footage under the scene and gives the composition its size, rate and
// length, telling of a scene laid out anew for another frame size.
void PutOver(const Invocation& invocation, compose::SceneFile& scene, Console& console);

// A video's settings (the scene's, with the invocation's format options) and its file, checked:
// what the format cannot take is a UsageError or CliError before any work. A note for an H.264
// video over a background that is not opaque goes to `progress`.
struct VideoPlan {
  media::VideoSettings settings;
  media::OutputTarget target;
};
VideoPlan PlanVideo(const Invocation& invocation, const compose::SceneFile& scene_file,
                    media::VideoFormat format, const std::filesystem::path& path,
                    Progress& progress);

// The planned video of the scene's frames written as render writes it (sound, footage passed
// through), each frame told to `done` and FFmpeg's warnings to `progress`. The file is in place
// only when the outcome has no failure and no stop. Throws CliError for a file that cannot be
// written, SceneError for a scene the module refuses.
compose::FrameJobsOutcome WriteVideo(const Invocation& invocation, VideoPlan plan,
                                     const std::shared_ptr<const headless::Module>& module,
                                     const compose::SceneFile& scene_file,
                                     const compose::FrameRange& range, Progress& progress,
                                     const compose::FrameDone& done);

// Renders a scene already read, to the invocation's output, as render does.
int RenderScene(const Invocation& invocation, const compose::SceneFile& scene_file,
                FramesByDefault frames, Console& console);

}  // namespace quorvel::cli
