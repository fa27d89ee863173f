// SPDX-License-Identifier: MIT
// The encoder settings users choose, checked before any frame is rendered:
//   crf     constant rate factor: lower is better and larger.
//             H.264 (.mp4)  0 (lossless) to 51, default 18;
//             VP9 (.webm)   0 to 63, default 24.
//   preset  speed traded for size at that quality.
//             H.264  x264's presets: ultrafast, superfast, veryfast (default), faster, fast,
//                    medium, slow, slower, veryslow, placebo;
//             VP9    the same names but placebo, each one of libvpx's cpu-used: ultrafast 8,
//                    superfast 7, veryfast 6, faster 5, fast 4 (default), medium 3, slow 2,
//                    slower 1, veryslow 0; or that number itself, 0 to 8.
// ProRes takes neither: its quality is its profile, 4444 (with alpha) or 422 HQ (opaque: for
// compositions over an opaque background).
#pragma once

#include <optional>
#include <string>

#include "hostapi/host_api.h"
#include "media/image/file_output.h"
#include "media/video/video_output.h"

namespace quorvel::media {

// Whether `format` takes the crf and preset (unset: its defaults); the failure lists what it
// takes.
FileStatus CheckEncoderSettings(VideoFormat format, const std::optional<int>& crf,
                                const std::optional<std::string>& preset);

// Whether `format` can show the background: ProRes 422 HQ has no alpha and refuses one that is
// not opaque (the frames' own transparency would be lost as well).
FileStatus CheckVideoBackground(VideoFormat format, const PF_Pixel& background);

// What the encoder is given, from settings that passed CheckEncoderSettings.
int CrfFor(VideoFormat format, const std::optional<int>& crf);
std::string X264PresetFor(const std::optional<std::string>& preset);
int Vp9CpuUsedFor(const std::optional<std::string>& preset);

}  // namespace quorvel::media
