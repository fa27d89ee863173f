// SPDX-License-Identifier: MIT
// Peak memory of one 4K frame render against the worlds it needs (the input layer, the output,
// the fill world and the border world), measured two ways:
//  - resident memory: the process's peak resident set (VmHWM, reset through
//    /proc/self/clear_refs just before the command) less what was resident before it, plus the
//    input and output, which were resident already;
//  - heap: every malloc, calloc, realloc and aligned allocation of the process is counted by
//    the hooks below (this program's own definitions take the place of the C library's); the
//    peak of the bytes live during the command, plus the input and output.
// A gate the plug-in asks of the host and never touches costs address space but no memory,
// so it shows in the heap count and not in the resident one.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/bench_main.h"
#include "bench/bench_scene.h"
#include "headless/pixels/fill.h"
#include "headless/pixels/kept_memory.h"
#include "headless/pixels/world.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<int64_t> live_bytes{0};
std::atomic<int64_t> peak_bytes{0};

void* Counted(void* pointer) {
  if (pointer == nullptr) return pointer;
  const int64_t now = live_bytes.fetch_add(static_cast<int64_t>(malloc_usable_size(pointer))) +
                      static_cast<int64_t>(malloc_usable_size(pointer));
  int64_t peak = peak_bytes.load();
  while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
  }
  return pointer;
}

void Uncount(void* pointer) {
  if (pointer != nullptr) live_bytes.fetch_sub(static_cast<int64_t>(malloc_usable_size(pointer)));
}

}  // namespace

extern "C" {
void* malloc(size_t size) {
  return Counted(__libc_malloc(size));
}
void* calloc(size_t count, size_t size) {
  return Counted(__libc_calloc(count, size));
}
void* realloc(void* pointer, size_t size) {
  Uncount(pointer);
  void* moved = __libc_realloc(pointer, size);
  if (moved == nullptr && size != 0) {
    Counted(pointer);  // the old block is still there
    return nullptr;
  }
  return Counted(moved);
}
void free(void* pointer) {
  Uncount(pointer);
  __libc_free(pointer);
}
void* memalign(size_t alignment, size_t size) {
  return Counted(__libc_memalign(alignment, size));
}
void* aligned_alloc(size_t alignment, size_t size) {
  return Counted(__libc_memalign(alignment, size));
}
int posix_memalign(void** result, size_t alignment, size_t size) {
  void* pointer = __libc_memalign(alignment, size);
  if (pointer == nullptr) return ENOMEM;
  *result = Counted(pointer);
  return 0;
}
void* valloc(size_t size) {
  return Counted(__libc_memalign(4096, size));
}
}

namespace quorvel::bench {
namespace {

// A field of /proc/self/status in bytes ("VmHWM", "VmRSS").
int64_t StatusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::strtoll(line.c_str() + field.size() + 1, nullptr, 10) * 1024;
    }
  }
  return -1;
}

bool ResetPeakResident() {
  std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
  if (file == nullptr) return false;
  const bool written = std::fputs("5", file) >= 0;
  return std::fclose(file) == 0 && written;
}

int64_t WorldBytes(A_long width, A_long height) {
  return static_cast<int64_t>(headless::WorldRowBytes(width)) * height;
}

void PeakMemory(benchmark::State& state, BoxScene box) {
  const auto instance = MakeBoxInstance(box);
  PreparedFrame frame(*instance);
  frame.Render();  // the first command's one-time work (suites, fonts) is not the frame's
  const A_long fill_width = box.border ? box.width - static_cast<A_long>(kBorderWidth) : box.width;
  const A_long fill_height =
      box.border ? box.height - static_cast<A_long>(kBorderWidth) : box.height;
  const int64_t layer_worlds = 2 * WorldBytes(box.width, box.height);  // input and output
  const int64_t needed = layer_worlds + WorldBytes(fill_width, fill_height) +
                         (box.border ? WorldBytes(box.width, box.height) : 0);
  int64_t resident = 0;
  int64_t heap = 0;
  for (auto _ : state) {
    // Freed memory goes back to the system, so that the resident set starts at what is live;
    // the host's kept world memory too, so that the render pays for every world it needs.
    headless::ReleaseKeptMemory();
    malloc_trim(0);
    const bool reset = ResetPeakResident();
    const int64_t resident_before = StatusBytes("VmRSS");
    peak_bytes.store(live_bytes.load());
    const int64_t heap_before = live_bytes.load();
    const headless::CommandResult result = frame.Render();
    resident = StatusBytes("VmHWM") - resident_before + layer_worlds;
    heap = peak_bytes.load() - heap_before + layer_worlds;
    if (result.err != PF_Err_NONE || !reset || resident_before < 0) {
      state.SkipWithError("the render failed or the resident set cannot be read");
      break;
    }
  }
  constexpr double kMiB = 1024.0 * 1024.0;
  state.counters["worlds_MiB"] = static_cast<double>(needed) / kMiB;
  state.counters["resident_MiB"] = static_cast<double>(resident) / kMiB;
  state.counters["heap_MiB"] = static_cast<double>(heap) / kMiB;
  state.counters["resident_ratio"] = static_cast<double>(resident) / static_cast<double>(needed);
  state.counters["heap_ratio"] = static_cast<double>(heap) / static_cast<double>(needed);
}

void Register() {
  for (const bool border : {false, true}) {
    for (const bool motion_blur : {false, true}) {
      const std::string name = std::string("peak_memory/3840x2160/") +
                               (border ? "border" : "plain") + "/" + (motion_blur ? "2" : "1");
      benchmark::RegisterBenchmark(name.c_str(), PeakMemory,
                                   BoxScene{3840, 2160, border, motion_blur})
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::Register);
}
