// SPDX-License-Identifier: MIT
#include "media/video/ffmpeg_messages.h"

#if QUORVEL_HAVE_FFMPEG

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace quorvel::media {
namespace {

std::mutex& RoutesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<const FfmpegMessageRoute*>& Routes() {
  static std::vector<const FfmpegMessageRoute*> routes;  // the newest last
  return routes;
}

// "libx264", "mov": the part of FFmpeg that speaks, as its own log prefix names it.
std::string SpeakerOf(void* context) {
  if (context == nullptr) return {};
  const AVClass* type = *static_cast<const AVClass* const*>(context);
  if (type == nullptr || type->item_name == nullptr) return {};
  return type->item_name(context);
}

// A demuxer's or a decoder's: footage being read, whose faults the reader tells in its own
// words, naming the file and the time.
bool FromReading(void* context) {
  if (context == nullptr) return false;
  const AVClass* type = *static_cast<const AVClass* const*>(context);
  if (type == nullptr || type->class_name == nullptr) return false;
  const std::string name = type->class_name;
  if (name == "AVFormatContext") return static_cast<AVFormatContext*>(context)->iformat != nullptr;
  if (name == "AVCodecContext") {
    const AVCodec* codec = static_cast<AVCodecContext*>(context)->codec;
    return codec != nullptr && av_codec_is_decoder(codec) != 0;
  }
  return false;
}

void OnMessage(void* context, int level, const char* format, va_list arguments) {
  if (level > AV_LOG_WARNING) return;  // information, statistics, debugging
  if (FromReading(context)) return;
  va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  if (length <= 0) return;
  std::string piece(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(piece.data(), piece.size(), format, arguments);
  piece.resize(static_cast<size_t>(length));

  // A message may come in pieces, and is whole at its last newline; one that runs over several
  // lines is told on one.
  thread_local std::string pending;
  thread_local std::string speaker;
  if (pending.empty()) speaker = SpeakerOf(context);
  pending += piece;
  if (pending.back() != '\n') return;
  std::string message = std::move(pending);
  pending.clear();
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  std::replace(message.begin(), message.end(), '\n', ' ');
  if (!speaker.empty()) message = speaker + ": " + message;

  const std::lock_guard<std::mutex> lock(RoutesMutex());
  if (Routes().empty()) {
    std::fprintf(stderr, "%s\n", message.c_str());
  } else {
    Routes().back()->Deliver(message);
  }
}

}  // namespace

void InstallFfmpegMessages() {
  static std::once_flag installed;
  std::call_once(installed, [] { av_log_set_callback(OnMessage); });
}

FfmpegMessageRoute::FfmpegMessageRoute(std::string output, LibraryMessageSink sink)
    : output_(std::move(output)), sink_(std::move(sink)) {
  InstallFfmpegMessages();
  const std::lock_guard<std::mutex> lock(RoutesMutex());
  Routes().push_back(this);
}

FfmpegMessageRoute::~FfmpegMessageRoute() {
  const std::lock_guard<std::mutex> lock(RoutesMutex());
  std::vector<const FfmpegMessageRoute*>& routes = Routes();
  routes.erase(std::find(routes.begin(), routes.end(), this));
}

void FfmpegMessageRoute::Deliver(const std::string& message) const {
  const std::string line = output_ + ": " + message;
  if (sink_) {
    sink_(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

}  // namespace quorvel::media

#endif
