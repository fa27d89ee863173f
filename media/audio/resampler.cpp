// SPDX-License-Identifier: MIT
#if QUORVEL_HAVE_FFMPEG

#include "media/audio/resampler.h"

namespace quorvel::media {

std::unique_ptr<Resampler> Resampler::Make(const AVFrame& sample, const AVChannelLayout& layout,
                                           AVSampleFormat format, int rate) {
  std::unique_ptr<Resampler> resampler(new Resampler);
  // A file that does not say which channels it has gets the usual ones for their number.
  AVChannelLayout source_layout{};
  if (sample.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&source_layout, sample.ch_layout.nb_channels);
  } else if (av_channel_layout_copy(&source_layout, &sample.ch_layout) < 0) {
    return nullptr;
  }
  if (av_channel_layout_copy(&resampler->layout_, &layout) < 0) {
    av_channel_layout_uninit(&source_layout);
    return nullptr;
  }
  SwrContext* context = nullptr;
  // (FFmpeg 5 takes the layouts as pointers to non-const though it only reads them.)
  const int error = swr_alloc_set_opts2(&context, &resampler->layout_, format, rate, &source_layout,
                                        static_cast<AVSampleFormat>(sample.format),
                                        sample.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&source_layout);
  resampler->context_.reset(context);
  if (error < 0 || swr_init(context) < 0) return nullptr;
  resampler->converted_.reset(av_frame_alloc());
  if (!resampler->converted_) return nullptr;
  resampler->format_ = format;
  resampler->rate_ = rate;
  return resampler;
}

int Resampler::Convert(const AVFrame* frame) {
  const int in = frame == nullptr ? 0 : frame->nb_samples;
  const int most = swr_get_out_samples(context_.get(), in);
  if (most < 0) return most;
  AVFrame& out = *converted_;
  if (out.nb_samples < most || out.data[0] == nullptr) {
    av_frame_unref(&out);
    out.format = format_;
    out.sample_rate = rate_;
    out.nb_samples = most;
    if (int error = av_channel_layout_copy(&out.ch_layout, &layout_); error < 0) return error;
    if (int error = av_frame_get_buffer(&out, 0); error < 0) return error;
  }
  const int made = swr_convert(
      context_.get(), out.extended_data, most,
      frame == nullptr ? nullptr : const_cast<const uint8_t**>(frame->extended_data), in);
  return made;
}

}  // namespace quorvel::media

#endif
