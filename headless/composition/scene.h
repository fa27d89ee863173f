// SPDX-License-Identifier: MIT
// The composition and its text layers, as the host renders them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "headless/composition/keyframes.h"
#include "hostapi/host_api.h"

namespace quorvel::headless {

struct Point2 {
  double x = 0;
  double y = 0;
};

template <>
struct Interpolation<Point2> {
  static constexpr bool kMoves = true;
  static bool Holds(const Point2&) { return false; }
  static Point2 Between(const Point2& from, const Point2& to, double progress) {
    return {from.x + (to.x - from.x) * progress, from.y + (to.y - from.y) * progress};
  }
};

template <>
struct Sameness<Point2> {
  static bool Same(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }
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

// Outlines given for tests are never taken as unchanged: frames showing them are always drawn.
template <>
struct Sameness<TextOutlines> {
  static bool Same(const TextOutlines&, const TextOutlines&) { return false; }
};

// The value at a time (Animated::At).
template <typename T>
T Interpolate(const Animated<T>& value, double seconds) {
  return value.At(seconds);
}

enum class TextAlignment { kLeft, kCenter, kRight };

// The point of the text's layout block that sits at the layer's position, as fractions of the
// block's width and height: (0, 0) is its top-left corner, (0.5, 1) the middle of its bottom
// edge, so that captions of any number of lines grow upwards from one line.
struct TextAnchor {
  double x = 0;
  double y = 0;
};

struct TextLayer {
  Animated<std::string> text{std::string("Quorvel")};  // lines separated by '\n'
  std::string font_family = "DejaVu Sans";
  std::string font_style;  // pango style words, e.g. "Bold Italic"; empty for regular
  // A font file given by path (LoadFontFile): the FreeType text layer reads it directly; pango
  // finds it by family and style, registered with fontconfig for the run.
  std::string font_file;
  double font_size = 72;  // pixels at full resolution
  PF_Pixel color{255, 255, 255, 255};
  Animated<Point2> position;  // where the anchor of the text's layout box sits, layer pixels
  TextAnchor anchor;
  // When set, only this line of the text is drawn (0 for the first), where it sits in the
  // layout of the whole text: a caption's lines as layers of their own, each with its own box.
  std::optional<int> shown_line;
  // The text is markup (headless/text/markup.h: <b>, <i>, <u>, <s>, <font color face size>,
  // character references), drawn as styled runs; otherwise every character is drawn as it is.
  bool markup = false;
  // Paragraph text, as After Effects' text box: more than 0, lines are broken at Unicode
  // line-break opportunities so that each fits this many pixels (a word wider than it is not
  // broken); explicit line breaks are kept. 0: point text, broken at line breaks only.
  double width = 0;
  // With a width, the lines of each paragraph are balanced: as many lines as the width needs,
  // of lengths as even as can be, as subtitles are set, rather than full lines and a short last.
  bool balanced = false;
  TextAlignment alignment = TextAlignment::kLeft;
  // Percent, 0 to 100: applied when the layer is laid over those below, to the effect's output
  // (box and text together) as to plain text.
  Animated<double> opacity{100.0};
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
