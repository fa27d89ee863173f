// SPDX-License-Identifier: MIT
// A video's sound: one audio stream added to the video's file before its header is written and
// written beside its frames, the muxer interleaving the two. The source's packets are copied
// where the container takes their codec (AAC into .mp4 and .mov, Opus or Vorbis into .webm) and
// the source has sound at the output's first instant; otherwise the sound is decoded, resampled
// and encoded (AAC; Opus at 48 kHz in .webm), silent wherever the source has none.
#pragma once

#include <memory>

#include "media/audio/audio_source.h"
#include "media/common/ffmpeg_handles.h"
#include "media/image/file_output.h"

namespace quorvel::media {

class AudioTrack {
 public:
  // Adds the source's sound to `output` as a stream of its own; null and the reason (naming the
  // source) otherwise.
  static std::unique_ptr<AudioTrack> Add(AVFormatContext& output, const AudioSource& source,
                                         FileStatus& status);
  virtual ~AudioTrack() = default;

  // Writes the sound that plays before `seconds` into the output.
  virtual FileStatus WriteUntil(double seconds) = 0;
  // Writes the rest, to the end of the span.
  virtual FileStatus Finish() = 0;
};

}  // namespace quorvel::media
