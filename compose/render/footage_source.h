// SPDX-License-Identifier: MIT
// A footage layer's frames for the jobs that render the composition, laid into its frames.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "compose/scene/footage_layer.h"
#include "headless/composition/scene.h"
#include "headless/instance/effect_instance.h"
#include "headless/pixels/world.h"
#include "media/footage/footage_info.h"
#include "media/footage/footage_reader.h"
#include "media/ycbcr/native_frame.h"

namespace quorvel::compose {

// Where a footage frame of `info`'s size goes at a composition time: the matrix (row vectors,
// translation in the third row, as the host's world transform takes it) from the frame's
// pixels to the composition's at the downsampling given. Fitted to the composition, scaled
// about and placed by its anchor.
PF_FloatMatrix FootagePlacement(const FootageLayer& layer, const media::FootageInfo& info,
                                const headless::Composition& composition,
                                const headless::InstanceOptions& options, double seconds);

// The readers of one footage layer: one for each job rendering at a time, each reading forward
// through the frames its job asks for. The first is opened when the scene is set up, so that a
// file that cannot be read is told before any frame renders.
class FootageSource {
 public:
  // RenderError naming the file and why it cannot be used (missing, not a media file, no video,
  // too large for the host or the memory budget).
  explicit FootageSource(FootageLayer layer);

  const FootageLayer& layer() const { return layer_; }
  const media::FootageInfo& info() const { return info_; }

  // Lays the frame the footage shows at the composition's frame over `image` (made, transparent,
  // at the composition's size when absent) at the layer's place and opacity; nothing when the
  // footage does not show then (before its start, after its end, opacity 0). RenderError naming
  // the file and time when a frame cannot be decoded.
  void LayOver(A_long frame, const headless::Composition& composition,
               const headless::InstanceOptions& options,
               std::optional<headless::OwnedWorld>& image);

  // The frame the footage shows at the composition's frame as the decoder gave it (empty when
  // it shows none then), read by a reader of its own that decodes on several threads: for one
  // job reading the frames in order. RenderError naming the file and time on failure.
  media::NativeFrame NativeFrameAt(A_long frame, const headless::Composition& composition);

 private:
  std::unique_ptr<media::FootageReader> TakeReader();
  void ReturnReader(std::unique_ptr<media::FootageReader> reader);

  FootageLayer layer_;
  media::FootageInfo info_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<media::FootageReader>> idle_;
  std::unique_ptr<media::FootageReader> native_reader_;
};

}  // namespace quorvel::compose
