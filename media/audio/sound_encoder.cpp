// SPDX-License-Identifier: MIT
#if QUORVEL_HAVE_FFMPEG

#include "media/audio/sound_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "headless/common/interruption.h"
#include "media/common/ffmpeg_error.h"

namespace quorvel::media {
namespace {

// Decoding starts this long before the span, so that decoders that build on earlier packets
// (MP3's bit reservoir, Opus) are settled when it begins; earlier packets are only read.
constexpr double kDecodeLeadSeconds = 0.5;
constexpr int kAacBitsPerSecondPerChannel = 96000;
constexpr int kOpusBitsPerSecondPerChannel = 64000;
constexpr int kOpusRate = 48000;

int AacRateFor(const AVCodec& encoder, int source_rate) {
  if (encoder.supported_samplerates == nullptr) return source_rate;
  for (const int* rate = encoder.supported_samplerates; *rate != 0; ++rate) {
    if (*rate == source_rate) return source_rate;
  }
  return 48000;
}

AVSampleFormat SampleFormatFor(const AVCodec& encoder) {
  if (encoder.sample_fmts == nullptr) return AV_SAMPLE_FMT_FLTP;
  for (const AVSampleFormat* format = encoder.sample_fmts; *format != AV_SAMPLE_FMT_NONE;
       ++format) {
    if (*format == AV_SAMPLE_FMT_FLTP || *format == AV_SAMPLE_FMT_FLT) return *format;
  }
  return encoder.sample_fmts[0];
}

}  // namespace

SoundEncoder::SoundEncoder(AVFormatContext& output, std::unique_ptr<AudioInput> input,
                           const AudioSource& source)
    : output_(output),
      input_(std::move(input)),
      source_name_("'" + source.path.string() + "'"),
      from_(source.start + source.offset),
      length_(source.end - source.start) {}

std::unique_ptr<SoundEncoder> SoundEncoder::Start(AVFormatContext& output,
                                                  std::unique_ptr<AudioInput> input,
                                                  const AudioSource& source, FileStatus& status) {
  std::unique_ptr<SoundEncoder> encoder(new SoundEncoder(output, std::move(input), source));
  const bool webm = std::strcmp(output.oformat->name, "webm") == 0;
  status = encoder->OpenDecoder();
  if (status) status = encoder->OpenEncoder(webm ? "libopus" : "aac");
  if (!status) return nullptr;
  return encoder;
}

FileStatus SoundEncoder::OpenDecoder() {
  const AVCodecParameters& parameters = input_->parameters();
  const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
  decoder_.reset(avcodec_alloc_context3(codec));
  read_.reset(av_packet_alloc());
  written_.reset(av_packet_alloc());
  decoded_.reset(av_frame_alloc());
  encoded_.reset(av_frame_alloc());
  if (!decoder_ || !read_ || !written_ || !decoded_ || !encoded_) {
    return FileStatus::Failure("out of memory");
  }
  int error = avcodec_parameters_to_context(decoder_.get(), &parameters);
  if (error >= 0) {
    decoder_->pkt_timebase = input_->time_base();
    error = avcodec_open2(decoder_.get(), codec, nullptr);
  }
  if (error < 0) {
    return FileStatus::Failure("cannot decode the sound of " + source_name_ + ": " +
                               FfmpegErrorText(error));
  }
  decode_from_ = input_->TimestampAt(from_ - kDecodeLeadSeconds);
  return {};
}

FileStatus SoundEncoder::OpenEncoder(const char* name) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (codec == nullptr) {
    return FileStatus::Failure(std::string("this FFmpeg has no ") + name + " encoder");
  }
  encoder_.reset(avcodec_alloc_context3(codec));
  if (!encoder_) return FileStatus::Failure("out of memory");
  AVCodecContext& encoder = *encoder_;
  const bool opus = codec->id == AV_CODEC_ID_OPUS;
  const int channels = input_->parameters().ch_layout.nb_channels == 1 ? 1 : 2;
  av_channel_layout_default(&encoder.ch_layout, channels);
  encoder.sample_rate = opus ? kOpusRate : AacRateFor(*codec, input_->parameters().sample_rate);
  encoder.sample_fmt = SampleFormatFor(*codec);
  encoder.bit_rate =
      int64_t{opus ? kOpusBitsPerSecondPerChannel : kAacBitsPerSecondPerChannel} * channels;
  encoder.time_base = {1, encoder.sample_rate};
  if ((output_.oformat->flags & AVFMT_GLOBALHEADER) != 0) {
    encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  int error = avcodec_open2(&encoder, codec, nullptr);
  if (error < 0) {
    return FileStatus::Failure(std::string("the ") + name +
                               " encoder cannot start: " + FfmpegErrorText(error));
  }
  stream_ = avformat_new_stream(&output_, nullptr);
  if (stream_ == nullptr) return FileStatus::Failure("out of memory");
  error = avcodec_parameters_from_context(stream_->codecpar, &encoder);
  if (error < 0) return FileStatus::Failure(FfmpegErrorText(error));
  stream_->time_base = encoder.time_base;
  waiting_.reset(
      av_audio_fifo_alloc(encoder.sample_fmt, channels, std::max(encoder.frame_size, 1024)));
  if (!waiting_) return FileStatus::Failure("out of memory");
  total_ = std::llround(length_ * encoder.sample_rate);
  // The encoder's first packet starts before 0 by the samples its decoder drops. A container
  // that holds negative times cuts them with an edit list; WebM instead names them beside the
  // track (its codec delay) and wants the packet at 0: earlier, every stream would be moved.
  if ((output_.oformat->flags & AVFMT_TS_NEGATIVE) == 0) packet_delay_ = encoder.initial_padding;
  return {};
}

FileStatus SoundEncoder::ReadFailure(int error) const {
  return FileStatus::Failure("cannot read the sound of " + source_name_ + ": " +
                             FfmpegErrorText(error));
}

FileStatus SoundEncoder::Fill(int64_t samples) {
  while (queued_ < samples && !source_ended_) {
    if (headless::InterruptionRequested()) return FileStatus::Failure("interrupted");
    const int error = input_->Read(*read_);
    if (error == AVERROR_EOF) {
      source_ended_ = true;
      if (FileStatus drained = Decode(nullptr); !drained) return drained;
      if (FileStatus flushed = Place(nullptr); !flushed) return flushed;
      break;
    }
    if (error < 0) return ReadFailure(error);
    FileStatus decoded;
    if (read_->pts + read_->duration >= decode_from_) decoded = Decode(read_.get());
    av_packet_unref(read_.get());
    if (!decoded) return decoded;
  }
  if (source_ended_ && queued_ < samples) return QueueSilence(samples - queued_);
  return {};
}

FileStatus SoundEncoder::Decode(const AVPacket* packet) {
  int error = avcodec_send_packet(decoder_.get(), packet);
  // A damaged packet is passed over, as players do; FFmpeg warns of it.
  if (error == AVERROR_INVALIDDATA) return {};
  if (error < 0 && error != AVERROR_EOF) return ReadFailure(error);
  while (true) {
    error = avcodec_receive_frame(decoder_.get(), decoded_.get());
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return {};
    if (error == AVERROR_INVALIDDATA) continue;
    if (error < 0) return ReadFailure(error);
    FileStatus placed = Place(decoded_.get());
    av_frame_unref(decoded_.get());
    if (!placed) return placed;
  }
}

FileStatus SoundEncoder::Place(const AVFrame* decoded) {
  if (!resampler_) {
    if (decoded == nullptr) return {};  // nothing was decoded: the source has no sound here
    resampler_ =
        Resampler::Make(*decoded, encoder_->ch_layout, encoder_->sample_fmt, encoder_->sample_rate);
    if (!resampler_) return FileStatus::Failure("cannot convert the sound of " + source_name_);
    int64_t timestamp = decoded->best_effort_timestamp;
    if (timestamp == AV_NOPTS_VALUE) timestamp = decoded->pts;
    if (timestamp == AV_NOPTS_VALUE) timestamp = input_->TimestampAt(0);
    // Where the source's sound starts on the output's timeline; decoded sound is taken to run
    // on without gaps from there.
    const int64_t lead =
        std::llround((input_->SecondsAt(timestamp) - from_) * encoder_->sample_rate);
    if (lead > 0) {
      if (FileStatus silence = QueueSilence(lead); !silence) return silence;
    } else {
      to_drop_ = -lead;
    }
  }
  const int made = resampler_->Convert(decoded);
  if (made < 0) {
    return FileStatus::Failure("cannot convert the sound of " + source_name_ + ": " +
                               FfmpegErrorText(made));
  }
  const int dropped = static_cast<int>(std::min<int64_t>(to_drop_, made));
  to_drop_ -= dropped;
  return Queue(resampler_->converted(), dropped, made - dropped);
}

FileStatus SoundEncoder::Queue(const AVFrame& samples, int offset, int count) {
  const int taken = static_cast<int>(std::min<int64_t>(count, total_ - queued_));
  if (taken <= 0) return {};
  const int channels = encoder_->ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(encoder_->sample_fmt) != 0;
  const int step = av_get_bytes_per_sample(encoder_->sample_fmt) * (planar ? 1 : channels);
  uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
  for (int plane = 0; plane < (planar ? channels : 1); ++plane) {
    planes[plane] = samples.extended_data[plane] + static_cast<ptrdiff_t>(offset) * step;
  }
  if (av_audio_fifo_write(waiting_.get(), reinterpret_cast<void**>(planes), taken) < taken) {
    return FileStatus::Failure("out of memory");
  }
  queued_ += taken;
  return {};
}

FileStatus SoundEncoder::QueueSilence(int64_t count) {
  count = std::min(count, total_ - queued_);
  if (count <= 0) return {};
  FramePtr silence(av_frame_alloc());
  if (!silence) return FileStatus::Failure("out of memory");
  silence->format = encoder_->sample_fmt;
  silence->sample_rate = encoder_->sample_rate;
  silence->nb_samples = static_cast<int>(std::min<int64_t>(count, 1 << 16));
  if (av_channel_layout_copy(&silence->ch_layout, &encoder_->ch_layout) < 0 ||
      av_frame_get_buffer(silence.get(), 0) < 0) {
    return FileStatus::Failure("out of memory");
  }
  av_samples_set_silence(silence->extended_data, 0, silence->nb_samples,
                         encoder_->ch_layout.nb_channels, encoder_->sample_fmt);
  while (count > 0) {
    const int piece = static_cast<int>(std::min<int64_t>(count, silence->nb_samples));
    if (FileStatus queued = Queue(*silence, 0, piece); !queued) return queued;
    count -= piece;
  }
  return {};
}

FileStatus SoundEncoder::EncodeWaiting(bool last) {
  const int frame_size = encoder_->frame_size > 0 ? encoder_->frame_size : 1024;
  while (true) {
    const int size = av_audio_fifo_size(waiting_.get());
    if (size == 0 || (size < frame_size && !last)) break;
    // A frame of its own each time: the encoder may keep a reference to the last one.
    av_frame_unref(encoded_.get());
    AVFrame& frame = *encoded_;
    frame.format = encoder_->sample_fmt;
    frame.sample_rate = encoder_->sample_rate;
    frame.nb_samples = std::min(size, frame_size);
    if (av_channel_layout_copy(&frame.ch_layout, &encoder_->ch_layout) < 0 ||
        av_frame_get_buffer(&frame, 0) < 0) {
      return FileStatus::Failure("out of memory");
    }
    av_audio_fifo_read(waiting_.get(), reinterpret_cast<void**>(frame.extended_data),
                       frame.nb_samples);
    frame.pts = sent_;
    sent_ += frame.nb_samples;
    if (FileStatus sent = Send(&frame); !sent) return sent;
  }
  return last ? Send(nullptr) : FileStatus{};
}

FileStatus SoundEncoder::Send(const AVFrame* frame) {
  int error = avcodec_send_frame(encoder_.get(), frame);
  if (error < 0)
    return FileStatus::Failure("the sound's encoder failed: " + FfmpegErrorText(error));
  while (true) {
    error = avcodec_receive_packet(encoder_.get(), written_.get());
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return {};
    if (error < 0) {
      return FileStatus::Failure("the sound's encoder failed: " + FfmpegErrorText(error));
    }
    written_->pts += packet_delay_;
    written_->dts += packet_delay_;
    av_packet_rescale_ts(written_.get(), encoder_->time_base, stream_->time_base);
    written_->stream_index = stream_->index;
    error = av_interleaved_write_frame(&output_, written_.get());
    if (error < 0) return FileStatus::Failure(FfmpegErrorText(error));
  }
}

FileStatus SoundEncoder::WriteUntil(double seconds) {
  const int64_t wanted =
      seconds >= length_ ? total_
                         : std::min(total_, static_cast<int64_t>(std::ceil(std::max(seconds, 0.0) *
                                                                           encoder_->sample_rate)));
  if (FileStatus filled = Fill(wanted); !filled) return filled;
  return EncodeWaiting(false);
}

FileStatus SoundEncoder::Finish() {
  if (FileStatus filled = Fill(total_); !filled) return filled;
  return EncodeWaiting(true);
}

}  // namespace quorvel::media

#endif
