// SPDX-License-Identifier: MIT
// FFmpeg's objects, owned. Its release functions take the address of the pointer (and clear
// it), so each gets a deleter of its own.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace quorvel::media {

struct CodecContextRelease {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameRelease {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketRelease {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScaleRelease {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct ResampleRelease {
  void operator()(SwrContext* context) const { swr_free(&context); }
};
struct AudioFifoRelease {
  void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
// A file opened for reading.
struct InputContextRelease {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output file's context; its file, if open, is closed first.
struct OutputContextRelease {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr && (context->oformat->flags & AVFMT_NOFILE) == 0) {
      avio_closep(&context->pb);
    }
    avformat_free_context(context);
  }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextRelease>;
using FramePtr = std::unique_ptr<AVFrame, FrameRelease>;
using PacketPtr = std::unique_ptr<AVPacket, PacketRelease>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleRelease>;
using ResamplePtr = std::unique_ptr<SwrContext, ResampleRelease>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoRelease>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextRelease>;
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextRelease>;

}  // namespace quorvel::media
