// SPDX-License-Identifier: MIT
#include "media/video/video_join.h"

#if QUORVEL_HAVE_FFMPEG

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "headless/common/interruption.h"
#include "media/common/ffmpeg_error.h"
#include "media/common/ffmpeg_handles.h"

namespace quorvel::media {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// A segment opened for reading, with its one video stream and at most one sound stream.
struct Segment {
  fs::path path;
  InputContextPtr input;
  int video = -1;
  int sound = -1;

  AVStream* Stream(AVMediaType type) const {
    const int index = type == AVMEDIA_TYPE_VIDEO ? video : sound;
    return index < 0 ? nullptr : input->streams[index];
  }
};

FileStatus OpenSegment(const fs::path& path, Segment& segment) {
  segment.path = path;
  AVFormatContext* input = nullptr;
  int error = avformat_open_input(&input, path.string().c_str(), nullptr, nullptr);
  if (error < 0) {
    return FileStatus::Failure("cannot read " + Quoted(path) + ": " + FfmpegErrorText(error));
  }
  segment.input.reset(input);
  error = avformat_find_stream_info(input, nullptr);
  if (error < 0) {
    return FileStatus::Failure("cannot read " + Quoted(path) + ": " + FfmpegErrorText(error));
  }
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVMediaType type = input->streams[i]->codecpar->codec_type;
    int& index = type == AVMEDIA_TYPE_VIDEO ? segment.video : segment.sound;
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) continue;
    if (index >= 0) {
      return FileStatus::Failure(Quoted(path) + " has more than one " +
                                 (type == AVMEDIA_TYPE_VIDEO ? "video" : "sound") +
                                 " stream; a segment has one of each at most");
    }
    index = static_cast<int>(i);
  }
  if (segment.video < 0) return FileStatus::Failure(Quoted(path) + " has no video stream");
  return {};
}

std::string RationalText(AVRational value) {
  return std::to_string(value.num) + "/" + std::to_string(value.den);
}

std::string PixelFormatText(int format) {
  const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(format));
  return name != nullptr ? name : std::to_string(format);
}

std::string SampleFormatText(int format) {
  const char* name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(format));
  return name != nullptr ? name : std::to_string(format);
}

// The first parameter in which two streams of the same kind differ, as "width" with each one's
// value; none when a copy of the one's packets may follow the other's.
struct Difference {
  std::string parameter;
  std::string first;
  std::string other;
};

std::optional<Difference> FirstDifference(const AVStream& first, const AVStream& other) {
  const AVCodecParameters& a = *first.codecpar;
  const AVCodecParameters& b = *other.codecpar;
  const auto number = [](auto value) { return std::to_string(value); };
  const std::pair<const char*, std::pair<std::string, std::string>> compared[] = {
      {"codec", {avcodec_get_name(a.codec_id), avcodec_get_name(b.codec_id)}},
      {"profile", {number(a.profile), number(b.profile)}},
      {"time base", {RationalText(first.time_base), RationalText(other.time_base)}},
      {"pixel format", {PixelFormatText(a.format), PixelFormatText(b.format)}},
      {"width", {number(a.width), number(b.width)}},
      {"height", {number(a.height), number(b.height)}},
      {"pixel aspect ratio",
       {RationalText(a.sample_aspect_ratio), RationalText(b.sample_aspect_ratio)}},
      {"field order", {number(a.field_order), number(b.field_order)}},
      {"colour range", {av_color_range_name(a.color_range), av_color_range_name(b.color_range)}},
      {"colour matrix", {av_color_space_name(a.color_space), av_color_space_name(b.color_space)}},
      {"colour primaries",
       {av_color_primaries_name(a.color_primaries), av_color_primaries_name(b.color_primaries)}},
      {"transfer", {av_color_transfer_name(a.color_trc), av_color_transfer_name(b.color_trc)}},
      {"sample rate", {number(a.sample_rate), number(b.sample_rate)}},
      {"channels", {number(a.ch_layout.nb_channels), number(b.ch_layout.nb_channels)}},
  };
  for (const auto& [parameter, values] : compared) {
    // Sample formats are named below; a video's "format" is its pixel format.
    if (a.codec_type == AVMEDIA_TYPE_AUDIO && std::strcmp(parameter, "pixel format") == 0) {
      continue;
    }
    if (values.first != values.second) return Difference{parameter, values.first, values.second};
  }
  if (a.codec_type == AVMEDIA_TYPE_AUDIO && a.format != b.format) {
    return Difference{"sample format", SampleFormatText(a.format), SampleFormatText(b.format)};
  }
  // The headers the decoder starts from (H.264's parameter sets, AAC's configuration): the
  // joined file has one copy, so every segment's must be the same bytes.
  if (a.extradata_size != b.extradata_size ||
      (a.extradata_size > 0 && std::memcmp(a.extradata, b.extradata, a.extradata_size) != 0)) {
    return Difference{"codec headers", number(a.extradata_size) + " bytes",
                      number(b.extradata_size) + " bytes, or other bytes"};
  }
  return std::nullopt;
}

FileStatus CheckSameStreams(const Segment& first, const Segment& other) {
  for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
    const char* kind = type == AVMEDIA_TYPE_VIDEO ? "video" : "sound";
    const AVStream* a = first.Stream(type);
    const AVStream* b = other.Stream(type);
    if ((a == nullptr) != (b == nullptr)) {
      return FileStatus::Failure("cannot join " + Quoted(other.path) + ": it has " +
                                 (b == nullptr ? "no sound" : "sound") + " and " +
                                 Quoted(first.path) + " has " + (a == nullptr ? "none" : "sound"));
    }
    if (a == nullptr) continue;
    if (const std::optional<Difference> differs = FirstDifference(*a, *b)) {
      return FileStatus::Failure("cannot join " + Quoted(other.path) + ": its " + kind + "'s " +
                                 differs->parameter + " is " + differs->other + " where " +
                                 Quoted(first.path) + " has " + differs->first);
    }
  }
  return {};
}

// The joined file, written under a temporary name that goes unless renamed into place.
struct Joined {
  OutputTarget target;
  fs::path temporary;
  OutputContextPtr output;
  bool finished = false;

  ~Joined() {
    if (finished) return;
    output.reset();
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }

  FileStatus Failed(const std::string& why) const {
    return FileStatus::Failure("cannot write " + Quoted(target.given) + ": " + why);
  }
};

// Where the sound's packets are written later than they are read: a container that cannot hold
// negative times (WebM) keeps the encoder's priming samples as the track's codec delay, which a
// reader takes off again, and wants the first packet at 0, as the video writer put it; fed a
// negative time instead, the muxer would move every stream later.
int64_t SoundDelay(const AVOutputFormat* format, const AVCodecParameters& sound,
                   AVRational time_base) {
  if ((format->flags & AVFMT_TS_NEGATIVE) != 0 || sound.initial_padding <= 0 ||
      sound.sample_rate <= 0) {
    return 0;
  }
  return av_rescale_q(sound.initial_padding, AVRational{1, sound.sample_rate}, time_base);
}

// A timestamp moved by `shift`, left unset when unset.
int64_t Shifted(int64_t timestamp, int64_t shift) {
  return timestamp == AV_NOPTS_VALUE ? timestamp : timestamp + shift;
}

}  // namespace

FileStatus JoinVideos(const std::vector<fs::path>& segment_paths, const OutputTarget& target,
                      const LibraryMessageSink& library_messages) {
  if (segment_paths.empty()) return FileStatus::Failure("no segments to join");
  const FfmpegMessageRoute messages(target.given.filename().string(), library_messages);
  std::vector<Segment> segments(segment_paths.size());
  for (size_t i = 0; i < segment_paths.size(); ++i) {
    if (FileStatus opened = OpenSegment(segment_paths[i], segments[i]); !opened) return opened;
    if (i > 0) {
      if (FileStatus same = CheckSameStreams(segments[0], segments[i]); !same) return same;
    }
  }

  Joined joined;
  joined.target = target;
  joined.temporary = TemporaryPathFor(target.path);
  if (target.kind != OutputTarget::Kind::kFile) {
    return joined.Failed("a video is written to a file, not to a device or standard output");
  }
  // By the name asked for: the temporary name's own extension says nothing.
  const AVOutputFormat* format =
      av_guess_format(nullptr, target.path.filename().string().c_str(), nullptr);
  if (format == nullptr) return joined.Failed("no container has that extension");
  AVFormatContext* output = nullptr;
  if (avformat_alloc_output_context2(&output, format, nullptr, joined.temporary.string().c_str()) <
      0) {
    return joined.Failed("out of memory");
  }
  joined.output.reset(output);

  const Segment& first = segments[0];
  // The output's stream for each of the first segment's, by its index there.
  std::vector<int> output_index(first.input->nb_streams, -1);
  for (const int index : {first.video, first.sound}) {
    if (index < 0) continue;
    const AVStream& in = *first.input->streams[index];
    AVStream* out = avformat_new_stream(output, nullptr);
    if (out == nullptr) return joined.Failed("out of memory");
    if (avcodec_parameters_copy(out->codecpar, in.codecpar) < 0) {
      return joined.Failed("out of memory");
    }
    out->time_base = in.time_base;
    out->avg_frame_rate = in.avg_frame_rate;
    av_dict_copy(&out->metadata, in.metadata, 0);  // WebM's alpha_mode among them
    output_index[static_cast<size_t>(index)] = out->index;
  }

  if (FileStatus folder = MakeFolderFor(target); !folder) return folder;
  int error = avio_open(&output->pb, joined.temporary.string().c_str(), AVIO_FLAG_WRITE);
  if (error < 0) return joined.Failed(FfmpegErrorText(error));
  AVDictionary* options = nullptr;
  if (std::strcmp(format->name, "mp4") == 0) av_dict_set(&options, "movflags", "+faststart", 0);
  error = avformat_write_header(output, &options);
  av_dict_free(&options);
  if (error < 0) return joined.Failed(FfmpegErrorText(error));

  PacketPtr packet(av_packet_alloc());
  PacketPtr held_sound(av_packet_alloc());
  if (!packet || !held_sound) return joined.Failed("out of memory");
  const AVRational video_base = first.input->streams[first.video]->time_base;
  int64_t offset = 0;  // where the segment starts in the joined video, in the video's time base
  int64_t frames_before = 0;
  int64_t last_sound_dts = AV_NOPTS_VALUE;
  for (const Segment& segment : segments) {
    const AVStream& video = *segment.input->streams[segment.video];
    const int64_t origin = video.start_time == AV_NOPTS_VALUE ? 0 : video.start_time;
    const AVRational frame_rate = video.avg_frame_rate;
    const bool rate_known = frame_rate.num > 0 && frame_rate.den > 0;
    // Some containers leave a frame's duration out; it is one frame then.
    const int64_t frame_step = rate_known ? av_rescale_q(1, av_inv_q(frame_rate), video_base) : 0;
    int64_t video_end = offset;
    while (true) {
      if (headless::InterruptionRequested()) return joined.Failed("interrupted");
      error = av_read_frame(segment.input.get(), packet.get());
      if (error == AVERROR_EOF) break;
      if (error < 0) {
        return FileStatus::Failure("cannot read " + Quoted(segment.path) + ": " +
                                   FfmpegErrorText(error));
      }
      const int index = packet->stream_index;
      if (index != segment.video && index != segment.sound) {
        av_packet_unref(packet.get());
        continue;
      }
      const AVStream& in = *segment.input->streams[index];
      int64_t shift = av_rescale_q(offset - origin, video_base, in.time_base);
      if (index == segment.sound) shift += SoundDelay(output->oformat, *in.codecpar, in.time_base);
      packet->pts = Shifted(packet->pts, shift);
      packet->dts = Shifted(packet->dts, shift);
      if (index == segment.video) {
        ++frames_before;
        if (packet->pts != AV_NOPTS_VALUE) {
          video_end = std::max(video_end, packet->pts + std::max(packet->duration, frame_step));
        }
      } else {
        // A packet the segment before already gave: the footage's packet cut at the join, or
        // the encoder's priming packet, which lies before the segment's first sample.
        if (last_sound_dts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE &&
            packet->dts <= last_sound_dts) {
          av_packet_unref(packet.get());
          continue;
        }
        last_sound_dts = packet->dts;
      }
      AVStream& out = *output->streams[output_index[static_cast<size_t>(
          index == segment.video ? first.video : first.sound)]];
      packet->stream_index = out.index;
      av_packet_rescale_ts(packet.get(), in.time_base, out.time_base);
      packet->pos = -1;
      if (index == segment.sound) {
        // Held back one packet: the last one's end is set from the video's below.
        std::swap(packet, held_sound);
        if (!packet->data) continue;
      }
      error = av_interleaved_write_frame(output, packet.get());
      if (error < 0) return joined.Failed(FfmpegErrorText(error));
    }
    // From the frames so far at the exact rate, where the rate is known: a segment's own end in
    // a coarse time base (WebM's milliseconds) is rounded, and the roundings would add up.
    offset = rate_known ? av_rescale_q(frames_before, av_inv_q(frame_rate), video_base) : video_end;
  }
  if (held_sound->data) {
    // A segment's container keeps its sound's length in whole milliseconds (an edit list in
    // .mov and .mp4), so the last segment's sound, as read, can end a fraction of one before its
    // last frame; it was cut to that frame's end when rendered.
    const AVStream& out = *output->streams[held_sound->stream_index];
    const int64_t end = av_rescale_q(offset, video_base, out.time_base) +
                        SoundDelay(output->oformat, *out.codecpar, out.time_base);
    if (held_sound->pts != AV_NOPTS_VALUE && end > held_sound->pts) {
      held_sound->duration = end - held_sound->pts;
    }
    error = av_interleaved_write_frame(output, held_sound.get());
    if (error < 0) return joined.Failed(FfmpegErrorText(error));
  }

  error = av_write_trailer(output);
  if (error < 0) return joined.Failed(FfmpegErrorText(error));
  error = avio_closep(&output->pb);
  if (error < 0) return joined.Failed(FfmpegErrorText(error));
  std::error_code renamed;
  fs::rename(joined.temporary, target.path, renamed);
  if (renamed) return joined.Failed(renamed.message());
  joined.finished = true;
  return {};
}

}  // namespace quorvel::media

#else

namespace quorvel::media {

FileStatus JoinVideos(const std::vector<std::filesystem::path>&, const OutputTarget& target,
                      const LibraryMessageSink&) {
  return FileStatus::Failure("cannot write '" + target.given.string() +
                             "': this build has no video support");
}

}  // namespace quorvel::media

#endif
