// SPDX-License-Identifier: MIT
// A long render split by a fixed rule into consecutive runs of frames, one per task of an array
// job, each rendered into its own file and joined afterwards (media/video/video_join.h).
#pragma once

#include "compose/scene/frame_range.h"

namespace quorvel::batch {

// The `index`-th (from 1) of `count` consecutive runs of `frames`, as even as whole frames
// allow: run k (from 0) starts at frame first + floor(k * n / count) of the n frames, and ends
// where the next starts, so the runs cover every frame once and differ by one frame at most.
// Needs 1 <= index <= count <= n.
compose::FrameRange SegmentOf(const compose::FrameRange& frames, int index, int count);

}  // namespace quorvel::batch
