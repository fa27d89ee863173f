// SPDX-License-Identifier: MIT
// quorvel-render render: one frame, or a range of frames to numbered files on several threads.
#pragma once

#include <filesystem>
#include <string>

#include "cli/arguments.h"
#include "cli/console.h"
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

// Renders a scene already read, to the invocation's output, as render does.
int RenderScene(const Invocation& invocation, const compose::SceneFile& scene_file,
                FramesByDefault frames, Console& console);

}  // namespace quorvel::cli
