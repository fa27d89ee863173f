// SPDX-License-Identifier: MIT
// Sound decoded, resampled and encoded anew, sample-exactly to the span: output sample n plays
// source time (start + offset) + n / rate. Where the source has no sound (before it starts,
// after it ends) the output is silent, so that the sound lasts as long as the video. AAC at the
// source's rate (48 kHz when AAC has no such rate) in .mp4 and .mov; Opus at 48 kHz in .webm.
// One or two channels are kept; more are mixed down to stereo.
#pragma once

#include <memory>
#include <string>

#include "media/audio/audio_input.h"
#include "media/audio/audio_track.h"
#include "media/audio/resampler.h"

namespace quorvel::media {

class SoundEncoder final : public AudioTrack {
 public:
  static std::unique_ptr<SoundEncoder> Start(AVFormatContext& output,
                                             std::unique_ptr<AudioInput> input,
                                             const AudioSource& source, FileStatus& status);

  FileStatus WriteUntil(double seconds) override;
  FileStatus Finish() override;

 private:
  SoundEncoder(AVFormatContext& output, std::unique_ptr<AudioInput> input,
               const AudioSource& source);
  FileStatus OpenDecoder();
  FileStatus OpenEncoder(const char* name);
  // Decodes until the output's first `samples` are waiting (or the source has ended).
  FileStatus Fill(int64_t samples);
  FileStatus Decode(const AVPacket* packet);
  // Lays converted samples on the output's timeline: the first frame finds where the source
  // starts; samples before the span are dropped, those past it never taken.
  FileStatus Place(const AVFrame* decoded);
  FileStatus Queue(const AVFrame& samples, int offset, int count);
  FileStatus QueueSilence(int64_t count);
  // Encodes what is waiting in whole encoder frames (and, at the end, the rest).
  FileStatus EncodeWaiting(bool last);
  FileStatus Send(const AVFrame* frame);
  FileStatus ReadFailure(int error) const;

  AVFormatContext& output_;
  std::unique_ptr<AudioInput> input_;
  std::string source_name_;
  double from_ = 0;  // the source time at the output's 0
  double length_ = 0;
  AVStream* stream_ = nullptr;
  CodecContextPtr decoder_;
  CodecContextPtr encoder_;
  std::unique_ptr<Resampler> resampler_;
  AudioFifoPtr waiting_;  // converted samples not yet encoded
  PacketPtr read_;        // a packet of the source
  PacketPtr written_;     // a packet of the output
  FramePtr decoded_;
  FramePtr encoded_;          // a frame of samples handed to the encoder
  int64_t total_ = 0;         // samples in the output
  int64_t queued_ = 0;        // samples placed so far (waiting or encoded)
  int64_t sent_ = 0;          // samples handed to the encoder
  int64_t to_drop_ = 0;       // converted samples still to drop (before the span)
  int64_t decode_from_ = 0;   // packets that end before it are not decoded
  int64_t packet_delay_ = 0;  // added to the encoder's timestamps
  bool source_ended_ = false;
};

}  // namespace quorvel::media
