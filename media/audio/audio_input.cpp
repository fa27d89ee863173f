// SPDX-License-Identifier: MIT
#include "media/audio/audio_source.h"
#include "media/video/ffmpeg_messages.h"

#if QUORVEL_HAVE_FFMPEG

#include <cmath>

#include "media/audio/audio_input.h"
#include "media/common/ffmpeg_error.h"

namespace quorvel::media {

std::unique_ptr<AudioInput> AudioInput::Open(const std::filesystem::path& path, std::string& why,
                                             Failure& failure) {
  failure = Failure::kUnreadable;
  std::unique_ptr<AudioInput> input(new AudioInput);
  InstallFfmpegMessages();
  AVFormatContext* opened = nullptr;
  int error = avformat_open_input(&opened, path.string().c_str(), nullptr, nullptr);
  if (error < 0) {
    why = FfmpegErrorText(error);
    return nullptr;
  }
  input->input_.reset(opened);
  error = avformat_find_stream_info(opened, nullptr);
  if (error < 0) {
    why = FfmpegErrorText(error);
    return nullptr;
  }
  const AVCodec* decoder = nullptr;
  const int index = av_find_best_stream(opened, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (index == AVERROR_STREAM_NOT_FOUND) {
    failure = Failure::kNoAudio;
    why = "it has no sound";
    return nullptr;
  }
  if (index < 0 || decoder == nullptr) {
    why =
        "FFmpeg cannot decode its sound (" +
        std::string(avcodec_get_name(opened->streams[index < 0 ? 0 : index]->codecpar->codec_id)) +
        ")";
    return nullptr;
  }
  input->stream_ = opened->streams[index];
  const AVCodecParameters& parameters = *input->stream_->codecpar;
  if (parameters.sample_rate <= 0 || parameters.ch_layout.nb_channels <= 0) {
    why = "its sound has no sample rate or no channels";
    return nullptr;
  }
  if (opened->start_time != AV_NOPTS_VALUE && opened->start_time > 0) {
    input->origin_ =
        av_rescale_q(opened->start_time, AVRational{1, AV_TIME_BASE}, input->stream_->time_base);
  }
  failure = Failure::kNone;
  return input;
}

double AudioInput::SecondsAt(int64_t timestamp) const {
  return static_cast<double>(timestamp - origin_) * av_q2d(stream_->time_base);
}

int64_t AudioInput::TimestampAt(double seconds) const {
  return origin_ + std::llround(seconds / av_q2d(stream_->time_base));
}

int AudioInput::Read(AVPacket& packet) {
  while (true) {
    const int error = av_read_frame(input_.get(), &packet);
    if (error < 0) return error;
    if (packet.stream_index != stream_->index) {
      av_packet_unref(&packet);
      continue;
    }
    // Audio packets follow each other: one without a time starts where the last one ended.
    if (packet.pts == AV_NOPTS_VALUE) packet.pts = packet.dts;
    if (packet.pts == AV_NOPTS_VALUE) packet.pts = next_timestamp_;
    if (packet.pts == AV_NOPTS_VALUE) packet.pts = origin_;
    if (packet.dts == AV_NOPTS_VALUE) packet.dts = packet.pts;
    if (packet.duration <= 0 && stream_->codecpar->frame_size > 0) {
      packet.duration =
          av_rescale_q(stream_->codecpar->frame_size, AVRational{1, stream_->codecpar->sample_rate},
                       stream_->time_base);
    }
    next_timestamp_ = packet.pts + packet.duration;
    return 0;
  }
}

AudioProbe ProbeAudio(const std::filesystem::path& path) {
  std::string why;
  AudioInput::Failure failure = AudioInput::Failure::kNone;
  const std::unique_ptr<AudioInput> input = AudioInput::Open(path, why, failure);
  AudioProbe probe;
  probe.has_audio = input != nullptr;
  if (failure == AudioInput::Failure::kUnreadable) {
    probe.status = FileStatus::Failure("cannot read the sound of '" + path.string() + "': " + why);
  }
  return probe;
}

}  // namespace quorvel::media

#else

namespace quorvel::media {

AudioProbe ProbeAudio(const std::filesystem::path& path) {
  return {FileStatus::Failure("cannot read the sound of '" + path.string() +
                              "': this build has no FFmpeg libraries"),
          false};
}

}  // namespace quorvel::media

#endif
