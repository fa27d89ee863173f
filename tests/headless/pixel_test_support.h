// SPDX-License-Identifier: MIT
// Pixels in test expectations: comparable, and printed as alpha, red, green, blue.
#pragma once

#include <ostream>

#include "headless/pixels/world.h"
#include "hostapi/host_api.h"

namespace quorvel::headless::test {

struct Argb {
  int alpha, red, green, blue;
  bool operator==(const Argb& other) const {
    return alpha == other.alpha && red == other.red && green == other.green && blue == other.blue;
  }
};

inline Argb ArgbOf(const PF_Pixel& pixel) {
  return {pixel.alpha, pixel.red, pixel.green, pixel.blue};
}

inline void PrintTo(const Argb& pixel, std::ostream* out) {
  *out << "(a " << pixel.alpha << ", r " << pixel.red << ", g " << pixel.green << ", b "
       << pixel.blue << ")";
}

// A world made the way the plug-in makes its working worlds, disposed of the same way.
class PluginWorld {
 public:
  PluginWorld(A_long width, A_long height) {
    if (NewWorld(nullptr, width, height, 1, PF_PixelFormat_ARGB32, &world_) != PF_Err_NONE) {
      world_ = PF_EffectWorld{};
    }
  }
  ~PluginWorld() { DisposeWorld(nullptr, &world_); }
  PluginWorld(const PluginWorld&) = delete;
  PluginWorld& operator=(const PluginWorld&) = delete;

  PF_EffectWorld* get() { return &world_; }
  PF_Pixel& At(A_long x, A_long y) { return PixelAt(world_, x, y); }

 private:
  PF_EffectWorld world_{};
};

inline PF_Pixel Pixel(int alpha, int red, int green, int blue) {
  return {static_cast<A_u_char>(alpha), static_cast<A_u_char>(red), static_cast<A_u_char>(green),
          static_cast<A_u_char>(blue)};
}

inline void FillWorld(OwnedWorld& world, const PF_Pixel& pixel) {
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) world.At(x, y) = pixel;
  }
}

inline bool AllPixelsAre(const OwnedWorld& world, const PF_Pixel& pixel) {
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      if (!(ArgbOf(world.At(x, y)) == ArgbOf(pixel))) return false;
    }
  }
  return true;
}

}  // namespace quorvel::headless::test
