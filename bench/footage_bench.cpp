// SPDX-License-Identifier: MIT
// Footage decoding: 90 frames of 1920x1080 H.264 (testsrc2, made by the ffmpeg tool) read in
// order through the footage reader on one thread, beside FFmpeg's bare decoding of the same
// frames, with and without libswscale's fast conversion to ARGB, on one thread too.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "media/common/ffmpeg_handles.h"
#include "media/footage/footage_reader.h"

namespace quorvel::bench {
namespace {

namespace fs = std::filesystem;
using media::CodecContextPtr;
using media::FramePtr;
using media::InputContextPtr;
using media::PacketPtr;
using media::ScalePtr;

constexpr int kFrames = 90;

const fs::path& Clip() {
  static const fs::path clip = [] {
    const fs::path path = fs::temp_directory_path() / "quorvel_footage_bench_1080p.mp4";
    const std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30 -frames:v " +
        std::to_string(kFrames) +
        " -c:v libx264 -preset veryfast -pix_fmt yuv420p -colorspace bt709 -g 30 '" +
        path.string() + "'";
    if (std::system(command.c_str()) != 0) return fs::path();
    return path;
  }();
  return clip;
}

void ThroughTheReader(benchmark::State& state) {
  if (Clip().empty()) return state.SkipWithError("the ffmpeg tool could not make the clip");
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    media::FileStatus status;
    const auto reader = media::FootageReader::Open(Clip(), status, 1);
    if (!reader) return state.SkipWithError(status.message.c_str());
    for (int n = 0; n < kFrames; ++n) {
      const media::FootageFrame frame = reader->FrameAt(n, 30);
      if (frame.world == nullptr) return state.SkipWithError(frame.status.message.c_str());
      benchmark::DoNotOptimize(frame.world->data);
    }
    state.SetIterationTime(SecondsSince(start));
  }
  state.counters["fps"] =
      benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}

// FFmpeg's own decoding, on one thread, each frame converted to ARGB by libswscale's fast path
// (as the ffmpeg tool converts) when `convert`.
void BareFfmpeg(benchmark::State& state, bool convert) {
  if (Clip().empty()) return state.SkipWithError("the ffmpeg tool could not make the clip");
  std::vector<uint8_t> argb(size_t{1920} * 1080 * 4);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, Clip().c_str(), nullptr, nullptr) < 0) {
      return state.SkipWithError("cannot open the clip");
    }
    const InputContextPtr input(opened);
    avformat_find_stream_info(opened, nullptr);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(opened, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    const CodecContextPtr decoder(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(decoder.get(), opened->streams[index]->codecpar);
    decoder->thread_count = 1;
    avcodec_open2(decoder.get(), codec, nullptr);
    const PacketPtr packet(av_packet_alloc());
    const FramePtr frame(av_frame_alloc());
    const ScalePtr scale(sws_getContext(1920, 1080, AV_PIX_FMT_YUV420P, 1920, 1080, AV_PIX_FMT_ARGB,
                                        SWS_BICUBIC, nullptr, nullptr, nullptr));
    int frames = 0;
    const auto take = [&] {
      while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
        ++frames;
        if (!convert) continue;
        uint8_t* planes[1] = {argb.data()};
        const int strides[1] = {1920 * 4};
        sws_scale(scale.get(), frame->data, frame->linesize, 0, 1080, planes, strides);
      }
    };
    while (av_read_frame(opened, packet.get()) == 0) {
      if (packet->stream_index == index) avcodec_send_packet(decoder.get(), packet.get());
      av_packet_unref(packet.get());
      take();
    }
    avcodec_send_packet(decoder.get(), nullptr);
    take();
    if (frames != kFrames) return state.SkipWithError("the clip lost frames");
    state.SetIterationTime(SecondsSince(start));
  }
  state.counters["fps"] =
      benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}

void RegisterAll() {
  RegisterSelfTimed("footage_1080p_h264/reader", ThroughTheReader);
  RegisterSelfTimed("footage_1080p_h264/ffmpeg_decode", BareFfmpeg, false);
  RegisterSelfTimed("footage_1080p_h264/ffmpeg_decode_fast_argb", BareFfmpeg, true);
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::RegisterAll);
}
