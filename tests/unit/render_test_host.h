// SPDX-License-Identifier: MIT
// Shared pieces of the drawing, compositing and render tests: host records with the pixel
// services, worlds, and pixel sums.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "headless/instance/call_context.h"
#include "headless/pixels/fill.h"
#include "headless/pixels/world.h"
#include "headless/suites/suite_registry.h"
#include "hostapi/host_api.h"
#include "tests/support/in_process_host.h"

namespace quorvel::render_test {

// Host records for calling plug-in operations directly, with the pixel callbacks in place.
class PixelRecords : public test_support::HandMadeRecords {
 public:
  PixelRecords() { headless::FillPixelCallbacks(utils); }

  // Runs plug-in code as if inside a command and returns what it returned.
  template <typename Body>
  auto Call(Body&& body) {
    headless::ScopedCall scope(context);
    return body();
  }

  // The log's entries that start with one of the prefixes, in order.
  std::vector<std::string> Entries(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> kept;
    for (const std::string& entry : log.Entries()) {
      for (const std::string& prefix : prefixes) {
        if (entry.compare(0, prefix.size(), prefix) == 0) {
          kept.push_back(entry);
          break;
        }
      }
    }
    return kept;
  }
};

inline bool SamePixel(const PF_Pixel& a, const PF_Pixel& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// The covered area in pixels: the sum of alpha / 255 over the world.
inline double CoveredArea(const PF_EffectWorld& world) {
  double sum = 0;
  for (A_long y = 0; y < world.height; ++y) {
    for (A_long x = 0; x < world.width; ++x) {
      sum += headless::PixelAt(world, x, y).alpha;
    }
  }
  return sum / 255.0;
}

// True when every pixel has the given red, green and blue, whatever its alpha.
inline bool EveryPixelHasColor(const PF_EffectWorld& world, const PF_Pixel& color) {
  for (A_long y = 0; y < world.height; ++y) {
    for (A_long x = 0; x < world.width; ++x) {
      const PF_Pixel& pixel = headless::PixelAt(world, x, y);
      if (pixel.red != color.red || pixel.green != color.green || pixel.blue != color.blue) {
        return false;
      }
    }
  }
  return true;
}

inline bool EveryPixelIs(const PF_EffectWorld& world, const PF_Pixel& expected) {
  for (A_long y = 0; y < world.height; ++y) {
    for (A_long x = 0; x < world.width; ++x) {
      if (!SamePixel(headless::PixelAt(world, x, y), expected)) return false;
    }
  }
  return true;
}

inline void FillWorld(headless::OwnedWorld& world, const PF_Pixel& color) {
  headless::Fill(nullptr, &color, nullptr, world.get());
}

}  // namespace quorvel::render_test
