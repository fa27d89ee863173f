// SPDX-License-Identifier: MIT
// What the benchmark programs share: the box sizes, self-timed benchmarks and main.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <utility>

#include "hostapi/host_api.h"

namespace quorvel::bench {

struct Size {
  A_long width;
  A_long height;
};
// About a lower third, full HD and 4K.
constexpr Size kSizes[] = {{400, 120}, {1920, 1080}, {3840, 2160}};

inline std::string SizeName(const Size& size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A benchmark that times each iteration itself (State::SetIterationTime), in microseconds.
template <typename... Args>
benchmark::internal::Benchmark* RegisterSelfTimed(const std::string& name, Args&&... args) {
  return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
      ->UseManualTime()
      ->Unit(benchmark::kMicrosecond);
}

// The body of main: the benchmarks are registered at run time, since their names and
// arguments come from tables of sizes and variants.
inline int RunBenchmarks(int argc, char** argv, void (*register_benchmarks)()) {
  benchmark::Initialize(&argc, argv);
  register_benchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace quorvel::bench
