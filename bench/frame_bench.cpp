// SPDX-License-Identifier: MIT
// One frame of the plug-in against the physical limits of the same work: its own share of a
// render command (the host's resampling and compositing taken out; within it, the time in the
// host's world services and per-pixel iteration), bare cairo drawing the same shapes into an
// image surface of the box's size, and memset / memcpy of the box world's bytes; and the world
// copy (CopySurfaceToWorld) against memcpy of the same bytes.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "bench/bench_scene.h"
#include "headless/pixels/world.h"
#include "headless/suites/suite_registry.h"
#include "render/shape_rasterizer.h"

namespace quorvel::bench {
namespace {

void PluginFrame(benchmark::State& state, BoxScene box) {
  const auto instance = MakeBoxInstance(box);
  PreparedFrame frame(*instance);
  // Beside the plug-in's share: the host's resampling and compositing (left out of it), and,
  // within it, the host's world services and per-pixel iteration.
  double host_ns = 0;
  double world_ns = 0;
  double iterate_ns = 0;
  for (auto _ : state) {
    const headless::CommandResult result = frame.Render();
    if (result.err != PF_Err_NONE) {
      state.SkipWithError("the render command failed");
      break;
    }
    state.SetIterationTime(PluginSeconds(result.timing));
    host_ns +=
        static_cast<double>(result.timing.transform_world_ns + result.timing.transfer_rect_ns);
    world_ns += static_cast<double>(result.timing.world_ns);
    iterate_ns += static_cast<double>(result.timing.iterate_ns);
  }
  const auto per_frame_ms = [](double ns) {
    return benchmark::Counter(ns * 1e-6, benchmark::Counter::kAvgIterations);
  };
  state.counters["host_ms"] = per_frame_ms(host_ns);
  state.counters["worlds_ms"] = per_frame_ms(world_ns);
  state.counters["iterate_ms"] = per_frame_ms(iterate_ns);
}

// The plug-in's shapes as bare cairo draws them: the fill of the box and, with the border, the
// same outline moved in by half the border width and stroked, into one surface of the box's
// size, created and destroyed each time as the plug-in's passes do.
void CairoShapes(benchmark::State& state, Size size, bool stroke) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgba(context, 228 / 255.0, 87 / 255.0, 46 / 255.0, 1.0);
    const double inset = stroke ? kBorderWidth / 2 : 0;
    const double width = size.width - 2 * inset;
    const double height = size.height - 2 * inset;
    cairo_rectangle(context, inset, inset, width, height);
    if (stroke) {
      cairo_fill_preserve(context);
      cairo_set_source_rgba(context, 1, 1, 1, 1);
      cairo_set_line_width(context, kBorderWidth);
      cairo_stroke(context);
    } else {
      cairo_fill(context);
    }
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    cairo_destroy(context);
    cairo_surface_destroy(surface);
    state.SetIterationTime(SecondsSince(start));
  }
}

size_t WorldBytes(const Size& size) {
  return static_cast<size_t>(headless::WorldRowBytes(size.width)) *
         static_cast<size_t>(size.height);
}

void Memset(benchmark::State& state, Size size) {
  std::vector<unsigned char> bytes(WorldBytes(size), 1);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::memset(bytes.data(), 0, bytes.size());
    benchmark::ClobberMemory();
    state.SetIterationTime(SecondsSince(start));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(bytes.size()));
}

void Memcpy(benchmark::State& state, Size size) {
  std::vector<unsigned char> source(WorldBytes(size), 1);
  std::vector<unsigned char> destination(WorldBytes(size), 2);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::memcpy(destination.data(), source.data(), source.size());
    benchmark::ClobberMemory();
    state.SetIterationTime(SecondsSince(start));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(source.size()));
}

// A drawn surface to copy from: a filled box, so that the bytes are not all zero.
struct DrawnSurface {
  explicit DrawnSurface(const Size& size)
      : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height)) {
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgba(context, 0.9, 0.3, 0.2, 0.8);
    cairo_paint(context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
  }
  ~DrawnSurface() { cairo_surface_destroy(surface); }
  DrawnSurface(const DrawnSurface&) = delete;
  DrawnSurface& operator=(const DrawnSurface&) = delete;
  const unsigned char* data() const { return cairo_image_surface_get_data(surface); }
  int stride() const { return cairo_image_surface_get_stride(surface); }
  cairo_surface_t* surface;
};

void CopySurface(benchmark::State& state, Size size) {
  const DrawnSurface surface(size);
  headless::OwnedWorld world(size.width, size.height);
  PF_UtilCallbacks utils{};
  headless::FillPixelCallbacks(utils);
  PF_InData in_data{};
  in_data.utils = &utils;
  uint32_t cell = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const PF_Err error =
        CopySurfaceToWorld(&in_data, world.get(), &cell, surface.data(), surface.stride());
    benchmark::ClobberMemory();
    state.SetIterationTime(SecondsSince(start));
    if (error != PF_Err_NONE) {
      state.SkipWithError("CopySurfaceToWorld failed");
      break;
    }
  }
}

// The same bytes as CopySurfaceToWorld moves, row by row between the same two buffers.
void CopySurfaceMemcpy(benchmark::State& state, Size size) {
  const DrawnSurface surface(size);
  headless::OwnedWorld world(size.width, size.height);
  const size_t row_bytes = static_cast<size_t>(size.width) * 4;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (A_long y = 0; y < size.height; ++y) {
      std::memcpy(headless::WorldRow(world.world(), y),
                  surface.data() + static_cast<ptrdiff_t>(y) * surface.stride(), row_bytes);
    }
    benchmark::ClobberMemory();
    state.SetIterationTime(SecondsSince(start));
  }
}

void Register() {
  for (const Size& size : kSizes) {
    const std::string name = SizeName(size);
    for (const bool border : {false, true}) {
      for (const bool motion_blur : {false, true}) {
        const std::string variant =
            std::string(border ? "border" : "plain") + "/" + (motion_blur ? "2" : "1");
        RegisterSelfTimed("plugin/" + name + "/" + variant, PluginFrame,
                          BoxScene{size.width, size.height, border, motion_blur});
      }
    }
    RegisterSelfTimed("cairo/" + name + "/fill", CairoShapes, size, false);
    RegisterSelfTimed("cairo/" + name + "/fill+stroke", CairoShapes, size, true);
    RegisterSelfTimed("memset/" + name, Memset, size);
    RegisterSelfTimed("memcpy/" + name, Memcpy, size);
    RegisterSelfTimed("copy_surface/" + name, CopySurface, size);
    RegisterSelfTimed("copy_surface_memcpy/" + name, CopySurfaceMemcpy, size);
  }
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::Register);
}
