// SPDX-License-Identifier: MIT
// Videos over footage made from the footage's own decoded frames: the layers above are laid
// into the frames' Y'CbCr planes where they cover, and the frames go to the encoder as they
// are, never converted to RGB and back. Y'CbCr is a linear transform of R'G'B', so this gives
// what compositing in RGB gives, up to rounding (half a code value) and the frame's own chroma
// subsampling.
#pragma once

#include <optional>

#include "compose/render/frame_jobs.h"
#include "compose/render/frame_output.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/frame_range.h"
#include "media/common/native_format.h"
#include "media/video/video_output.h"

namespace quorvel::compose {

// The decoded frames' format when the scene's video of these frames can be made from them: its
// bottom layer is footage, the others text; that footage fills the frame as it is (the
// composition's size at full resolution, not moved or scaled, at full opacity throughout the
// frames), upright and opaque; and the video takes frames of its format as they are. None
// otherwise: the frames are then composited in RGB.
std::optional<media::NativeFormat> PassThroughFormat(SceneRenderer& renderer,
                                                     const SceneFile& scene,
                                                     const FrameRange& range,
                                                     media::VideoFormat format);

// Renders the frames to a writer opened with that format, in order on the calling thread (the
// decoder and the encoder work on threads of their own): each frame the footage's, the layers
// above laid into its planes. A frame the footage does not show (past its end) is composited
// as RenderChecked composites it.
FrameJobsOutcome RenderVideoFramesOverFootage(SceneRenderer& renderer, const FrameRange& range,
                                              media::VideoWriter& writer, const FrameDone& done);

}  // namespace quorvel::compose
