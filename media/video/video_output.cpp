// SPDX-License-Identifier: MIT
#include "media/video/video_output.h"

#include <cctype>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#if QUORVEL_HAVE_FFMPEG
extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}
#include "media/audio/audio_track.h"
#include "media/common/ffmpeg_error.h"
#include "media/common/ffmpeg_handles.h"
#include "media/footage/colour_reading.h"
#include "media/video/ffmpeg_messages.h"
#endif
#include "headless/pixels/world.h"
#include "media/image/background.h"
#include "media/video/encoder_settings.h"
#include "media/video/video_size.h"

namespace quorvel::media {

using headless::WorldRow;

std::optional<VideoFormat> VideoFormatFor(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".mov") return VideoFormat::kProRes4444;
  if (extension == ".webm") return VideoFormat::kVp9WithAlpha;
  if (extension == ".mp4") return VideoFormat::kH264;
  return std::nullopt;
}

#if QUORVEL_HAVE_FFMPEG

namespace {

namespace fs = std::filesystem;

struct Format {
  const char* muxer;
  const char* encoder;
  AVPixelFormat pixels;
  bool alpha;
};

Format FormatOf(VideoFormat format) {
  switch (format) {
    case VideoFormat::kProRes4444:
      return {"mov", "prores_ks", AV_PIX_FMT_YUVA444P10LE, true};
    case VideoFormat::kProRes422Hq:
      return {"mov", "prores_ks", AV_PIX_FMT_YUV422P10LE, false};
    case VideoFormat::kVp9WithAlpha:
      return {"webm", "libvpx-vp9", AV_PIX_FMT_YUVA420P, true};
    case VideoFormat::kH264:
      break;
  }
  return {"mp4", "libx264", AV_PIX_FMT_YUV420P, false};
}

// How the stream's colour is tagged, and so how its frames are converted.
struct ColourTags {
  AVColorSpace space = AVCOL_SPC_BT709;
  AVColorRange range = AVCOL_RANGE_MPEG;
  AVColorPrimaries primaries = AVCOL_PRI_BT709;
  AVColorTransferCharacteristic transfer = AVCOL_TRC_BT709;
};

ColourTags TagsOf(const NativeFormat& native) {
  return {static_cast<AVColorSpace>(native.colour_space),
          static_cast<AVColorRange>(native.colour_range),
          static_cast<AVColorPrimaries>(native.primaries),
          static_cast<AVColorTransferCharacteristic>(native.transfer)};
}

// How the stream's numbers are read as colour.
ColourReading ReadingOf(AVPixelFormat pixels, const ColourTags& tags, int width, int height) {
  return ReadColour(pixels, tags.space, tags.range, AV_CODEC_ID_NONE, width, height);
}

// The format decoded frames go to the encoder in: yuvj formats as their yuv twins, which the
// stream's tags say are full range.
AVPixelFormat EncodedFormat(int pixel_format) {
  return ReadingOf(static_cast<AVPixelFormat>(pixel_format), {}, 0, 0).format;
}

std::string PixelFormatName(int format) {
  const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(format));
  return name != nullptr ? name : "an unknown pixel format";
}

bool EncoderTakes(const AVCodec& encoder, AVPixelFormat pixels) {
  for (const AVPixelFormat* format = encoder.pix_fmts;
       format != nullptr && *format != AV_PIX_FMT_NONE; ++format) {
    if (*format == pixels) return true;
  }
  return false;
}

// The user's quality and speed, by default settings that trade a little size for speed: frames
// for an editor, not for delivery.
void ChooseEncoderOptions(const VideoSettings& settings, AVCodecContext& codec) {
  switch (settings.format) {
    case VideoFormat::kProRes4444:
      av_opt_set(codec.priv_data, "profile", "4444", 0);
      break;
    case VideoFormat::kProRes422Hq:
      av_opt_set(codec.priv_data, "profile", "hq", 0);
      break;
    case VideoFormat::kVp9WithAlpha:
      codec.bit_rate = 0;  // constant quality
      av_opt_set_int(codec.priv_data, "crf", CrfFor(settings.format, settings.crf), 0);
      av_opt_set(codec.priv_data, "deadline", "good", 0);
      av_opt_set_int(codec.priv_data, "cpu-used", Vp9CpuUsedFor(settings.preset), 0);
      av_opt_set_int(codec.priv_data, "row-mt", 1, 0);
      break;
    case VideoFormat::kH264:
      av_opt_set(codec.priv_data, "preset", X264PresetFor(settings.preset).c_str(), 0);
      av_opt_set_int(codec.priv_data, "crf", CrfFor(settings.format, settings.crf), 0);
      break;
  }
}

}  // namespace

struct VideoWriter::State {
  // First, so that it goes last: FFmpeg may speak until its last object is freed.
  std::optional<FfmpegMessageRoute> messages;
  OutputTarget target;
  VideoSettings settings;
  Format format;
  ColourTags tags;
  fs::path temporary;
  OutputContextPtr output;
  CodecContextPtr codec;
  AVStream* stream = nullptr;
  std::unique_ptr<AudioTrack> audio;
  ScalePtr scale;
  // Frames the encoder may still hold (its threads keep a reference until they are done): one
  // it has let go of is filled again, so that no frame's memory is made, cleared or copied anew.
  std::vector<FramePtr> frames;
  FramePtr native;  // the encoder's reference to a decoded frame, while it is given
  PacketPtr packet;
  std::vector<PF_Pixel> straight;  // one frame as the converter reads it: straight A, R, G, B
  int64_t next_pts = 0;
  bool finished = false;  // the file is in place under its own name

  // The temporary file goes with the state unless it was renamed into place: no failure, in
  // Open or after it, leaves a part of a video behind.
  ~State() {
    if (finished) return;
    output.reset();  // closes the file before it goes
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }

  FileStatus Failed(const std::string& why) const {
    return FileStatus::Failure("cannot write " + ("'" + target.given.string() + "'") + ": " + why);
  }

  // A frame of the encoder's pixel format that nothing else holds.
  AVFrame* FreeFrame() {
    constexpr size_t kMostFrames = 8;
    for (const FramePtr& held : frames) {
      if (av_frame_is_writable(held.get())) return held.get();
    }
    if (frames.size() == kMostFrames) {
      return av_frame_make_writable(frames.front().get()) == 0 ? frames.front().get() : nullptr;
    }
    FramePtr made(av_frame_alloc());
    if (!made) return nullptr;
    made->format = format.pixels;
    made->width = settings.width;
    made->height = settings.height;
    Tag(*made);
    if (av_frame_get_buffer(made.get(), 0) < 0) return nullptr;
    frames.push_back(std::move(made));
    return frames.back().get();
  }

  void Tag(AVFrame& frame) const {
    frame.color_primaries = tags.primaries;
    frame.color_trc = tags.transfer;
    frame.colorspace = tags.space;
    frame.color_range = tags.range;
  }

  // Encodes the next frame, then writes the sound that plays with it.
  FileStatus Send(AVFrame& frame) {
    frame.pts = next_pts++;
    if (FileStatus encoded = Encode(&frame); !encoded) return encoded;
    if (!audio) return {};
    const double written = static_cast<double>(next_pts) * settings.frame_duration /
                           static_cast<double>(settings.time_scale);
    if (FileStatus sound = audio->WriteUntil(written); !sound) return Failed(sound.message);
    return {};
  }

  // Hands what the encoder has ready to the file; `frame` null drains it.
  FileStatus Encode(const AVFrame* input) {
    int error = avcodec_send_frame(codec.get(), input);
    if (error < 0) return Failed("the encoder refused a frame: " + FfmpegErrorText(error));
    while (true) {
      error = avcodec_receive_packet(codec.get(), packet.get());
      if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return {};
      if (error < 0) return Failed("the encoder failed: " + FfmpegErrorText(error));
      av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      error = av_interleaved_write_frame(output.get(), packet.get());
      if (error < 0) return Failed(FfmpegErrorText(error));
    }
  }
};

FileStatus CheckNativeFormat(VideoFormat format, const NativeFormat& native) {
  if (format != VideoFormat::kH264) {
    return FileStatus::Failure("only H.264 (.mp4) takes footage's frames as they were decoded");
  }
  const Format h264 = FormatOf(format);
  const AVCodec* encoder = avcodec_find_encoder_by_name(h264.encoder);
  if (encoder == nullptr) {
    return FileStatus::Failure(std::string("this FFmpeg has no ") + h264.encoder + " encoder");
  }
  if (!EncoderTakes(*encoder, EncodedFormat(native.pixel_format))) {
    return FileStatus::Failure(std::string(h264.encoder) + " takes no frames in " +
                               PixelFormatName(native.pixel_format) + " as they were decoded");
  }
  return {};
}

VideoWriter::VideoWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}

VideoWriter::~VideoWriter() = default;

std::unique_ptr<VideoWriter> VideoWriter::Open(const OutputTarget& target,
                                               const VideoSettings& settings, FileStatus& status) {
  auto state = std::make_unique<State>();
  state->messages.emplace(target.given.filename().string(), settings.library_messages);
  state->target = target;
  state->settings = settings;
  state->format = FormatOf(settings.format);
  if (settings.native) {
    state->tags = TagsOf(*settings.native);
    state->format.pixels = EncodedFormat(settings.native->pixel_format);
  }
  state->temporary = TemporaryPathFor(target.path);
  State& s = *state;
  const auto fail = [&status](FileStatus why) {
    status = std::move(why);
    return nullptr;
  };
  if (target.kind != OutputTarget::Kind::kFile) {
    return fail(s.Failed("a video is written to a file, not to a device or standard output"));
  }
  if (FileStatus fits = CheckVideoSize(settings.format, settings.width, settings.height); !fits) {
    return fail(s.Failed(fits.message));
  }
  if (FileStatus chosen = CheckEncoderSettings(settings.format, settings.crf, settings.preset);
      !chosen) {
    return fail(s.Failed(chosen.message));
  }
  if (FileStatus shown = CheckVideoBackground(settings.format, settings.background); !shown) {
    return fail(s.Failed(shown.message));
  }

  const AVCodec* encoder = avcodec_find_encoder_by_name(s.format.encoder);
  if (encoder == nullptr) {
    return fail(s.Failed(std::string("this FFmpeg has no ") + s.format.encoder + " encoder"));
  }
  if (settings.native) {
    if (FileStatus taken = CheckNativeFormat(settings.format, *settings.native); !taken) {
      return fail(s.Failed(taken.message));
    }
  }
  AVFormatContext* output = nullptr;
  if (avformat_alloc_output_context2(&output, nullptr, s.format.muxer,
                                     s.temporary.string().c_str()) < 0) {
    return fail(s.Failed(std::string("this FFmpeg cannot write ") + s.format.muxer + " files"));
  }
  s.output.reset(output);
  s.stream = avformat_new_stream(output, nullptr);
  s.codec.reset(avcodec_alloc_context3(encoder));
  s.packet.reset(av_packet_alloc());
  s.native.reset(av_frame_alloc());
  if (s.stream == nullptr || !s.codec || !s.packet || !s.native) {
    return fail(s.Failed("out of memory"));
  }

  AVCodecContext& codec = *s.codec;
  codec.width = settings.width;
  codec.height = settings.height;
  codec.pix_fmt = s.format.pixels;
  AVRational frame_time{settings.frame_duration, static_cast<int>(settings.time_scale)};
  av_reduce(&frame_time.num, &frame_time.den, frame_time.num, frame_time.den, 1 << 30);
  codec.time_base = frame_time;
  codec.framerate = av_inv_q(frame_time);
  codec.sample_aspect_ratio = {1, 1};
  codec.color_primaries = s.tags.primaries;
  codec.color_trc = s.tags.transfer;
  codec.colorspace = s.tags.space;
  codec.color_range = s.tags.range;
  codec.thread_count = 0;  // as many as the encoder finds useful
  if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
    codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  ChooseEncoderOptions(settings, codec);
  int error = avcodec_open2(&codec, encoder, nullptr);
  if (error < 0) return fail(s.Failed("the encoder cannot start: " + FfmpegErrorText(error)));
  error = avcodec_parameters_from_context(s.stream->codecpar, &codec);
  if (error < 0) return fail(s.Failed(FfmpegErrorText(error)));
  s.stream->time_base = codec.time_base;
  s.stream->avg_frame_rate = codec.framerate;
  // WebM readers learn of the alpha in VP9's side data from this flag on the track.
  if (settings.format == VideoFormat::kVp9WithAlpha) {
    av_dict_set(&s.stream->metadata, "alpha_mode", "1", 0);
  }
  if (settings.audio) {
    FileStatus sound;
    s.audio = AudioTrack::Add(*output, *settings.audio, sound);
    if (!s.audio) return fail(s.Failed(sound.message));
  }

  if (FileStatus folder = MakeFolderFor(target); !folder) return fail(std::move(folder));
  error = avio_open(&output->pb, s.temporary.string().c_str(), AVIO_FLAG_WRITE);
  if (error < 0) return fail(s.Failed(FfmpegErrorText(error)));
  AVDictionary* options = nullptr;
  if (settings.format == VideoFormat::kH264) av_dict_set(&options, "movflags", "+faststart", 0);
  error = avformat_write_header(output, &options);
  av_dict_free(&options);
  if (error < 0) return fail(s.Failed(FfmpegErrorText(error)));

  s.scale.reset(sws_getContext(settings.width, settings.height, AV_PIX_FMT_ARGB, settings.width,
                               settings.height, s.format.pixels,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                               nullptr, nullptr));
  if (!s.scale)
    return fail(s.Failed("no converter to " + std::string(av_get_pix_fmt_name(s.format.pixels))));
  // Full-range RGB in, the stream's matrix and range out.
  const ColourReading out = ReadingOf(s.format.pixels, s.tags, settings.width, settings.height);
  const int* matrix = sws_getCoefficients(SwscaleColourspace(out.matrix));
  sws_setColorspaceDetails(s.scale.get(), matrix, 1, matrix, out.full_range ? 1 : 0, 0, 1 << 16,
                           1 << 16);
  status = {};
  return std::unique_ptr<VideoWriter>(new VideoWriter(std::move(state)));
}

FileStatus VideoWriter::Write(const PF_EffectWorld& world) {
  State& s = *state_;
  if (world.width != s.settings.width || world.height != s.settings.height) {
    return s.Failed("a frame of another size");
  }
  // Laid over the background as a PNG is (over black too in a format without alpha), straight,
  // as the converter and the alpha formats take it.
  const PF_Pixel backdrop = BackdropFor(s.settings.background, s.format.alpha);
  // Made at the first world: a video of decoded frames may never take one.
  if (s.straight.empty()) {
    try {
      s.straight.resize(static_cast<size_t>(world.width) * static_cast<size_t>(world.height));
    } catch (const std::bad_alloc&) {
      return s.Failed("out of memory");
    }
  }
  PF_Pixel* out = s.straight.data();
  for (A_long y = 0; y < world.height; ++y) {
    const PF_Pixel* row = WorldRow(world, y);
    for (A_long x = 0; x < world.width; ++x) *out++ = LaidOverBackdrop(row[x], backdrop);
  }
  AVFrame* frame = s.FreeFrame();
  if (frame == nullptr) return s.Failed("out of memory");
  const auto* source = reinterpret_cast<const uint8_t*>(s.straight.data());
  const int source_stride = world.width * static_cast<int>(sizeof(PF_Pixel));
  sws_scale(s.scale.get(), &source, &source_stride, 0, world.height, frame->data, frame->linesize);
  return s.Send(*frame);
}

FileStatus VideoWriter::Write(const AVFrame& frame) {
  State& s = *state_;
  if (!s.settings.native) {
    return s.Failed("a decoded frame, but the video was opened for composited frames");
  }
  if (frame.width != s.settings.width || frame.height != s.settings.height) {
    return s.Failed("a frame of another size");
  }
  if (EncodedFormat(frame.format) != s.format.pixels) {
    return s.Failed("a decoded frame in " + PixelFormatName(frame.format) +
                    ", but the video was opened for " +
                    PixelFormatName(s.settings.native->pixel_format));
  }
  // The encoder's own reference, stamped as this video's: its time, its tags, the yuv twin of a
  // yuvj format, and nothing of the source's coding (a picture type would force keyframes, side
  // data would be carried along).
  AVFrame& given = *s.native;
  if (av_frame_ref(&given, &frame) < 0) return s.Failed("out of memory");
  given.format = s.format.pixels;
  s.Tag(given);
  given.pict_type = AV_PICTURE_TYPE_NONE;
  while (given.nb_side_data > 0) av_frame_remove_side_data(&given, given.side_data[0]->type);
  FileStatus sent = s.Send(given);
  av_frame_unref(&given);
  return sent;
}

FileStatus VideoWriter::Finish() {
  State& s = *state_;
  if (FileStatus drained = s.Encode(nullptr); !drained) return drained;
  if (s.audio) {
    if (FileStatus sound = s.audio->Finish(); !sound) return s.Failed(sound.message);
  }
  int error = av_write_trailer(s.output.get());
  if (error < 0) return s.Failed(FfmpegErrorText(error));
  error = avio_closep(&s.output->pb);
  if (error < 0) return s.Failed(FfmpegErrorText(error));
  std::error_code renamed;
  fs::rename(s.temporary, s.target.path, renamed);
  if (renamed) return s.Failed(renamed.message());
  s.finished = true;
  return {};
}

bool VideoOutputAvailable() {
  return true;
}

#else

struct VideoWriter::State {};

VideoWriter::VideoWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
VideoWriter::~VideoWriter() = default;

std::unique_ptr<VideoWriter> VideoWriter::Open(const OutputTarget& target, const VideoSettings&,
                                               FileStatus& status) {
  status = FileStatus::Failure("cannot write '" + target.given.string() +
                               "': this build has no video output (FFmpeg's libraries)");
  return nullptr;
}

FileStatus VideoWriter::Write(const PF_EffectWorld&) {
  return FileStatus::Failure("this build has no video output");
}

FileStatus VideoWriter::Write(const AVFrame&) {
  return FileStatus::Failure("this build has no video output");
}

FileStatus CheckNativeFormat(VideoFormat, const NativeFormat&) {
  return FileStatus::Failure("this build has no video output");
}

FileStatus VideoWriter::Finish() {
  return FileStatus::Failure("this build has no video output");
}

bool VideoOutputAvailable() {
  return false;
}

#endif

}  // namespace quorvel::media
