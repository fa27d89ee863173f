// SPDX-License-Identifier: MIT
#include "compose/scene/footage_layer.h"

#include <filesystem>

#include "compose/scene/anchor.h"

namespace quorvel::compose {
namespace {

// Far beyond any use, and inside what the host's 32-bit time values hold.
constexpr double kLongestOffset = 86400;
constexpr double kMaxCoordinate = 100000;
constexpr double kMaxScale = 10000;

FootageFit ReadFit(const JsonPlace& place) {
  const std::string fit = ReadChoice(place, {"none", "contain", "cover", "stretch"});
  if (fit == "contain") return FootageFit::kContain;
  if (fit == "cover") return FootageFit::kCover;
  if (fit == "stretch") return FootageFit::kStretch;
  return FootageFit::kNone;
}

}  // namespace

bool IsFootageLayer(const Json& layer) {
  return layer.is_object() && layer.contains("footage");
}

FootageLayer ReadFootageLayer(const JsonPlace& place, const headless::Composition& composition) {
  const ObjectReader reader(
      place, {"footage", "start", "in", "position", "anchor", "scale", "opacity", "fit"});
  FootageLayer layer;
  const JsonPlace footage = *reader.Find("footage");
  layer.given = ReadString(footage);
  if (layer.given.empty()) footage.Fail("expected the path of a video or image file");
  if (layer.given.find('\0') != std::string::npos) footage.Fail("the path holds a NUL character");
  std::filesystem::path path(layer.given);
  if (path.is_relative()) path = std::filesystem::path(place.file()).parent_path() / path;
  layer.path = path.string();
  if (auto start = reader.Find("start")) {
    layer.start_seconds = ReadNumber(*start, -kLongestOffset, kLongestOffset);
  }
  if (auto in = reader.Find("in")) layer.in_seconds = ReadNumber(*in, 0, kLongestOffset);
  layer.position = headless::Animated<headless::Point2>(
      headless::Point2{composition.width / 2.0, composition.height / 2.0});
  if (auto position = reader.Find("position")) {
    layer.position = ReadAnimated<headless::Point2>(
        *position, [](const JsonPlace& point) { return ReadPoint(point, kMaxCoordinate); });
  }
  if (auto anchor = reader.Find("anchor")) layer.anchor = ReadAnchor(*anchor);
  if (auto scale = reader.Find("scale")) {
    layer.scale = ReadAnimated<double>(
        *scale, [](const JsonPlace& percent) { return ReadNumber(percent, 0, kMaxScale); });
  }
  if (auto opacity = reader.Find("opacity")) {
    layer.opacity = ReadAnimated<double>(
        *opacity, [](const JsonPlace& percent) { return ReadNumber(percent, 0, 100); });
  }
  if (auto fit = reader.Find("fit")) layer.fit = ReadFit(*fit);
  return layer;
}

}  // namespace quorvel::compose
