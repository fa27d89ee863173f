// SPDX-License-Identifier: MIT
#include "media/footage/footage_reader.h"
#include "media/video/ffmpeg_messages.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#if QUORVEL_HAVE_FFMPEG
extern "C" {
#include <libavutil/pixdesc.h>
}
#include "headless/common/interruption.h"
#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"
#include "media/common/ffmpeg_handles.h"
#include "media/footage/frame_conversion.h"
#include "media/footage/orientation.h"
#endif
#include "headless/pixels/memory_budget.h"

namespace quorvel::media {

namespace fs = std::filesystem;
using media::FileStatus;

namespace {

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

FileStatus FailureFor(const fs::path& path, const std::string& why) {
  return FileStatus::Failure("cannot read " + Quoted(path) + ": " + why);
}

}  // namespace

#if QUORVEL_HAVE_FFMPEG

namespace {

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// FFmpeg's blocking reads ask this between reads: a stop ends them.
int StopRequested(void*) {
  return headless::InterruptionRequested() ? 1 : 0;
}

// Still images come through FFmpeg's image demuxers: "image2" for a file named as an image,
// "<codec>_pipe" for one known by its content.
bool IsImageDemuxer(const std::string& name) {
  const std::string pipe = "_pipe";
  return name == "image2" || (name.size() > pipe.size() &&
                              name.compare(name.size() - pipe.size(), pipe.size(), pipe) == 0);
}

// FFmpeg's own VP9 decoder drops the alpha that WebM keeps beside the picture (alpha_mode 1);
// libvpx's reads it.
const AVCodec* DecoderFor(const AVStream& stream, const AVCodec* found) {
  if (stream.codecpar->codec_id != AV_CODEC_ID_VP9) return found;
  const AVDictionaryEntry* mode = av_dict_get(stream.metadata, "alpha_mode", nullptr, 0);
  if (mode == nullptr || std::string(mode->value) != "1") return found;
  const AVCodec* vpx = avcodec_find_decoder_by_name("libvpx-vp9");
  return vpx != nullptr ? vpx : found;
}

const int32_t* DisplayMatrixOf(const AVStream& stream) {
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
  const AVPacketSideData* data =
      av_packet_side_data_get(stream.codecpar->coded_side_data, stream.codecpar->nb_coded_side_data,
                              AV_PKT_DATA_DISPLAYMATRIX);
  if (data == nullptr || data->size < 9 * sizeof(int32_t)) return nullptr;
  return reinterpret_cast<const int32_t*>(data->data);
#else
  size_t size = 0;
  const uint8_t* data = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (data == nullptr || size < 9 * sizeof(int32_t)) return nullptr;
  return reinterpret_cast<const int32_t*>(data);
#endif
}

int64_t DurationOf(const AVFrame& frame) {
#if LIBAVUTIL_VERSION_MAJOR >= 58
  return frame.duration;
#else
  return frame.pkt_duration;
#endif
}

bool HasAlpha(const AVFrame& frame) {
  const AVPixFmtDescriptor* descriptor =
      av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
  return descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
}

// a + b, held at the ends of int64_t instead of overflowing.
int64_t SaturatedSum(int64_t a, int64_t b) {
  if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) {
    return std::numeric_limits<int64_t>::max();
  }
  if (b < 0 && a < std::numeric_limits<int64_t>::min() - b) {
    return std::numeric_limits<int64_t>::min();
  }
  return a + b;
}

bool ValidRate(AVRational rate) {
  return rate.num > 0 && rate.den > 0;
}

// The name FFmpeg gives the primaries, or those a frame read with that matrix is taken in.
std::string PrimariesName(AVColorPrimaries tagged, ColourMatrix matrix, int height) {
  if (tagged != AVCOL_PRI_UNSPECIFIED && tagged != AVCOL_PRI_RESERVED &&
      tagged != AVCOL_PRI_RESERVED0) {
    const char* name = av_color_primaries_name(tagged);
    if (name != nullptr) return name;
  }
  switch (matrix) {
    case ColourMatrix::kBt601:
      return height == 576 ? "bt470bg" : "smpte170m";
    case ColourMatrix::kBt2020:
      return "bt2020";
    case ColourMatrix::kSmpte240m:
      return "smpte240m";
    case ColourMatrix::kFcc:
      return "bt470m";
    case ColourMatrix::kBt709:
    case ColourMatrix::kNone:  // RGB images: sRGB, whose primaries are BT.709's
      break;
  }
  return "bt709";
}

// The matrix a frame was read with, as FFmpeg tags it: its own tag, or the one of the matrix
// assumed (BT.601 as the primaries are named: PAL's for 576 lines, NTSC's otherwise).
AVColorSpace ColourSpaceRead(const ColourReading& colour, AVColorSpace tagged, int height) {
  if (colour.matrix == ColourMatrix::kNone) return AVCOL_SPC_RGB;
  if (!colour.assumed) return tagged;
  if (colour.matrix == ColourMatrix::kBt709) return AVCOL_SPC_BT709;
  return height == 576 ? AVCOL_SPC_BT470BG : AVCOL_SPC_SMPTE170M;
}

struct Decoded {
  FramePtr frame;
  int64_t pts = 0;       // stream ticks
  int64_t duration = 0;  // stream ticks, at least 1
  int64_t End() const { return SaturatedSum(pts, duration); }
};

struct Fault {
  // Stream ticks: the end of the last frame decoded, or, with none since the last seek, the
  // failing packet's time (AV_NOPTS_VALUE when unknown) and then the time sought.
  int64_t at;
  std::string why;
};

struct Lookup {
  FileStatus status;
  const Decoded* decoded = nullptr;
};

enum class Step { kFrame, kEnd, kFault, kStopped };
enum class Found { kFrame, kNone, kFault, kStopped };

}  // namespace

struct FootageReader::State {
  fs::path path;
  FootageInfo info;
  InputContextPtr input;
  AVStream* stream = nullptr;
  AVRational time_base{1, 1};
  CodecContextPtr decoder;
  PacketPtr packet;

  // The frame on screen from its time until the next one's, and that next one once decoded.
  Decoded held;
  Decoded ahead;
  bool has_held = false;
  bool has_ahead = false;
  bool from_start = true;      // the frames since the last seek began at the file's start
  bool input_ended = false;    // the decoder was told that no packets follow
  bool decoder_ended = false;  // ... and has given all its frames
  // What stopped the packets; it is told once the decoder has given the frames it holds, and
  // then stays until a seek.
  std::optional<Fault> reading_fault;
  std::optional<Fault> fault;

  int64_t origin = 0;                   // stream ticks at the footage's time zero
  int64_t first_pts = 0;                // of the file's first frame
  int64_t stated_end = AV_NOPTS_VALUE;  // where the file says its video ends
  int64_t frame_interval = 1;           // ticks a frame lasts when neither it nor the file says
  int64_t one_second = 1;
  int64_t last_pts = AV_NOPTS_VALUE;  // of the last frame decoded
  int64_t last_end = AV_NOPTS_VALUE;
  int64_t last_read = AV_NOPTS_VALUE;  // the decoding time of the last packet read
  int64_t sought = 0;                  // the time of the last seek

  Orientation orientation;
  A_long stored_width = 0;  // a frame as stored, before it is turned
  A_long stored_height = 0;
  FrameConverter converter;
  std::optional<headless::OwnedWorld> world;
  std::vector<PF_Pixel> upright;  // a frame as stored, for footage that is turned
  bool shown = false;             // the world holds the frame of shown_pts
  int64_t shown_pts = 0;

  FileStatus Failed(const std::string& why) const { return FailureFor(path, why); }

  FileStatus FailedAt(int64_t ticks, const std::string& why) const {
    return FileStatus::Failure("cannot read " + Quoted(path) + " at " + TimeText(ticks) + ": " +
                               why);
  }

  std::string TimeText(int64_t ticks) const {
    const double seconds =
        (static_cast<double>(ticks) - static_cast<double>(origin)) * av_q2d(time_base);
    char text[64];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
  }

  // Times its pts and duration on a frame just decoded. A frame without a duration lasts as
  // long as the gap before it, or a frame at the file's rate.
  void Stamp(Decoded& decoded) {
    const AVFrame& frame = *decoded.frame;
    int64_t pts = frame.best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) pts = last_end != AV_NOPTS_VALUE ? last_end : origin;
    int64_t duration = DurationOf(frame);
    if (duration <= 0) {
      duration = last_pts != AV_NOPTS_VALUE && pts > last_pts ? pts - last_pts : frame_interval;
    }
    decoded.pts = pts;
    decoded.duration = duration;
    last_pts = pts;
    last_end = decoded.End();
  }

  void EndInput() {
    input_ended = true;
    avcodec_send_packet(decoder.get(), nullptr);
  }

  // Reads the video's next packet into the decoder; a failure ends the input.
  void ReadPacket() {
    int error = av_read_frame(input.get(), packet.get());
    if (error < 0) {
      if (headless::InterruptionRequested()) return;  // not the file's fault; asked again later
      if (error != AVERROR_EOF) {
        reading_fault = Fault{AV_NOPTS_VALUE, "reading failed: " + ErrorText(error)};
      }
      EndInput();
      return;
    }
    if (packet->stream_index != stream->index) {
      av_packet_unref(packet.get());
      return;
    }
    const int64_t at = packet->pts;
    last_read = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    // A packet the file has only part of (it is cut short there) comes marked corrupt.
    if ((packet->flags & AV_PKT_FLAG_CORRUPT) != 0) {
      av_packet_unref(packet.get());
      reading_fault = Fault{at, "the file is cut short or damaged here"};
      EndInput();
      return;
    }
    error = avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
    if (error < 0) {
      reading_fault = Fault{
          at, "the " + std::string(decoder->codec->name) + " decoder failed: " + ErrorText(error)};
      EndInput();
    }
  }

  Step DecodeInto(Decoded& into) {
    while (true) {
      if (headless::InterruptionRequested()) return Step::kStopped;
      if (decoder_ended) return fault ? Step::kFault : Step::kEnd;
      const int error = avcodec_receive_frame(decoder.get(), into.frame.get());
      if (error == 0) {
        Stamp(into);
        return Step::kFrame;
      }
      if (error == AVERROR(EAGAIN) && !input_ended) {
        ReadPacket();
        continue;
      }
      decoder_ended = true;
      if (error != AVERROR_EOF && error != AVERROR(EAGAIN)) {
        fault = Fault{AV_NOPTS_VALUE, "the " + std::string(decoder->codec->name) +
                                          " decoder failed: " + ErrorText(error)};
      } else if (reading_fault) {
        fault = std::move(reading_fault);
        reading_fault.reset();
      }
      if (fault && last_end != AV_NOPTS_VALUE) {
        fault->at = last_end;
      } else if (fault && fault->at == AV_NOPTS_VALUE) {
        fault->at = sought;
      }
    }
  }

  void Reset(bool at_start, int64_t target) {
    avcodec_flush_buffers(decoder.get());
    sought = target;
    last_read = AV_NOPTS_VALUE;
    has_held = false;
    has_ahead = false;
    from_start = at_start;
    input_ended = false;
    decoder_ended = false;
    reading_fault.reset();
    fault.reset();
    last_pts = AV_NOPTS_VALUE;
    last_end = AV_NOPTS_VALUE;
  }

  bool StartOver() {
    const int64_t start = input->start_time != AV_NOPTS_VALUE ? input->start_time : 0;
    const int error =
        avformat_seek_file(input.get(), -1, std::numeric_limits<int64_t>::min(), start, start, 0);
    if (error < 0) {
      Reset(false, origin);
      decoder_ended = true;
      fault = Fault{origin, "cannot go back to its start: " + ErrorText(error)};
      return false;
    }
    Reset(true, origin);
    return true;
  }

  // To the keyframe at or before `target`, or to the start when the file cannot say.
  bool SeekBefore(int64_t target) {
    const int error = avformat_seek_file(input.get(), stream->index,
                                         std::numeric_limits<int64_t>::min(), target, target, 0);
    if (error < 0) return StartOver();
    Reset(false, target);
    return true;
  }

  // Whether a seek beats decoding on to `target`, a second or more ahead: when the file's index
  // has a keyframe before it that has not been read yet, or, with no index, when it is far
  // ahead.
  bool WorthSeekingAhead(int64_t target) {
    const int64_t position = has_ahead ? ahead.pts : held.pts;
    if (target - position < one_second) return false;
    if (avformat_index_get_entries_count(stream) > 0) {
      const AVIndexEntry* key =
          avformat_index_get_entry_from_timestamp(stream, target, AVSEEK_FLAG_BACKWARD);
      return key != nullptr && (last_read == AV_NOPTS_VALUE || key->timestamp > last_read);
    }
    return target - position > 5 * one_second;
  }

  // Decodes to the frame on screen at `target` (stream ticks), leaving it in `held`.
  Found Locate(int64_t target) {
    if (has_held) {
      const bool back = target < held.pts && held.pts > first_pts;
      if ((back || WorthSeekingAhead(target)) && !SeekBefore(target)) return Found::kFault;
    } else if (decoder_ended && !SeekBefore(target)) {
      return Found::kFault;  // a seek found nothing but a fault: each time is tried afresh
    }
    int retreats = 0;
    while (true) {
      if (!has_held) {
        const Step step = DecodeInto(held);
        if (step == Step::kStopped) return Found::kStopped;
        if (step == Step::kFault) return Found::kFault;
        if (step == Step::kEnd) {
          // A seek may land past the last keyframe's frames; from the start, the end is real.
          if (from_start) return Found::kNone;
          if (!StartOver()) return Found::kFault;
          continue;
        }
        has_held = true;
      }
      if (target < held.pts && held.pts > first_pts && !from_start) {
        // The seek landed after the time asked for: further back, and at last from the start.
        static constexpr int64_t kRetreatSeconds[] = {1, 4, 16};
        if (retreats == 3) {
          if (!StartOver()) return Found::kFault;
        } else {
          const int64_t back = kRetreatSeconds[retreats++] * one_second;
          if (!SeekBefore(SaturatedSum(target, -back))) return Found::kFault;
        }
        continue;
      }
      if (target < held.pts) return Found::kFrame;  // before the first frame: the first
      if (!has_ahead) {
        const Step step = DecodeInto(ahead);
        if (step == Step::kStopped) return Found::kStopped;
        if (step != Step::kFrame) {
          if (target < held.End()) return Found::kFrame;
          if (step == Step::kFault) return Found::kFault;
          return CutShort() ? Found::kFault : Found::kNone;
        }
        has_ahead = true;
      }
      if (target < ahead.pts) return Found::kFrame;
      std::swap(held, ahead);
      has_ahead = false;
    }
  }

  // At the end of the frames, whether more than a frame is missing from the length the file
  // states: a file cut short, which is told as a fault from there on.
  bool CutShort() {
    if (stated_end == AV_NOPTS_VALUE || stated_end - held.End() <= held.duration) return false;
    const std::string why =
        "the file is cut short: its frames stop here, and it says they go on to ";
    fault = Fault{held.End(), why + TimeText(stated_end)};
    return true;
  }

  // The decoded frame on screen at `time` / `time_scale` seconds from the footage's start: null
  // when there is none then (the footage has ended), or with the failure.
  Lookup Find(int64_t time, int32_t time_scale) {
    if (time_scale <= 0) return {Failed("a time scale must be positive"), nullptr};
    if (info.still) return {{}, &held};
    // To the nearest tick of the file's clock, as its timestamps were rounded when written: a
    // frame at 2/30 s stored at 67 ms is on screen at 2/30 s.
    const int64_t offset =
        av_rescale_q_rnd(time, {1, time_scale}, time_base,
                         static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    switch (Locate(SaturatedSum(origin, offset))) {
      case Found::kFrame:
        return {{}, &held};
      case Found::kNone:
        return {};
      case Found::kStopped:
        return {Failed("stopped"), nullptr};
      case Found::kFault:
        break;
    }
    return {FailedAt(fault->at, fault->why), nullptr};
  }

  FootageFrame Show(const Decoded& decoded) {
    if (shown && shown_pts == decoded.pts) return {{}, &world->world()};
    shown = false;
    try {
      if (!world) world.emplace(info.width, info.height);
      if (!orientation.Upright() && upright.empty()) {
        upright.resize(static_cast<size_t>(stored_width) * static_cast<size_t>(stored_height));
      }
    } catch (const headless::MemoryBudgetError& error) {
      return {Failed(error.what()), nullptr};
    } catch (const std::bad_alloc&) {
      return {Failed("no memory for a " + SizeText(info.width, info.height) + " frame"), nullptr};
    }
    const AVFrame& frame = *decoded.frame;
    const AVCodecID codec = decoder->codec_id;
    const bool premultiply = HasAlpha(frame);
    PF_EffectWorld& pixels = world->world();
    std::string why;
    if (orientation.Upright()) {
      if (!converter.ToStraight(frame, codec, pixels.width, pixels.height,
                                headless::WorldRow(pixels, 0), pixels.rowbytes, why)) {
        return {FailedAt(decoded.pts, why), nullptr};
      }
      if (premultiply) {
        for (A_long y = 0; y < pixels.height; ++y) {
          PF_Pixel* row = headless::WorldRow(pixels, y);
          for (A_long x = 0; x < pixels.width; ++x) row[x] = headless::Premultiply(row[x]);
        }
      }
    } else {
      const int stride = stored_width * static_cast<int>(sizeof(PF_Pixel));
      if (!converter.ToStraight(frame, codec, stored_width, stored_height, upright.data(), stride,
                                why)) {
        return {FailedAt(decoded.pts, why), nullptr};
      }
      OrientedPlacement(orientation, stored_width, stored_height)
          .Lay(upright.data(), stride, premultiply, pixels);
    }
    shown = true;
    shown_pts = decoded.pts;
    return {{}, &pixels};
  }

  // Takes the first frame's measure: its size, colour and time.
  FileStatus Describe(const AVCodec& codec) {
    const AVFrame& frame = *held.frame;
    stored_width = frame.width;
    stored_height = frame.height;
    const OrientedPlacement placement(orientation, stored_width, stored_height);
    info.width = placement.width();
    info.height = placement.height();
    if (info.width > PF_MAX_WORLD_WIDTH || info.height > PF_MAX_WORLD_HEIGHT) {
      return Failed("its frames are " + SizeText(info.width, info.height) +
                    ", larger than the host's " +
                    SizeText(PF_MAX_WORLD_WIDTH, PF_MAX_WORLD_HEIGHT));
    }
    info.frame_bytes = static_cast<uint64_t>(headless::WorldRowBytes(info.width)) *
                       static_cast<uint64_t>(info.height);
    if (!orientation.Upright()) {
      info.frame_bytes += static_cast<uint64_t>(stored_width) *
                          static_cast<uint64_t>(stored_height) * sizeof(PF_Pixel);
    }
    info.alpha = HasAlpha(frame);
    const ColourReading colour =
        ReadColour(static_cast<AVPixelFormat>(frame.format), frame.colorspace, frame.color_range,
                   codec.id, frame.width, frame.height);
    info.matrix = colour.matrix;
    info.full_range = colour.full_range;
    info.colour_assumed = colour.assumed;
    info.primaries = PrimariesName(frame.color_primaries, colour.matrix, frame.height);
    info.native.pixel_format = frame.format;
    info.native.colour_space = ColourSpaceRead(colour, frame.colorspace, frame.height);
    info.native.colour_range = colour.full_range ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    info.native.primaries = frame.color_primaries;
    info.native.transfer = frame.color_trc;
    info.codec = codec.name;
    info.rotation = orientation.rotation;
    info.mirrored = orientation.mirrored;

    first_pts = held.pts;
    origin = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : held.pts;
    info.start = static_cast<double>(origin) * av_q2d(time_base);
    if (stream->duration != AV_NOPTS_VALUE) {
      stated_end = SaturatedSum(origin, stream->duration);
    } else if (input->duration != AV_NOPTS_VALUE) {
      const int64_t start = input->start_time != AV_NOPTS_VALUE ? input->start_time : 0;
      stated_end = av_rescale_q(SaturatedSum(start, input->duration), AVRational{1, AV_TIME_BASE},
                                time_base);
    }
    if (info.still) {
      info.duration = std::numeric_limits<double>::infinity();
    } else if (stated_end != AV_NOPTS_VALUE) {
      info.duration = static_cast<double>(stated_end - origin) * av_q2d(time_base);
    }
    return {};
  }
};

FootageReader::FootageReader(std::unique_ptr<State> state) : state_(std::move(state)) {}

FootageReader::~FootageReader() = default;

std::unique_ptr<FootageReader> FootageReader::Open(const fs::path& path, FileStatus& status,
                                                   int decoder_threads) {
  auto state = std::make_unique<State>();
  State& s = *state;
  s.path = path;
  const auto fail = [&status, &s](const std::string& why) {
    status = s.Failed(why);
    return nullptr;
  };
  std::error_code error_code;
  if (!fs::exists(path, error_code)) return fail("no such file");
  if (fs::is_directory(path, error_code)) return fail("it is a folder, not a file");

  InstallFfmpegMessages();
  AVFormatContext* opened = avformat_alloc_context();
  if (opened == nullptr) return fail("out of memory");
  opened->interrupt_callback = {StopRequested, nullptr};
  // A name with % in it is the name of one file, not a pattern for a sequence of images.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "pattern_type", "none", 0);
  int error = avformat_open_input(&opened, path.string().c_str(), nullptr, &options);
  av_dict_free(&options);
  if (error < 0) {  // avformat_open_input has freed the context
    if (headless::InterruptionRequested()) return fail("stopped");
    if (error == AVERROR_INVALIDDATA) return fail("not a media file that FFmpeg's libraries know");
    return fail(ErrorText(error));
  }
  s.input.reset(opened);
  error = avformat_find_stream_info(opened, nullptr);
  if (error < 0) {
    return fail(headless::InterruptionRequested() ? "stopped" : "unreadable: " + ErrorText(error));
  }

  const AVCodec* found = nullptr;
  const int index = av_find_best_stream(opened, AVMEDIA_TYPE_VIDEO, -1, -1, &found, 0);
  if (index == AVERROR_DECODER_NOT_FOUND) {
    const int stored = av_find_best_stream(opened, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodecID id =
        stored >= 0 ? opened->streams[stored]->codecpar->codec_id : AV_CODEC_ID_NONE;
    if (id == AV_CODEC_ID_NONE)
      return fail("its video is in a codec that FFmpeg's libraries do not know");
    return fail("its video is " + std::string(avcodec_get_name(id)) +
                ", which this FFmpeg cannot decode");
  }
  if (index < 0 || (opened->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
    return fail("it has no video stream");
  }
  s.stream = opened->streams[index];
  s.time_base = s.stream->time_base;
  for (unsigned i = 0; i < opened->nb_streams; ++i) {
    AVStream& other = *opened->streams[i];
    if (other.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) s.info.audio = true;
    if (static_cast<int>(i) != index) other.discard = AVDISCARD_ALL;  // not read at all
  }
  const AVCodecParameters& parameters = *s.stream->codecpar;
  // Checked before a frame is decoded, as decoding one may take the memory of several.
  if (parameters.width > PF_MAX_WORLD_WIDTH || parameters.height > PF_MAX_WORLD_HEIGHT) {
    return fail("its frames are " + SizeText(parameters.width, parameters.height) +
                ", larger than the host's " + SizeText(PF_MAX_WORLD_WIDTH, PF_MAX_WORLD_HEIGHT));
  }

  const AVCodec* codec = DecoderFor(*s.stream, found);
  s.decoder.reset(avcodec_alloc_context3(codec));
  s.packet.reset(av_packet_alloc());
  s.held.frame.reset(av_frame_alloc());
  s.ahead.frame.reset(av_frame_alloc());
  if (!s.decoder || !s.packet || !s.held.frame || !s.ahead.frame) return fail("out of memory");
  error = avcodec_parameters_to_context(s.decoder.get(), &parameters);
  if (error < 0) return fail(ErrorText(error));
  s.decoder->pkt_timebase = s.time_base;
  s.decoder->thread_count = decoder_threads;
  error = avcodec_open2(s.decoder.get(), codec, nullptr);
  if (error < 0) {
    return fail("the " + std::string(codec->name) + " decoder cannot start: " + ErrorText(error));
  }

  s.info.still = IsImageDemuxer(opened->iformat->name) && s.stream->nb_frames <= 1;
  AVRational rate = s.stream->avg_frame_rate;
  if (!ValidRate(rate)) rate = s.stream->r_frame_rate;
  if (s.info.still || !ValidRate(rate)) {
    s.info.rate_numerator = 0;
    s.info.rate_denominator = 1;
    rate = {25, 1};  // only to time frames that carry no duration
  } else {
    s.info.rate_numerator = rate.num;
    s.info.rate_denominator = rate.den;
  }
  s.frame_interval = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), s.time_base));
  s.one_second = std::max<int64_t>(1, av_rescale_q(1, {1, 1}, s.time_base));
  if (const int32_t* matrix = DisplayMatrixOf(*s.stream)) {
    s.orientation = OrientationFromDisplayMatrix(matrix);
  }

  switch (s.DecodeInto(s.held)) {
    case Step::kFrame:
      break;
    case Step::kEnd:
      return fail("it holds no video frames");
    case Step::kFault:
      return fail("its first frame cannot be decoded: " + s.fault->why);
    case Step::kStopped:
      return fail("stopped");
  }
  s.has_held = true;
  if (FileStatus described = s.Describe(*codec); !described) {
    status = std::move(described);
    return nullptr;
  }
  status = {};
  return std::unique_ptr<FootageReader>(new FootageReader(std::move(state)));
}

FootageFrame FootageReader::FrameAt(int64_t time, int32_t time_scale) {
  State& s = *state_;
  const Lookup found = s.Find(time, time_scale);
  if (found.decoded == nullptr) return {found.status, nullptr};
  return s.Show(*found.decoded);
}

FootageNativeFrame FootageReader::NativeFrameAt(int64_t time, int32_t time_scale) {
  State& s = *state_;
  if (!s.orientation.Upright()) {
    return {s.Failed("its frames are stored turned (" + std::to_string(s.orientation.rotation) +
                     " degrees" + (s.orientation.mirrored ? ", mirrored" : "") +
                     "), and only upright ones are given as decoded"),
            nullptr};
  }
  const Lookup found = s.Find(time, time_scale);
  if (found.decoded == nullptr) return {found.status, nullptr};
  return {{}, found.decoded->frame.get()};
}

bool FootageInputAvailable() {
  return true;
}

#else

struct FootageReader::State {
  fs::path path;
  FootageInfo info;
};

FootageReader::FootageReader(std::unique_ptr<State> state) : state_(std::move(state)) {}

FootageReader::~FootageReader() = default;

std::unique_ptr<FootageReader> FootageReader::Open(const fs::path& path, FileStatus& status, int) {
  status = FailureFor(path, "this build has no footage input (FFmpeg's libraries)");
  return nullptr;
}

FootageFrame FootageReader::FrameAt(int64_t, int32_t) {
  return {FailureFor(state_->path, "this build has no footage input"), nullptr};
}

FootageNativeFrame FootageReader::NativeFrameAt(int64_t, int32_t) {
  return {FailureFor(state_->path, "this build has no footage input"), nullptr};
}

bool FootageInputAvailable() {
  return false;
}

#endif

const FootageInfo& FootageReader::info() const {
  return state_->info;
}

FileStatus FootageReader::CheckMemoryBudget() const {
  const FootageInfo& info = state_->info;
  const uint64_t budget = headless::MemoryBudget();
  if (info.frame_bytes <= budget) return {};
  return FailureFor(state_->path, "a " + SizeText(info.width, info.height) + " frame takes " +
                                      headless::ShownBytes(info.frame_bytes) +
                                      ", more than the memory budget of " +
                                      headless::ShownBytes(budget));
}

}  // namespace quorvel::media
