// SPDX-License-Identifier: MIT
#if QUORVEL_HAVE_FFMPEG

#include "media/audio/packet_copy.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

#include <limits>
#include <utility>

#include "headless/common/interruption.h"
#include "media/common/ffmpeg_error.h"

namespace quorvel::media {
namespace {

PacketPtr NewPacket() {
  return PacketPtr(av_packet_alloc());
}

bool EndsAfter(const AVPacket& packet, int64_t timestamp) {
  // A packet of unknown length is taken to reach the next one.
  return packet.duration <= 0 || packet.pts + packet.duration > timestamp;
}

}  // namespace

PacketCopy::PacketCopy(AVFormatContext& output, std::unique_ptr<AudioInput> input,
                       const AudioSource& source)
    : output_(output),
      input_(std::move(input)),
      source_name_("'" + source.path.string() + "'"),
      first_(input_->TimestampAt(source.start + source.offset)),
      end_(input_->TimestampAt(source.end + source.offset)) {}

std::unique_ptr<PacketCopy> PacketCopy::Start(AVFormatContext& output,
                                              std::unique_ptr<AudioInput> input,
                                              const AudioSource& source, FileStatus& status) {
  std::unique_ptr<PacketCopy> copy(new PacketCopy(output, std::move(input), source));
  // The last packet that starts at or before the span does, and the one after it.
  PacketPtr previous;
  PacketPtr next = NewPacket();
  if (!next) {
    status = FileStatus::Failure("out of memory");
    return nullptr;
  }
  while (true) {
    if (headless::InterruptionRequested()) {
      status = FileStatus::Failure("interrupted");
      return nullptr;
    }
    const int error = copy->input_->Read(*next);
    if (error == AVERROR_EOF) {
      next.reset();
      break;
    }
    if (error < 0) {
      status = FileStatus::Failure("cannot read the sound of " + copy->source_name_ + ": " +
                                   FfmpegErrorText(error));
      return nullptr;
    }
    if (next->pts > copy->first_) break;
    if (!previous) previous = NewPacket();
    if (!previous) {
      status = FileStatus::Failure("out of memory");
      return nullptr;
    }
    std::swap(previous, next);
    av_packet_unref(next.get());
  }
  status = {};
  if (!previous || !EndsAfter(*previous, copy->first_) || copy->first_ >= copy->end_) {
    return nullptr;
  }

  AVStream* stream = avformat_new_stream(&output, nullptr);
  if (stream == nullptr) {
    status = FileStatus::Failure("out of memory");
    return nullptr;
  }
  const int error = avcodec_parameters_copy(stream->codecpar, &copy->input_->parameters());
  if (error < 0) {
    status = FileStatus::Failure(FfmpegErrorText(error));
    return nullptr;
  }
  stream->codecpar->codec_tag = 0;  // the container's own tag for the codec
  stream->time_base = copy->input_->time_base();
  copy->stream_ = stream;
  copy->shift_ = (output.oformat->flags & AVFMT_TS_NEGATIVE) != 0 ? copy->first_ : previous->pts;
  copy->queued_.push_back(std::move(previous));
  if (next && next->pts < copy->end_) {
    copy->queued_.push_back(std::move(next));
  } else {
    copy->ended_ = true;
  }
  return copy;
}

FileStatus PacketCopy::ReadNext(bool& queued) {
  queued = false;
  if (ended_) return {};
  PacketPtr packet = NewPacket();
  if (!packet) return FileStatus::Failure("out of memory");
  const int error = input_->Read(*packet);
  if (error == AVERROR_EOF || (error == 0 && packet->pts >= end_)) {
    ended_ = true;
    return {};
  }
  if (error < 0) {
    return FileStatus::Failure("cannot read the sound of " + source_name_ + ": " +
                               FfmpegErrorText(error));
  }
  queued_.push_back(std::move(packet));
  queued = true;
  return {};
}

FileStatus PacketCopy::Write(PacketPtr packet) {
  if (packet->duration > 0 && packet->pts + packet->duration > end_) {
    // Cut to the span's end: the container keeps the shorter duration, and a player told of
    // the discarded samples (WebM) drops them.
    const int64_t kept = end_ - packet->pts;
    const AVRational sample_time{1, input_->parameters().sample_rate};
    const int64_t discarded =
        av_rescale_q(packet->duration - kept, input_->time_base(), sample_time);
    packet->duration = kept;
    if (discarded > 0 && discarded <= std::numeric_limits<uint32_t>::max()) {
      uint8_t* skip = av_packet_new_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, 10);
      if (skip != nullptr) {
        AV_WL32(skip, 0);
        AV_WL32(skip + 4, static_cast<uint32_t>(discarded));
        skip[8] = 0;
        skip[9] = 0;
      }
    }
  }
  packet->pts -= shift_;
  packet->dts -= shift_;
  av_packet_rescale_ts(packet.get(), input_->time_base(), stream_->time_base);
  packet->stream_index = stream_->index;
  packet->pos = -1;
  const int error = av_interleaved_write_frame(&output_, packet.get());
  if (error < 0) return FileStatus::Failure(FfmpegErrorText(error));
  return {};
}

FileStatus PacketCopy::WriteUntil(double seconds) {
  while (true) {
    if (headless::InterruptionRequested()) return FileStatus::Failure("interrupted");
    if (queued_.empty()) {
      bool queued = false;
      if (FileStatus read = ReadNext(queued); !read) return read;
      if (!queued) return {};
    }
    const AVPacket& front = *queued_.front();
    if (static_cast<double>(front.pts - shift_) * av_q2d(input_->time_base()) >= seconds) {
      return {};
    }
    PacketPtr packet = std::move(queued_.front());
    queued_.pop_front();
    if (FileStatus written = Write(std::move(packet)); !written) return written;
  }
}

FileStatus PacketCopy::Finish() {
  return WriteUntil(std::numeric_limits<double>::infinity());
}

}  // namespace quorvel::media

#endif
