// SPDX-License-Identifier: MIT
// FFmpeg's own messages while a video is written. Its libraries log through one callback for
// the whole process; installed once, it drops their chatter (settings, statistics) and passes
// each warning or error as one line naming the output, to whoever writes that output.
#pragma once

#include <functional>
#include <string>

namespace quorvel::media {

// Takes one line of FFmpeg's, "<output>: <component>: <message>".
using LibraryMessageSink = std::function<void(const std::string& line)>;

// Routes FFmpeg's messages through this module from now on (once; every reader and writer
// calls it): chatter is dropped, and so is what demuxers and decoders say of footage being
// read, whose faults the reader tells itself.
void InstallFfmpegMessages();

// While a route lives, FFmpeg's warnings and errors go to its sink (to the newest route when
// several live); with none, to standard error.
class FfmpegMessageRoute {
 public:
  FfmpegMessageRoute(std::string output, LibraryMessageSink sink);
  ~FfmpegMessageRoute();
  FfmpegMessageRoute(const FfmpegMessageRoute&) = delete;
  FfmpegMessageRoute& operator=(const FfmpegMessageRoute&) = delete;

  void Deliver(const std::string& message) const;

 private:
  std::string output_;
  LibraryMessageSink sink_;
};

}  // namespace quorvel::media
