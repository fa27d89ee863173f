// SPDX-License-Identifier: MIT
// The frame sizes each video format takes, to be checked before any frame is rendered: beyond
// them an encoder fails only after the work (ProRes 4444's packet size overflows an int from
// about 11420x11420) or takes gigabytes first, and H.264 in 4:2:0 takes even sizes alone.
#pragma once

#include "hostapi/host_api.h"
#include "media/image/file_output.h"
#include "media/video/video_output.h"

namespace quorvel::media {

// Whether `format` holds frames of width x height; the failure says its limits, which are
//   ProRes       at most 67,108,864 pixels (8192x8192); 422 HQ, whose frames are smaller,
//                is held to 4444's limit;
//   VP9          at most 16384 pixels a side and 35,651,584 pixels (8192x4352), level 6.2;
//   H.264        at most 8192 pixels a side and 139,264 macroblocks of 16x16 (8192x4352),
//                level 6.2, in an even width and height (its colour has half the resolution),
//                the nearest even size named.
// Each was encoded once at its limit by this writer (422 HQ aside).
FileStatus CheckVideoSize(VideoFormat format, A_long width, A_long height);

}  // namespace quorvel::media
