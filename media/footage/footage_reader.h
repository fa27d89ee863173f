// SPDX-License-Identifier: MIT
// Footage in: a movie (anything FFmpeg's libraries demux and decode) or a still image, opened as
// players open it, giving for any time the frame on screen then as a premultiplied world of its
// display size, rotation applied.
//
// A frame is on screen from its presentation time until the next frame's, so footage of any
// rate, variable ones included, is sampled right at any other. Before the first frame the first
// is shown; from the end of the last (its time plus its duration) there is no frame: the layer
// is transparent there. A still is one frame that lasts forever.
//
// Frames are decoded forward; the reader seeks (to the keyframe before) only when asked for an
// earlier time or for one well ahead. One thread at a time may use a reader: a job on each
// thread opens its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "hostapi/host_api.h"
#include "media/footage/footage_info.h"
#include "media/image/file_output.h"

struct AVFrame;

namespace quorvel::media {

struct FootageFrame {
  FileStatus status;  // a failure names the file and the time
  // The frame, premultiplied, of the footage's display size; null when there is none then (the
  // footage has ended) or on failure. Valid until the next call to the reader.
  const PF_EffectWorld* world = nullptr;
};

struct FootageNativeFrame {
  FileStatus status;  // a failure names the file and the time
  // The frame as the decoder gave it: its pixel format, size and colour as info().native says,
  // not converted. Null when there is none then or on failure. Valid until the next call to the
  // reader, and the reader's: to change it, take a reference of one's own (av_frame_clone).
  const AVFrame* frame = nullptr;
};

class FootageReader {
 public:
  // Opens the file and decodes its first frame; null, and one line naming the file and why
  // (missing, not a media file, no video stream, a codec this FFmpeg cannot decode, a frame past
  // the host's limits), otherwise. `decoder_threads` 0 lets FFmpeg choose.
  static std::unique_ptr<FootageReader> Open(const std::filesystem::path& path, FileStatus& status,
                                             int decoder_threads = 1);
  ~FootageReader();
  FootageReader(const FootageReader&) = delete;
  FootageReader& operator=(const FootageReader&) = delete;

  const FootageInfo& info() const;

  // Whether one frame (info().frame_bytes) fits in the host's memory budget at all; a caller
  // checks it before rendering, as the frame is made only when first asked for.
  FileStatus CheckMemoryBudget() const;

  // The frame on screen at `time` / `time_scale` seconds from the footage's start. A file that
  // fails partway (cut short, a decoder error) gives its frames up to the fault, then a failure
  // naming the time; a stop (headless::RequestInterruption) gives up promptly with a failure.
  FootageFrame FrameAt(int64_t time, int32_t time_scale);

  // The same frame as FrameAt's, by the same rules, as the decoder gave it, for footage that is
  // upright (rotation 0, not mirrored); a failure for any other.
  FootageNativeFrame NativeFrameAt(int64_t time, int32_t time_scale);

 private:
  struct State;
  explicit FootageReader(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Whether this build can read footage (it needs FFmpeg's libraries).
bool FootageInputAvailable();

}  // namespace quorvel::media
