// SPDX-License-Identifier: MIT
// Decoded sound converted to an encoder's sample format, rate and channels through
// libswresample; more than two channels are mixed down to stereo.
#pragma once

#include "media/common/ffmpeg_handles.h"

namespace quorvel::media {

class Resampler {
 public:
  // Null when libswresample cannot convert between the two.
  static std::unique_ptr<Resampler> Make(const AVFrame& sample, const AVChannelLayout& layout,
                                         AVSampleFormat format, int rate);
  ~Resampler() { av_channel_layout_uninit(&layout_); }
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // Converts `frame` (null: what the resampler still holds at the end) into converted(); the
  // number of samples made, or FFmpeg's error.
  int Convert(const AVFrame* frame);
  const AVFrame& converted() const { return *converted_; }

 private:
  Resampler() = default;
  ResamplePtr context_;
  FramePtr converted_;
  AVChannelLayout layout_{};
  AVSampleFormat format_ = AV_SAMPLE_FMT_NONE;
  int rate_ = 0;
};

}  // namespace quorvel::media
