// SPDX-License-Identifier: MIT
// A whole sequence through quorvel-render, at 1 and at 2 jobs: the motion-blurred scene's 24
// frames to numbered PNGs, each run a process of its own, as a user starts it.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_main.h"

namespace quorvel::bench {
namespace {

constexpr char kScene[] = QUORVEL_SOURCE_DIR "/scenes/motion.json";
constexpr char kFrames[] = "0-23";

// Runs quorvel-render with its output on /dev/null; true when it exits with 0.
bool RunRender(const std::string& output_pattern, int jobs) {
  const std::string jobs_text = std::to_string(jobs);
  std::vector<std::string> arguments = {
      QUORVEL_RENDER_PATH, "render", kScene,   "-o",     output_pattern,
      "--frames",          kFrames,  "--jobs", jobs_text};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Sequence(benchmark::State& state, int jobs) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("quorvel_sequence_bench_" + std::to_string(jobs));
  std::filesystem::create_directories(directory);
  const std::string pattern = (directory / "f_%04d.png").string();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = RunRender(pattern, jobs);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!ok) {
      state.SkipWithError("quorvel-render failed");
      break;
    }
  }
  std::filesystem::remove_all(directory);
}

void Register() {
  for (const int jobs : {1, 2}) {
    benchmark::RegisterBenchmark(("sequence/jobs" + std::to_string(jobs)).c_str(), Sequence, jobs)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::Register);
}
