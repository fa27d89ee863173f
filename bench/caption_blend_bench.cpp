// SPDX-License-Identifier: MIT
// Captions burnt into 1920x1080 yuv420p footage: a 1000x120 caption patch blended straight into
// the decoded frame's planes, beside the two conversions a frame takes on the way through RGB
// (the footage reader's exact conversion to ARGB, and the video writer's laying over the
// background and conversion back), which that blend saves.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"
#include "media/common/ffmpeg_handles.h"
#include "media/footage/frame_conversion.h"
#include "media/image/background.h"
#include "media/ycbcr/patch_blend.h"

namespace quorvel::bench {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr media::YcbcrColour kBt709{media::ColourMatrix::kBt709, false};

// A frame of varied content, as a decoder gives it.
media::FramePtr MakeFootageFrame() {
  media::FramePtr frame(av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = kWidth;
  frame->height = kHeight;
  frame->colorspace = AVCOL_SPC_BT709;
  frame->color_range = AVCOL_RANGE_MPEG;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane == 0 ? kWidth : kWidth / 2;
    const int height = plane == 0 ? kHeight : kHeight / 2;
    for (int y = 0; y < height; ++y) {
      uint8_t* row = frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane];
      for (int x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(16 + (x + 3 * y) % 220);
    }
  }
  return frame;
}

// A caption as the composition renders it: white strokes (about a fifth of the pixels, their
// edges antialiased) over a box of 60 % black behind them, or with no box.
headless::OwnedWorld MakeCaption(bool box) {
  headless::OwnedWorld caption(1000, 120);
  for (A_long y = 0; y < caption.height(); ++y) {
    for (A_long x = 0; x < caption.width(); ++x) {
      const int stroke = (x / 3 + y / 5) % 10;  // 0, 1: solid; 2: an edge
      PF_Pixel pixel = box ? PF_Pixel{153, 0, 0, 0} : PF_Pixel{0, 0, 0, 0};
      if (stroke < 2) pixel = {255, 255, 255, 255};
      if (stroke == 2) pixel = headless::Over({128, 128, 128, 128}, pixel);
      caption.At(x, y) = pixel;
    }
  }
  return caption;
}

// The blend into a frame of its own (written in place), or into a reference to a frame the
// decoder still holds (copied first, as av_frame_make_writable does then).
void Blend(benchmark::State& state, bool box, bool shared) {
  const media::FramePtr decoded = MakeFootageFrame();
  if (!decoded) return state.SkipWithError("no frame");
  const headless::OwnedWorld caption = MakeCaption(box);
  const media::PatchPlacement placement{460, 900, 255};
  std::string why;
  for (auto _ : state) {
    media::FramePtr frame(shared ? av_frame_clone(decoded.get()) : nullptr);
    AVFrame& target = shared ? *frame : *decoded;
    if (!media::BlendPatch(target, kBt709, caption.world(), placement, why)) {
      return state.SkipWithError(why.c_str());
    }
    benchmark::DoNotOptimize(target.data[0]);
  }
}

// The footage reader's conversion of each frame to ARGB, exact.
void FootageToArgb(benchmark::State& state) {
  const media::FramePtr decoded = MakeFootageFrame();
  if (!decoded) return state.SkipWithError("no frame");
  headless::OwnedWorld world(kWidth, kHeight);
  media::FrameConverter converter;
  std::string why;
  for (auto _ : state) {
    if (!converter.ToStraight(*decoded, AV_CODEC_ID_H264, kWidth, kHeight,
                              headless::WorldRow(world.world(), 0), world.world().rowbytes, why)) {
      return state.SkipWithError(why.c_str());
    }
    benchmark::DoNotOptimize(world.world().data);
  }
}

// The video writer's work on each composited frame: laid over the background, straight, then
// converted to yuv420p as it converts (media/video/video_output.cpp).
void WriterToYuv(benchmark::State& state) {
  headless::OwnedWorld world(kWidth, kHeight);
  for (A_long y = 0; y < kHeight; ++y) {
    for (A_long x = 0; x < kWidth; ++x) {
      world.At(x, y) = {255, static_cast<A_u_char>(x), static_cast<A_u_char>(y), 90};
    }
  }
  std::vector<PF_Pixel> straight(size_t{kWidth} * kHeight);
  const media::FramePtr frame(av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = kWidth;
  frame->height = kHeight;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return state.SkipWithError("no frame");
  const media::ScalePtr scale(sws_getContext(
      kWidth, kHeight, AV_PIX_FMT_ARGB, kWidth, kHeight, AV_PIX_FMT_YUV420P,
      SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
  const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(scale.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
  const PF_Pixel backdrop = media::BackdropFor({0, 0, 0, 0}, false);
  for (auto _ : state) {
    PF_Pixel* out = straight.data();
    for (A_long y = 0; y < kHeight; ++y) {
      const PF_Pixel* row = headless::WorldRow(world.world(), y);
      for (A_long x = 0; x < kWidth; ++x) *out++ = media::LaidOverBackdrop(row[x], backdrop);
    }
    const auto* source = reinterpret_cast<const uint8_t*>(straight.data());
    const int stride = kWidth * static_cast<int>(sizeof(PF_Pixel));
    sws_scale(scale.get(), &source, &stride, 0, kHeight, frame->data, frame->linesize);
    benchmark::DoNotOptimize(frame->data[0]);
  }
}

void RegisterAll() {
  const auto add = [](const std::string& name, auto&&... args) {
    benchmark::RegisterBenchmark(name.c_str(), args...)->Unit(benchmark::kMicrosecond);
  };
  add("caption_1080p/blend_box", Blend, true, false);
  add("caption_1080p/blend_text", Blend, false, false);
  add("caption_1080p/blend_box_shared_frame", Blend, true, true);
  add("caption_1080p/footage_to_argb_exact", FootageToArgb);
  add("caption_1080p/writer_argb_to_yuv420p", WriterToYuv);
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::RegisterAll);
}
