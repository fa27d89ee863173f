// SPDX-License-Identifier: MIT
// Whole sequences through quorvel-render, each run a process of its own, as a user starts it:
// the motion-blurred scene's 24 frames to numbered PNGs at 1 and at 2 jobs; and 150 frames of a
// box behind moving text against ffmpeg's own drawtext box drawing the same, to PNGs and to
// ProRes 4444.
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "bench/run_program.h"

namespace quorvel::bench {
namespace {

constexpr char kScene[] = QUORVEL_SOURCE_DIR "/scenes/motion.json";
constexpr char kFrames[] = "0-23";
constexpr char kVersusScene[] = QUORVEL_SOURCE_DIR "/bench/scenes/versus_ffmpeg.json";
constexpr char kFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

bool RunRender(const std::string& output_pattern, int jobs) {
  return RunProgram({QUORVEL_RENDER_PATH, "render", kScene, "-o", output_pattern, "--frames",
                     kFrames, "--jobs", std::to_string(jobs)});
}

// The same 150 frames from ffmpeg: a colour source, drawtext's box (24 px around the text) in
// the same colours, moving as the scene's text does.
std::vector<std::string> FfmpegCommand(const std::string& output) {
  const std::string draw = std::string("drawtext=fontfile=") + kFontFile +
                           ":text='Quorvel against ffmpeg':fontsize=96:fontcolor=white:box=1:"
                           "boxcolor=0x1e90ff:boxborderw=24:x='240*t':y='300+80*t'";
  std::vector<std::string> command = {
      "ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=0x26282c:s=1920x1080:r=30:d=5",
      "-vf",    draw};
  if (output.size() > 4 && output.compare(output.size() - 4, 4, ".mov") == 0) {
    command.insert(command.end(),
                   {"-c:v", "prores_ks", "-profile:v", "4444", "-pix_fmt", "yuva444p10le"});
  }
  command.push_back(output);
  return command;
}

// One side of the comparison: "quorvel" or "ffmpeg", to ".png" (numbered) or ".mov".
void Versus(benchmark::State& state, const std::string& program, const std::string& extension) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("quorvel_versus_" + program + extension.substr(1));
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  const std::string output =
      (directory / (extension == ".png" ? "f_%04d.png" : "sequence.mov")).string();
  const std::vector<std::string> command =
      program == "ffmpeg"
          ? FfmpegCommand(output)
          : std::vector<std::string>{QUORVEL_RENDER_PATH, "render", kVersusScene, "-o", output,
                                     "--frames",          "0-149",  "--jobs",     "2"};
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = RunProgram(command);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!ok) {
      state.SkipWithError((program + " failed").c_str());
      break;
    }
  }
  state.counters["frames"] = 150;
  std::filesystem::remove_all(directory);
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
  for (const char* extension : {".png", ".mov"}) {
    for (const char* program : {"quorvel", "ffmpeg"}) {
      benchmark::RegisterBenchmark(
          (std::string("versus_ffmpeg/") + program + "/" + (extension + 1)).c_str(), Versus,
          std::string(program), std::string(extension))
          ->UseManualTime()
          ->Iterations(2)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::Register);
}
