// SPDX-License-Identifier: MIT
// The composition and the one text layer that the headless host puts an effect instance on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/host_api.h"

namespace quorvel::headless {

// A value that may change over time: a constant, or keyframes (sorted by time, in seconds).
// Numbers interpolate linearly between keys; text holds the last key reached.
template <typename T>
struct Animated {
  struct Key {
    double seconds;
    T value;
  };
  T constant{};
  std::vector<Key> keys;

  Animated() = default;
  Animated(T value) : constant(std::move(value)) {}  // NOLINT: a constant reads naturally
  bool IsAnimated() const { return !keys.empty(); }
};

struct Point2 {
  double x = 0;
  double y = 0;
};

// One path of a layer's text outlines, in layer pixels at full resolution. Tangents are
// offsets from their vertex. A closed path of N vertices has N segments (the last one runs
// back to vertex 0); an open path of N vertices has N - 1.
struct TextOutline {
  std::vector<PF_PathVertex> vertices;
  bool closed = true;

  A_long NumSegments() const;
};
using TextOutlines = std::vector<TextOutline>;

// Before the first key: the first key's value; after the last: the last key's value.
double Interpolate(const Animated<double>& value, double seconds);
Point2 Interpolate(const Animated<Point2>& value, double seconds);
const std::string& Interpolate(const Animated<std::string>& value, double seconds);
const TextOutlines& Interpolate(const Animated<TextOutlines>& value, double seconds);

enum class TextAlignment { kLeft, kCenter, kRight };

struct TextLayer {
  Animated<std::string> text{std::string("Quorvel")};  // lines separated by '\n'
  std::string font_family = "DejaVu Sans";
  std::string font_style;  // pango style words, e.g. "Bold Italic"; empty for regular
  double font_size = 72;   // pixels at full resolution
  PF_Pixel color{255, 255, 255, 255};
  Animated<Point2> position;  // top-left of the text's layout box, layer pixels
  TextAlignment alignment = TextAlignment::kLeft;
  bool motion_blur = false;
  AEGP_ObjectType object_type = AEGP_ObjectType_TEXT;  // another type tests non-text layers
  // When set, these are the layer's outlines (held between keys, never moved by position)
  // instead of those of its text, so that tests can give exact vertices.
  std::optional<Animated<TextOutlines>> explicit_outlines;
};

struct Composition {
  int32_t width = 1920;  // the layer has the composition's size and sits at its origin
  int32_t height = 1080;
  // Time units fine enough that instants within a frame (the shutter's) are whole units, as a
  // host's are: 30 frames per second.
  A_u_long time_scale = 3000;   // time units per second
  A_long frame_duration = 100;  // time units per frame (time_step)
  double duration_seconds = 5;
  bool motion_blur = false;
  double shutter_angle_degrees = 180;
  double shutter_phase_degrees = -90;
  PF_Pixel background{0, 0, 0, 0};  // alpha, red, green, blue
};

struct Scene {
  Composition composition;
  TextLayer layer;
};

inline double Seconds(A_long value, A_u_long scale) {
  return scale == 0 ? 0.0 : static_cast<double>(value) / static_cast<double>(scale);
}

}  // namespace quorvel::headless
