// SPDX-License-Identifier: MIT
// A decoded frame of one's own to lay patches into before it goes to an encoder: it shares the
// decoder's buffers until a patch is laid, which copies only those it changes.
#pragma once

#include <memory>
#include <string>

#include "hostapi/host_api.h"
#include "media/ycbcr/patch_blend.h"

struct AVFrame;

namespace quorvel::media {

class NativeFrame {
 public:
  NativeFrame() = default;
  // A reference of one's own to the decoder's frame (none when `frame` is null).
  explicit NativeFrame(const AVFrame* frame);

  explicit operator bool() const { return frame_ != nullptr; }
  const AVFrame& frame() const { return *frame_; }

  // Lays a premultiplied patch over the frame (BlendPatch); false, with why, when the frame
  // cannot take it.
  bool Blend(const PF_EffectWorld& patch, const PatchPlacement& placement,
             const YcbcrColour& colour, std::string& why);

 private:
  struct Release {
    void operator()(AVFrame* frame) const;
  };
  std::unique_ptr<AVFrame, Release> frame_;
};

}  // namespace quorvel::media
