// SPDX-License-Identifier: MIT
// The headless host's transform_world (one matrix; two with motion blur) against pixman doing
// the same affine resampling and composite directly on images of the same size.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "headless/pixels/transform.h"
#include "headless/pixels/world.h"

namespace quorvel::bench {
namespace {

// The placement: a turn about the box's centre, as a rotated box is placed.
constexpr double kDegrees = 5;
constexpr double kBlurDegrees = 10;  // the second matrix's turn, with motion blur

// Row vectors, translation in the third row (the host's layout): a turn about (cx, cy).
PF_FloatMatrix Turn(double degrees, double cx, double cy) {
  const double radians = degrees * 3.14159265358979323846 / 180;
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  PF_FloatMatrix m{};
  m.mat[0][0] = c;
  m.mat[0][1] = s;
  m.mat[1][0] = -s;
  m.mat[1][1] = c;
  m.mat[2][0] = cx - (cx * c - cy * s);
  m.mat[2][1] = cy - (cx * s + cy * c);
  m.mat[2][2] = 1;
  return m;
}

// A box world as the plug-in hands it over: straight colour, an opaque interior and a soft
// edge.
headless::OwnedWorld StraightBox(const Size& size) {
  headless::OwnedWorld world(size.width, size.height);
  for (A_long y = 0; y < size.height; ++y) {
    for (A_long x = 0; x < size.width; ++x) {
      const bool edge = x == 0 || y == 0 || x == size.width - 1 || y == size.height - 1;
      world.At(x, y) = PF_Pixel{static_cast<A_u_char>(edge ? 128 : 255), 228, 87, 46};
    }
  }
  return world;
}

void HostTransform(benchmark::State& state, Size size, int matrix_count) {
  const headless::OwnedWorld source = StraightBox(size);
  headless::OwnedWorld destination(size.width, size.height);
  const double cx = size.width / 2.0;
  const double cy = size.height / 2.0;
  const PF_FloatMatrix matrices[2] = {Turn(matrix_count == 1 ? kDegrees : 0, cx, cy),
                                      Turn(kBlurDegrees, cx, cy)};
  const PF_CompositeMode mode{PF_Xfer_IN_FRONT, 0, 255, 0, 0};
  const PF_Rect area{0, 0, size.width, size.height};
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const PF_Err error = headless::TransformWorld(
        nullptr, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME, source.get(), &mode, nullptr,
        matrices, matrix_count, 1, &area, destination.get());
    state.SetIterationTime(SecondsSince(start));
    if (error != PF_Err_NONE) {
      state.SkipWithError("transform_world failed");
      break;
    }
  }
}

struct PixmanImages {
  explicit PixmanImages(const Size& size)
      : source_pixels(static_cast<size_t>(size.width) * static_cast<size_t>(size.height)),
        destination_pixels(source_pixels.size(), 0),
        source(pixman_image_create_bits(PIXMAN_a8r8g8b8, size.width, size.height,
                                        source_pixels.data(), size.width * 4)),
        destination(pixman_image_create_bits(PIXMAN_a8r8g8b8, size.width, size.height,
                                             destination_pixels.data(), size.width * 4)) {
    for (A_long y = 0; y < size.height; ++y) {
      for (A_long x = 0; x < size.width; ++x) {
        const bool edge = x == 0 || y == 0 || x == size.width - 1 || y == size.height - 1;
        // The same box, premultiplied.
        source_pixels[static_cast<size_t>(y) * static_cast<size_t>(size.width) +
                      static_cast<size_t>(x)] = edge ? 0x80723A17u : 0xFFE4572Eu;
      }
    }
    pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(source, PIXMAN_REPEAT_NONE);
  }
  ~PixmanImages() {
    pixman_image_unref(source);
    pixman_image_unref(destination);
  }
  PixmanImages(const PixmanImages&) = delete;
  PixmanImages& operator=(const PixmanImages&) = delete;

  // pixman maps destination to source: the inverse of the placement.
  void Place(const PF_FloatMatrix& m) {
    pixman_f_transform forward{};
    forward.m[0][0] = m.mat[0][0];
    forward.m[0][1] = m.mat[1][0];
    forward.m[0][2] = m.mat[2][0];
    forward.m[1][0] = m.mat[0][1];
    forward.m[1][1] = m.mat[1][1];
    forward.m[1][2] = m.mat[2][1];
    forward.m[2][2] = 1;
    pixman_f_transform inverse;
    pixman_f_transform_invert(&inverse, &forward);
    pixman_transform fixed;
    pixman_transform_from_pixman_f_transform(&fixed, &inverse);
    pixman_image_set_transform(source, &fixed);
  }

  std::vector<uint32_t> source_pixels;
  std::vector<uint32_t> destination_pixels;
  pixman_image_t* source;
  pixman_image_t* destination;
};

// One matrix: one bilinear OVER composite. Two: the host's kMotionBlurSamples placements
// along the path, each added at 1/kMotionBlurSamples weight into an accumulator, then the
// accumulator composited OVER the destination.
void PixmanTransform(benchmark::State& state, Size size, int matrix_count) {
  PixmanImages images(size);
  const double cx = size.width / 2.0;
  const double cy = size.height / 2.0;
  std::vector<uint32_t> sum_pixels(images.source_pixels.size());
  pixman_image_t* sum = pixman_image_create_bits(PIXMAN_a8r8g8b8, size.width, size.height,
                                                 sum_pixels.data(), size.width * 4);
  const pixman_color_t weight_color{0, 0, 0,
                                    static_cast<uint16_t>(0xFFFF / headless::kMotionBlurSamples)};
  pixman_image_t* weight = pixman_image_create_solid_fill(&weight_color);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (matrix_count == 1) {
      images.Place(Turn(kDegrees, cx, cy));
      pixman_image_composite32(PIXMAN_OP_OVER, images.source, nullptr, images.destination, 0, 0, 0,
                               0, 0, 0, size.width, size.height);
    } else {
      std::fill(sum_pixels.begin(), sum_pixels.end(), 0u);
      for (int i = 0; i < headless::kMotionBlurSamples; ++i) {
        const double t = (i + 0.5) / headless::kMotionBlurSamples;
        images.Place(Turn(kBlurDegrees * t, cx, cy));
        pixman_image_composite32(PIXMAN_OP_ADD, images.source, weight, sum, 0, 0, 0, 0, 0, 0,
                                 size.width, size.height);
      }
      pixman_image_composite32(PIXMAN_OP_OVER, sum, nullptr, images.destination, 0, 0, 0, 0, 0, 0,
                               size.width, size.height);
    }
    benchmark::ClobberMemory();
    state.SetIterationTime(SecondsSince(start));
  }
  pixman_image_unref(weight);
  pixman_image_unref(sum);
}

void Register() {
  for (const Size& size : kSizes) {
    const std::string name = SizeName(size);
    for (const int matrices : {1, 2}) {
      const std::string suffix = name + "/" + std::to_string(matrices);
      RegisterSelfTimed("host_transform/" + suffix, HostTransform, size, matrices);
      RegisterSelfTimed("pixman_transform/" + suffix, PixmanTransform, size, matrices);
    }
  }
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::Register);
}
