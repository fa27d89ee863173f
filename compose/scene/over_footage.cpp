// SPDX-License-Identifier: MIT
#include "compose/scene/over_footage.h"

#include <cmath>
#include <filesystem>
#include <memory>

#include "compose/errors.h"
#include "compose/scene/scene_scaling.h"
#include "media/footage/footage_reader.h"

namespace quorvel::compose {

OverFootage ReadOverFootage(const std::string& path) {
  media::FileStatus status;
  const std::unique_ptr<media::FootageReader> reader = media::FootageReader::Open(path, status);
  if (!reader) throw RenderError(status.message);
  if (const media::FileStatus fits = reader->CheckMemoryBudget(); !fits) {
    throw RenderError(fits.message);
  }
  return OverFootage{path, reader->info()};
}

std::string PutOverFootage(SceneFile& scene, const OverFootage& footage,
                           std::optional<double> duration_seconds) {
  const media::FootageInfo& info = footage.info;
  const std::string name = std::filesystem::path(footage.path).filename().string();
  headless::Composition& composition = scene.composition;
  std::string note;
  if (composition.width != info.width || composition.height != info.height) {
    const FrameFit fit = FitFrame(composition.width, composition.height, info.width, info.height);
    ScaleScene(scene, fit);
    note = scene.file + " was made for " + std::to_string(composition.width) + "x" +
           std::to_string(composition.height) + "; laid out for " + name + "'s " +
           std::to_string(info.width) + "x" + std::to_string(info.height) + ", scaled by " +
           ShownNumber(std::round(fit.factor * 1000) / 1000);
    composition.width = info.width;
    composition.height = info.height;
  }
  if (!info.still) SetFrameRate(composition, info.rate_numerator, info.rate_denominator);
  if (duration_seconds) {
    composition.duration_seconds = *duration_seconds;
  } else if (info.still) {
    throw ArgumentError(name + " is a still image, which has no length of its own: give the " +
                        "composition's with --duration");
  } else if (info.duration > 0) {
    composition.duration_seconds = info.duration;
  }
  if (composition.duration_seconds > LongestDuration(composition)) {
    throw SceneError(name + ": " + ShownNumber(composition.duration_seconds) +
                     " s is longer than a composition at its frame rate may last (" +
                     ShownNumber(std::floor(LongestDuration(composition))) + " s)");
  }

  SceneLayer bottom;
  FootageLayer layer;
  layer.path = footage.path;
  layer.given = footage.path;
  layer.position = headless::Animated<headless::Point2>(
      headless::Point2{composition.width / 2.0, composition.height / 2.0});
  bottom.footage = std::move(layer);
  scene.layers.push_back(std::move(bottom));
  return note;
}

}  // namespace quorvel::compose
