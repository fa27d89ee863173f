// SPDX-License-Identifier: MIT
#include "media/ycbcr/native_frame.h"

#if QUORVEL_HAVE_FFMPEG
extern "C" {
#include <libavutil/frame.h>
}
#endif

namespace quorvel::media {

#if QUORVEL_HAVE_FFMPEG

NativeFrame::NativeFrame(const AVFrame* frame)
    : frame_(frame != nullptr ? av_frame_clone(frame) : nullptr) {}

void NativeFrame::Release::operator()(AVFrame* frame) const {
  av_frame_free(&frame);
}

#else

NativeFrame::NativeFrame(const AVFrame*) {}

void NativeFrame::Release::operator()(AVFrame*) const {}

#endif

bool NativeFrame::Blend(const PF_EffectWorld& patch, const PatchPlacement& placement,
                        const YcbcrColour& colour, std::string& why) {
  if (!frame_) {
    why = "no frame";
    return false;
  }
  return BlendPatch(*frame_, colour, patch, placement, why);
}

}  // namespace quorvel::media
