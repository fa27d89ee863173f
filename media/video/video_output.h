// SPDX-License-Identifier: MIT
// Frames out to a video file through FFmpeg's libraries: ProRes 4444 with alpha (or 422 HQ
// without) in .mov, VP9 with alpha in .webm, H.264 in .mp4, tagged BT.709 in limited range, with
// sound from a media file if asked (media/audio/). The file is written under a temporary name
// beside the output and renamed into place by Finish(); a writer dropped before that leaves
// nothing behind.
//
// An H.264 video may instead take footage's frames as they were decoded, in their own pixel format
// and colour, tagged as they are: the encoder is given them as they come, with no conversion.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "hostapi/host_api.h"
#include "media/audio/audio_source.h"
#include "media/common/native_format.h"
#include "media/image/file_output.h"

struct AVFrame;

namespace quorvel::media {

enum class VideoFormat { kProRes4444, kVp9WithAlpha, kH264, kProRes422Hq };

// The format an output name asks for by its extension (.mov, .webm, .mp4), if any; .mov is
// ProRes 4444 (422 HQ is asked for by name).
std::optional<VideoFormat> VideoFormatFor(const std::filesystem::path& path);
// Whether this build can write video (it needs FFmpeg's libraries).
bool VideoOutputAvailable();

struct VideoSettings {
  VideoFormat format = VideoFormat::kProRes4444;
  A_long width = 0;
  A_long height = 0;
  // Frames per second as time units a second over units a frame (30000/1001 exactly).
  A_u_long time_scale = 30;
  A_long frame_duration = 1;
  // Frames are laid over it as PNGs are (media/image/background.h); H.264 has no alpha, so
  // they are laid over black too, and a transparent background is black there.
  PF_Pixel background{0, 0, 0, 0};
  // Takes FFmpeg's warnings and errors about this video, a line each, "<output>: <component>:
  // <message>"; its chatter (settings, statistics) is dropped. Standard error when not set.
  std::function<void(const std::string& line)> library_messages;
  // Quality and speed of H.264 and VP9 (media/video/encoder_settings.h lists what each takes);
  // unset, each format's default.
  std::optional<int> crf;
  std::optional<std::string> preset;
  // The sound, trimmed to the span the frames cover; none when unset.
  std::optional<AudioSource> audio;
  // Set, the video takes decoded frames of this format (FootageInfo::native) as they are, and its
  // stream is tagged with their colour; H.264 only, in a pixel format x264 takes (4:2:0, 4:2:2
  // or 4:4:4, 8 or 10 bits). Worlds are taken too, converted to that format and colour.
  std::optional<NativeFormat> native;
};

// Whether a video of `format` can take decoded frames of `native` as they are (H.264 only, in a
// pixel format x264 takes); the failure says why not, for a caller to composite through worlds
// instead.
FileStatus CheckNativeFormat(VideoFormat format, const NativeFormat& native);

class VideoWriter {
 public:
  // Opens the encoders, the sound's source and the temporary file; null and a failure naming the
  // output otherwise (and the sound's source when that is the fault).
  static std::unique_ptr<VideoWriter> Open(const OutputTarget& target,
                                           const VideoSettings& settings, FileStatus& status);
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // The next frame, premultiplied, of the settings' size; the sound that plays with it follows.
  FileStatus Write(const PF_EffectWorld& world);
  // The next frame, decoded, of the settings' size and native format, given to the encoder as it
  // is (the encoder keeps a reference: the caller's frame is not changed). Refused by a video not
  // opened for native frames.
  FileStatus Write(const AVFrame& frame);
  // Drains the encoders, ends the file and renames it into place. A request to stop
  // (headless::InterruptionRequested) is heard while the rest of the sound is written.
  FileStatus Finish();

 private:
  struct State;
  explicit VideoWriter(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quorvel::media
