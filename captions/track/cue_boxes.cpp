// SPDX-License-Identifier: MIT
#include "captions/track/cue_boxes.h"

#include <algorithm>
#include <cmath>

#include "headless/text/text_outlines.h"

namespace quorvel::captions {

using compose::IsKeyframeList;
using compose::Json;
using compose::SceneError;
using compose::SceneLayer;

namespace {

// A number the effect object sets, at its largest over keyframes; `fallback` when it is not
// set or not a number (the effect's own check names that later).
double LargestNumber(const SceneLayer& style, const char* name, double fallback) {
  if (!style.effect || !style.effect->is_object() || !style.effect->contains(name)) {
    return fallback;
  }
  const Json& value = style.effect->at(name);
  if (value.is_number()) return value.get<double>();
  double largest = fallback;
  if (IsKeyframeList(value)) {
    for (const Json& key : value) {
      if (key.is_object() && key.contains("v") && key.at("v").is_number()) {
        largest = std::max(largest, key.at("v").get<double>());
      }
    }
  }
  return largest;
}

bool IsSet(const SceneLayer& style, const char* name, const Json& wanted) {
  return style.effect && style.effect->is_object() && style.effect->contains(name) &&
         style.effect->at(name) == wanted;
}

// How far the border reaches out of the fill.
double BorderOutside(const SceneLayer& style) {
  return IsSet(style, "Enable Border", true) ? LargestNumber(style, "Border Width", 1) / 2 : 0;
}

}  // namespace

double SideGrowth(const SceneLayer& style) {
  return LargestNumber(style, "Expansion Uniform", 0) + LargestNumber(style, "Expansion Width", 0) +
         BorderOutside(style);
}

BoxRect BoxAround(const SceneLayer& style, const headless::TextLayer& layer) {
  double left = 0, right = 0, top = 0, bottom = 0;
  bool first = true;
  for (const headless::TextOutline& outline : headless::TextOutlinesAt(layer, 0)) {
    for (const PF_PathVertex& vertex : outline.vertices) {
      left = first ? vertex.x : std::min(left, vertex.x);
      right = first ? vertex.x : std::max(right, vertex.x);
      top = first ? vertex.y : std::min(top, vertex.y);
      bottom = first ? vertex.y : std::max(bottom, vertex.y);
      first = false;
    }
  }
  if (first) return {};
  const double uniform = LargestNumber(style, "Expansion Uniform", 0);
  double half_width = (right - left) / 2 + uniform + LargestNumber(style, "Expansion Width", 0);
  double half_height = (bottom - top) / 2 + uniform + LargestNumber(style, "Expansion Height", 0);
  if (IsSet(style, "Shape", "Square") || IsSet(style, "Shape", "Circle")) {
    half_width = half_height = std::max(half_width, half_height);
  }
  half_width += BorderOutside(style);
  half_height += BorderOutside(style);
  const double x = (left + right) / 2;
  const double y = (top + bottom) / 2;
  return {x - half_width, y - half_height, x + half_width, y + half_height};
}

BoxSize LeastBoxSize(const SceneLayer& style, const std::string& text, std::optional<int> line) {
  headless::TextLayer layer = style.text;
  layer.text = headless::Animated<std::string>(text);
  layer.shown_line = line;
  const BoxRect box = BoxAround(style, layer);
  if (box.Empty()) return {};  // nothing the host could not hold
  return {box.right - box.left, box.bottom - box.top};
}

void CheckCueBox(const SceneLayer& style, const std::string& text, size_t per_line_boxes,
                 const std::string& place) {
  const bool per_line = per_line_boxes > 0;
  const size_t lines = per_line ? per_line_boxes : 1;
  for (size_t line = 0; line < lines; ++line) {
    const BoxSize box = LeastBoxSize(
        style, text, per_line ? std::optional<int>(static_cast<int>(line)) : std::nullopt);
    const char* side = nullptr;
    double size = 0;
    if (box.width > static_cast<double>(PF_MAX_WORLD_WIDTH)) {
      side = "wide";
      size = box.width;
    } else if (box.height > static_cast<double>(PF_MAX_WORLD_HEIGHT)) {
      side = "high";
      size = box.height;
    }
    if (side == nullptr) continue;
    const std::string what = per_line ? "the box of this cue's line " + std::to_string(line + 1)
                                      : std::string("this cue's box");
    std::string message = place;
    message += ": " + what + " would be ";
    message += std::to_string(static_cast<long long>(std::ceil(size))) + " px " + side;
    message += ", past the host's ";
    message += std::to_string(side[0] == 'w' ? PF_MAX_WORLD_WIDTH : PF_MAX_WORLD_HEIGHT);
    message += " px: break the line or make the text smaller";
    throw SceneError(message);
  }
}

}  // namespace quorvel::captions
