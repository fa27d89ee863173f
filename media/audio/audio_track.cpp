// SPDX-License-Identifier: MIT
#if QUORVEL_HAVE_FFMPEG

#include "media/audio/audio_track.h"

#include <cstring>
#include <string>
#include <utility>

#include "media/audio/packet_copy.h"
#include "media/audio/sound_encoder.h"

namespace quorvel::media {
namespace {

// The codecs each container takes as they are.
bool ContainerTakes(const AVOutputFormat& container, AVCodecID codec) {
  if (std::strcmp(container.name, "webm") == 0) {
    return codec == AV_CODEC_ID_OPUS || codec == AV_CODEC_ID_VORBIS;
  }
  return codec == AV_CODEC_ID_AAC;  // .mp4, .mov
}

std::unique_ptr<AudioInput> OpenSource(const AudioSource& source, FileStatus& status) {
  std::string why;
  AudioInput::Failure failure = AudioInput::Failure::kNone;
  std::unique_ptr<AudioInput> input = AudioInput::Open(source.path, why, failure);
  if (!input) {
    status = FileStatus::Failure("cannot read the sound of '" + source.path.string() + "': " + why);
  }
  return input;
}

}  // namespace

std::unique_ptr<AudioTrack> AudioTrack::Add(AVFormatContext& output, const AudioSource& source,
                                            FileStatus& status) {
  if (!(source.end > source.start)) {
    status = FileStatus::Failure("the sound's span ends before it starts");
    return nullptr;
  }
  std::unique_ptr<AudioInput> input = OpenSource(source, status);
  if (!input) return nullptr;
  if (ContainerTakes(*output.oformat, input->parameters().codec_id)) {
    std::unique_ptr<PacketCopy> copy = PacketCopy::Start(output, std::move(input), source, status);
    if (copy || !status) return copy;
    input = OpenSource(source, status);  // read anew, to be decoded from its start
    if (!input) return nullptr;
  }
  return SoundEncoder::Start(output, std::move(input), source, status);
}

}  // namespace quorvel::media

#endif
