// SPDX-License-Identifier: MIT
// Files the media tests write, read back with FFmpeg's libraries as a player would; and test
// footage made with FFmpeg's command line from its test sources.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::media::test {

struct StreamProbe {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  AVCodecID codec = AV_CODEC_ID_NONE;
  int profile = 0;  // FF_PROFILE_*
  AVPixelFormat pixels = AV_PIX_FMT_NONE;
  // The colour its stream is tagged with.
  AVColorSpace colour_space = AVCOL_SPC_UNSPECIFIED;
  AVColorRange colour_range = AVCOL_RANGE_UNSPECIFIED;
  AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
  AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
  int sample_rate = 0;
  int channels = 0;
  // Seconds on the file's timeline: where the stream is first shown or heard (its first packet,
  // less the samples its decoder is told to skip) and where it ends (its last packet's end,
  // less the samples to discard).
  double start = 0;
  double end = 0;
  int64_t samples = 0;               // decoded, as a player hears them
  std::vector<std::string> packets;  // the payloads, in file order
  double duration() const { return end - start; }
};

struct MediaProbe {
  bool opened = false;
  std::vector<StreamProbe> streams;
  // The first stream of the type, or null; not of a probe about to go.
  const StreamProbe* Find(AVMediaType type) const&;
  const StreamProbe* Find(AVMediaType type) const&& = delete;
};

MediaProbe ProbeMedia(const std::filesystem::path& path);

// The best audio stream's first channel, decoded as a player hears it.
struct DecodedSound {
  int rate = 0;
  std::vector<float> samples;
};
DecodedSound DecodeSound(const std::filesystem::path& path);

// Runs `ffmpeg -y <arguments> <path>` quietly; whether it made the file.
bool MakeWithFfmpeg(const std::string& arguments, const std::filesystem::path& path);

}  // namespace quorvel::media::test
