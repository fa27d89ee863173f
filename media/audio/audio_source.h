// SPDX-License-Identifier: MIT
// Sound for a video: the best audio stream of a media file, laid on the composition's clock and
// trimmed to the frames the video holds.
#pragma once

#include <filesystem>

#include "media/image/file_output.h"

namespace quorvel::media {

// Times are in seconds. Source time 0 is the file's start: its first timestamp when that is
// past zero (a transport stream's clock), zero otherwise. The sound is copied or encoded as
// media/audio/audio_track.h says; where the source has none, before it starts, the output is
// silent (and encoded: copied packets cannot start late), and after it ends, encoded sound is
// silent to the last frame while copied sound stops with the source.
struct AudioSource {
  std::filesystem::path path;
  // Composition time t plays source time t + offset: a footage layer whose in point is 2 s has
  // offset 2; footage that starts 0.5 s into the composition has offset -0.5.
  double offset = 0;
  // The composition time the video covers, from its first frame's time to its last frame's
  // end: frames 30 to 59 at 30 fps cover [1, 2). The sound starts with the first frame.
  double start = 0;
  double end = 0;
};

// What ProbeAudio finds: a file without an audio stream is fine (its video has no sound); one
// that cannot be read is a failure naming it.
struct AudioProbe {
  FileStatus status;
  bool has_audio = false;
};

// Whether the file has sound a video can carry (an audio stream that FFmpeg decodes).
AudioProbe ProbeAudio(const std::filesystem::path& path);

}  // namespace quorvel::media
