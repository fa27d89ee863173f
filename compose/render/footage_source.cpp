// SPDX-License-Identifier: MIT
#include "compose/render/footage_source.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "compose/errors.h"
#include "headless/composition/frame_render.h"
#include "headless/pixels/transform.h"

namespace quorvel::compose {
namespace {

double Factor(const PF_RationalScale& scale) {
  return scale.den == 0 ? 1.0 : static_cast<double>(scale.num) / scale.den;
}

}  // namespace

PF_FloatMatrix FootagePlacement(const FootageLayer& layer, const media::FootageInfo& info,
                                const headless::Composition& composition,
                                const headless::InstanceOptions& options, double seconds) {
  const double width_ratio = static_cast<double>(composition.width) / info.width;
  const double height_ratio = static_cast<double>(composition.height) / info.height;
  double fit_x = 1;
  double fit_y = 1;
  switch (layer.fit) {
    case FootageFit::kNone:
      break;
    case FootageFit::kContain:
      fit_x = fit_y = std::min(width_ratio, height_ratio);
      break;
    case FootageFit::kCover:
      fit_x = fit_y = std::max(width_ratio, height_ratio);
      break;
    case FootageFit::kStretch:
      fit_x = width_ratio;
      fit_y = height_ratio;
      break;
  }
  const double scale = layer.scale.At(seconds) / 100;
  const double scale_x = fit_x * scale;
  const double scale_y = fit_y * scale;
  const headless::Point2 position = layer.position.At(seconds);
  const double left = position.x - layer.anchor.x * info.width * scale_x;
  const double top = position.y - layer.anchor.y * info.height * scale_y;
  const double down_x = Factor(options.downsample_x);
  const double down_y = Factor(options.downsample_y);
  PF_FloatMatrix matrix{};
  matrix.mat[0][0] = scale_x * down_x;
  matrix.mat[1][1] = scale_y * down_y;
  matrix.mat[2][0] = left * down_x;
  matrix.mat[2][1] = top * down_y;
  matrix.mat[2][2] = 1;
  return matrix;
}

FootageSource::FootageSource(FootageLayer layer) : layer_(std::move(layer)) {
  media::FileStatus status;
  std::unique_ptr<media::FootageReader> reader = media::FootageReader::Open(layer_.path, status);
  if (!reader) throw RenderError(status.message);
  if (const media::FileStatus fits = reader->CheckMemoryBudget(); !fits) {
    throw RenderError(fits.message);
  }
  info_ = reader->info();
  idle_.push_back(std::move(reader));
}

std::unique_ptr<media::FootageReader> FootageSource::TakeReader() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      std::unique_ptr<media::FootageReader> reader = std::move(idle_.back());
      idle_.pop_back();
      return reader;
    }
  }
  media::FileStatus status;
  std::unique_ptr<media::FootageReader> reader = media::FootageReader::Open(layer_.path, status);
  if (!reader) throw RenderError(status.message);
  return reader;
}

void FootageSource::ReturnReader(std::unique_ptr<media::FootageReader> reader) {
  const std::lock_guard<std::mutex> lock(mutex_);
  idle_.push_back(std::move(reader));
}

namespace {

// The footage's own time at a composition frame, in the composition's time units; false before
// the layer starts.
bool FootageTime(const FootageLayer& layer, A_long frame, const headless::Composition& composition,
                 int64_t& time) {
  const double seconds =
      headless::Seconds(frame * composition.frame_duration, composition.time_scale);
  if (seconds < layer.start_seconds) return false;
  time = static_cast<int64_t>(
      std::llround(layer.FootageSeconds(seconds) * static_cast<double>(composition.time_scale)));
  return true;
}

}  // namespace

media::NativeFrame FootageSource::NativeFrameAt(A_long frame,
                                                const headless::Composition& composition) {
  int64_t time = 0;
  if (!FootageTime(layer_, frame, composition, time)) return media::NativeFrame();
  if (!native_reader_) {
    media::FileStatus status;
    // Its frames come one after another to one job: the decoder's own threads keep up.
    native_reader_ = media::FootageReader::Open(layer_.path, status, 0);
    if (!native_reader_) throw RenderError(status.message);
  }
  const media::FootageNativeFrame shown =
      native_reader_->NativeFrameAt(time, static_cast<int32_t>(composition.time_scale));
  if (!shown.status) throw RenderError(shown.status.message);
  return media::NativeFrame(shown.frame);
}

void FootageSource::LayOver(A_long frame, const headless::Composition& composition,
                            const headless::InstanceOptions& options,
                            std::optional<headless::OwnedWorld>& image) {
  const double seconds =
      headless::Seconds(frame * composition.frame_duration, composition.time_scale);
  int64_t footage_time = 0;
  if (!FootageTime(layer_, frame, composition, footage_time)) return;
  const double percent = std::clamp(layer_.opacity.At(seconds), 0.0, 100.0);
  const auto opacity = static_cast<A_u_char>(std::lround(percent * 2.55));
  if (opacity == 0) return;

  std::unique_ptr<media::FootageReader> reader = TakeReader();
  const media::FootageFrame shown =
      reader->FrameAt(footage_time, static_cast<int32_t>(composition.time_scale));
  if (!shown.status) {
    // A reader that failed is not used again.
    throw RenderError(shown.status.message);
  }
  if (shown.world != nullptr) {
    if (!image) {
      image.emplace(headless::DownsampledSize(composition.width, options.downsample_x),
                    headless::DownsampledSize(composition.height, options.downsample_y));
    }
    const PF_FloatMatrix placement = FootagePlacement(layer_, info_, composition, options, seconds);
    const PF_CompositeMode over{PF_Xfer_IN_FRONT, 0, opacity, 0, 0};
    headless::TransformWorld(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME,
                             shown.world, &over, nullptr, &placement, 1, 1, nullptr, image->get());
  }
  ReturnReader(std::move(reader));
}

}  // namespace quorvel::compose
