// SPDX-License-Identifier: MIT
// The best audio stream of a media file, read packet by packet, its timestamps told in seconds
// of source time (audio_source.h).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "media/common/ffmpeg_handles.h"

namespace quorvel::media {

class AudioInput {
 public:
  enum class Failure { kNone, kUnreadable, kNoAudio };
  // Opens the file and its best audio stream; null otherwise, with why (a phrase that does not
  // name the file) and which failure it was.
  static std::unique_ptr<AudioInput> Open(const std::filesystem::path& path, std::string& why,
                                          Failure& failure);

  const AVCodecParameters& parameters() const { return *stream_->codecpar; }
  AVRational time_base() const { return stream_->time_base; }
  // Source seconds of one of the stream's timestamps, and the timestamp nearest a time.
  double SecondsAt(int64_t timestamp) const;
  int64_t TimestampAt(double seconds) const;
  // The stream's next packet, with its timestamps and a duration filled in where the file left
  // them out: 0, AVERROR_EOF at the end, or FFmpeg's error.
  int Read(AVPacket& packet);

 private:
  AudioInput() = default;
  InputContextPtr input_;
  const AVStream* stream_ = nullptr;
  int64_t origin_ = 0;  // the timestamp of source time 0
  int64_t next_timestamp_ = AV_NOPTS_VALUE;
};

}  // namespace quorvel::media
