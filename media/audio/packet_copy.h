// SPDX-License-Identifier: MIT
// Sound copied packet by packet, not re-encoded: the packets that overlap the span, their
// timestamps shifted so that the span's start is the output's 0. Where the container holds
// negative timestamps (.mp4, .mov) that is exact, the part of the first packet before 0 cut by
// the file's edit list; elsewhere (.webm) the first packet starts at 0, up to one packet early.
// The last packet is cut to the span's end.
#pragma once

#include <deque>
#include <memory>

#include "media/audio/audio_input.h"
#include "media/audio/audio_track.h"

namespace quorvel::media {

class PacketCopy final : public AudioTrack {
 public:
  // Null with `status` ok when the source has no packet at the span's start (it starts later,
  // or ends before): nothing has been added to `output` then.
  static std::unique_ptr<PacketCopy> Start(AVFormatContext& output,
                                           std::unique_ptr<AudioInput> input,
                                           const AudioSource& source, FileStatus& status);

  FileStatus WriteUntil(double seconds) override;
  FileStatus Finish() override;

 private:
  PacketCopy(AVFormatContext& output, std::unique_ptr<AudioInput> input, const AudioSource& source);
  // Queues the next packet of the span, if any; false at its end.
  FileStatus ReadNext(bool& queued);
  FileStatus Write(PacketPtr packet);

  AVFormatContext& output_;
  std::unique_ptr<AudioInput> input_;
  std::string source_name_;
  AVStream* stream_ = nullptr;
  int64_t first_ = 0;  // the span in the source's timestamps
  int64_t end_ = 0;
  int64_t shift_ = 0;  // subtracted from each packet's timestamps
  std::deque<PacketPtr> queued_;
  bool ended_ = false;  // the span's packets are all read
};

}  // namespace quorvel::media
