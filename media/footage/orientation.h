// SPDX-License-Identifier: MIT
// How a frame is laid on screen. Cameras store frames as the sensor saw them and tag the turn in
// a display matrix; players turn them for display, and so does the footage reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostapi/host_api.h"

namespace quorvel::media {

// A turn by quarters, clockwise, then a mirror left to right: the eight ways to lay a rectangle
// of pixels on screen.
struct Orientation {
  int rotation = 0;  // 0, 90, 180 or 270 degrees clockwise
  bool mirrored = false;
  bool Upright() const { return rotation == 0 && !mirrored; }
};

// From FFmpeg's display matrix: 3x3, 16.16 fixed point, a point (x, y) of the frame showing at
// (x·m[0] + y·m[3], x·m[1] + y·m[4]), y downwards. Any other angle goes to the nearest quarter.
Orientation OrientationFromDisplayMatrix(const int32_t matrix[9]);

// Where each pixel of a width × height frame lands once laid in an orientation.
class OrientedPlacement {
 public:
  OrientedPlacement(Orientation orientation, A_long width, A_long height);

  // The size on screen.
  A_long width() const { return turned_ ? source_height_ : source_width_; }
  A_long height() const { return turned_ ? source_width_ : source_height_; }

  // Copies straight pixels of the frame (rows `stride` bytes apart) into the world, laid in the
  // orientation, premultiplying them when `premultiply`. The world has the size on screen.
  void Lay(const PF_Pixel* source, std::ptrdiff_t stride, bool premultiply,
           PF_EffectWorld& world) const;

 private:
  A_long source_width_;
  A_long source_height_;
  bool turned_;
  // Pixel (x, y) lands at (x·x_of_x + y·x_of_y + x0, x·y_of_x + y·y_of_y + y0).
  int x_of_x_, x_of_y_, y_of_x_, y_of_y_;
  A_long x0_, y0_;
};

}  // namespace quorvel::media
