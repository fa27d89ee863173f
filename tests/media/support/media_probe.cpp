// SPDX-License-Identifier: MIT
#include "tests/media/support/media_probe.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

#include "media/common/ffmpeg_handles.h"

namespace quorvel::media::test {
namespace {

// What a packet's side data tells its decoder to skip at its start and discard at its end.
void SkippedSamples(const AVPacket& packet, int64_t& skip, int64_t& discard) {
  size_t size = 0;
  const uint8_t* data = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
  skip = data != nullptr && size >= 8 ? AV_RL32(data) : 0;
  discard = data != nullptr && size >= 8 ? AV_RL32(data + 4) : 0;
}

InputContextPtr OpenInput(const std::filesystem::path& path) {
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.string().c_str(), nullptr, nullptr) < 0) return nullptr;
  InputContextPtr input(opened);
  if (avformat_find_stream_info(opened, nullptr) < 0) return nullptr;
  return input;
}

CodecContextPtr OpenDecoder(const AVStream& stream) {
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  CodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), stream.codecpar) < 0) {
    return nullptr;
  }
  decoder->pkt_timebase = stream.time_base;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return nullptr;
  return decoder;
}

}  // namespace

const StreamProbe* MediaProbe::Find(AVMediaType type) const& {
  for (const StreamProbe& stream : streams) {
    if (stream.type == type) return &stream;
  }
  return nullptr;
}

MediaProbe ProbeMedia(const std::filesystem::path& path) {
  MediaProbe probe;
  const InputContextPtr input = OpenInput(path);
  if (!input) return probe;
  probe.opened = true;
  std::vector<CodecContextPtr> decoders;
  std::vector<bool> first(input->nb_streams, true);
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream& stream = *input->streams[i];
    StreamProbe s;
    s.type = stream.codecpar->codec_type;
    s.codec = stream.codecpar->codec_id;
    s.profile = stream.codecpar->profile;
    s.pixels = static_cast<AVPixelFormat>(stream.codecpar->format);
    s.colour_space = stream.codecpar->color_space;
    s.colour_range = stream.codecpar->color_range;
    s.primaries = stream.codecpar->color_primaries;
    s.transfer = stream.codecpar->color_trc;
    s.sample_rate = stream.codecpar->sample_rate;
    s.channels = stream.codecpar->ch_layout.nb_channels;
    s.start = std::numeric_limits<double>::infinity();
    s.end = -std::numeric_limits<double>::infinity();
    probe.streams.push_back(s);
    decoders.push_back(s.type == AVMEDIA_TYPE_AUDIO ? OpenDecoder(stream) : nullptr);
  }
  const PacketPtr packet(av_packet_alloc());
  const FramePtr frame(av_frame_alloc());
  const auto take = [&](size_t index) {
    while (avcodec_receive_frame(decoders[index].get(), frame.get()) == 0) {
      probe.streams[index].samples += frame->nb_samples;
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.get(), packet.get()) == 0) {
    const auto index = static_cast<size_t>(packet->stream_index);
    const AVStream& stream = *input->streams[index];
    StreamProbe& s = probe.streams[index];
    const double unit = av_q2d(stream.time_base);
    int64_t skip = 0;
    int64_t discard = 0;
    SkippedSamples(*packet, skip, discard);
    const double rate = s.sample_rate > 0 ? s.sample_rate : 1;
    const auto pts = static_cast<double>(packet->pts == AV_NOPTS_VALUE ? packet->dts : packet->pts);
    // Samples skipped count only at the stream's start: named on the packet (MP4's edit list),
    // or beside the track as its codec delay (Opus in WebM).
    const double skipped = static_cast<double>(skip + stream.codecpar->initial_padding) / rate;
    const double start = pts * unit + (first[index] ? skipped : 0);
    first[index] = false;
    s.start = std::min(s.start, start);
    s.end = std::max(s.end, (pts + static_cast<double>(packet->duration)) * unit -
                                static_cast<double>(discard) / rate);
    s.packets.emplace_back(reinterpret_cast<const char*>(packet->data),
                           static_cast<size_t>(packet->size));
    if (decoders[index]) {
      avcodec_send_packet(decoders[index].get(), packet.get());
      take(index);
    }
    av_packet_unref(packet.get());
  }
  for (size_t index = 0; index < decoders.size(); ++index) {
    if (!decoders[index]) continue;
    avcodec_send_packet(decoders[index].get(), nullptr);
    take(index);
  }
  return probe;
}

DecodedSound DecodeSound(const std::filesystem::path& path) {
  DecodedSound sound;
  const InputContextPtr input = OpenInput(path);
  if (!input) return sound;
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return sound;
  const CodecContextPtr decoder = OpenDecoder(*input->streams[index]);
  if (!decoder) return sound;
  sound.rate = decoder->sample_rate;
  const PacketPtr packet(av_packet_alloc());
  const FramePtr frame(av_frame_alloc());
  ResamplePtr convert;
  const auto take = [&] {
    while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
      if (!convert) {
        // Every channel as float planes at the same rate: the first is kept.
        SwrContext* made = nullptr;
        swr_alloc_set_opts2(&made, &frame->ch_layout, AV_SAMPLE_FMT_FLTP, frame->sample_rate,
                            &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                            frame->sample_rate, 0, nullptr);
        convert.reset(made);
        swr_init(made);
      }
      std::vector<std::vector<float>> planes(
          static_cast<size_t>(frame->ch_layout.nb_channels),
          std::vector<float>(static_cast<size_t>(frame->nb_samples)));
      std::vector<uint8_t*> pointers;
      for (std::vector<float>& plane : planes) {
        pointers.push_back(reinterpret_cast<uint8_t*>(plane.data()));
      }
      const int made =
          swr_convert(convert.get(), pointers.data(), frame->nb_samples,
                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
      if (made > 0) {
        sound.samples.insert(sound.samples.end(), planes[0].begin(), planes[0].begin() + made);
      }
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.get(), packet.get()) == 0) {
    if (packet->stream_index == index) {
      avcodec_send_packet(decoder.get(), packet.get());
      take();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  take();
  return sound;
}

bool MakeWithFfmpeg(const std::string& arguments, const std::filesystem::path& path) {
  const std::string command =
      "ffmpeg -nostdin -v error -y " + arguments + " '" + path.string() + "'";
  return std::system(command.c_str()) == 0 && std::filesystem::exists(path);
}

}  // namespace quorvel::media::test
