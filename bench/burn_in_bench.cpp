// SPDX-License-Identifier: MIT
// Captions burnt into a user's video, as a whole command: 60 s of 1080p30 H.264 with AAC sound
// (made here from ffmpeg's test sources), 30 cues, through quorvel-render captions --over, against
// ffmpeg drawing the same cues with libass and against ffmpeg re-encoding the clip alone (the
// floor: decoding and encoding), all to H.264 veryfast at crf 18 with the sound copied. And a
// footage render composited in RGB (the lower third over the example clip, its 180 frames to PNGs)
// at 1 and at 2 jobs. And a word-timed transcript's caption track with its spoken-word highlight
// against the same style without it: burnt into the clip, and alone as a ProRes 4444 track.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "bench/run_program.h"

namespace quorvel::bench {
namespace {

namespace fs = std::filesystem;

const fs::path kFolder = fs::temp_directory_path() / "quorvel_burn_in_bench";

std::string Clip() {
  return (kFolder / "clip.mp4").string();
}
std::string Cues() {
  return (kFolder / "cues.srt").string();
}

// The clip and the cues, made once: a cue every 2 s, 1.7 s long.
bool MakeInputs() {
  fs::create_directories(kFolder);
  if (!fs::exists(Cues())) {
    std::ofstream cues(Cues());
    for (int cue = 0; cue < 30; ++cue) {
      const int start = cue * 2000 + 100;
      const int end = start + 1700;
      char timing[64];
      std::snprintf(timing, sizeof timing, "00:%02d:%02d,%03d --> 00:%02d:%02d,%03d", start / 60000,
                    start / 1000 % 60, start % 1000, end / 60000, end / 1000 % 60, end % 1000);
      cues << cue + 1 << "\n"
           << timing << "\nCaption number " << cue + 1 << " of the benchmark\n\n";
    }
  }
  if (fs::exists(Clip())) return true;
  return RunProgram(
      {"ffmpeg",    "-v",      "error",    "-y",
       "-f",        "lavfi",   "-i",       "testsrc2=size=1920x1080:rate=30:duration=60",
       "-f",        "lavfi",   "-i",       "sine=frequency=440:sample_rate=48000:duration=60",
       "-c:v",      "libx264", "-preset",  "veryfast",
       "-crf",      "23",      "-pix_fmt", "yuv420p",
       "-c:a",      "aac",     "-b:a",     "96k",
       "-shortest", Clip()});
}

std::string Transcript() {
  return (kFolder / "words.json").string();
}
// The built-in highlight style, and the same style without its highlight.
std::string WordStyle(bool highlight) {
  return highlight ? QUORVEL_SOURCE_DIR "/scenes/styles/word_pill.json"
                   : (kFolder / "word_plain.json").string();
}

// 60 s of speech: sentences of eight words, each word 0.25 s with 0.05 s between, a 0.6 s
// pause after each sentence; and the style without highlight, made from the built-in one.
bool MakeWordInputs() {
  fs::create_directories(kFolder);
  std::ofstream words(Transcript());
  words << "[";
  double at = 0.1;
  for (int word = 0; at < 59; ++word) {
    char entry[96];
    std::snprintf(entry, sizeof entry, "%s{\"word\": \" %s\", \"start\": %.2f, \"end\": %.2f}",
                  word == 0 ? "" : ",", word % 8 == 7 ? "again." : (word % 3 ? "word" : "caption"),
                  at, at + 0.25);
    words << entry;
    at += word % 8 == 7 ? 0.9 : 0.3;
  }
  words << "]";
  std::ifstream style(WordStyle(true));
  std::string text((std::istreambuf_iterator<char>(style)), std::istreambuf_iterator<char>());
  const size_t highlight = text.find(",\n  \"highlight\"");
  if (highlight == std::string::npos) return false;
  std::ofstream(WordStyle(false)) << text.substr(0, highlight) << "\n}\n";
  return MakeInputs();
}

std::vector<std::string> Command(const std::string& program) {
  const std::string out = (kFolder / (program + ".mp4")).string();
  if (program == "quorvel") {
    return {QUORVEL_RENDER_PATH,
            "captions",
            Cues(),
            "-s",
            QUORVEL_SOURCE_DIR "/scenes/caption_style.json",
            "--over",
            Clip(),
            "-o",
            out,
            "--preset",
            "veryfast",
            "--crf",
            "18"};
  }
  std::vector<std::string> command = {"ffmpeg", "-v", "error", "-y", "-i", Clip()};
  if (program == "ffmpeg_libass") {
    command.insert(command.end(), {"-vf", "subtitles=" + Cues() +
                                              ":force_style='BorderStyle=4,BackColour=&H40000000,"
                                              "Fontsize=24'"});
  }
  command.insert(command.end(),
                 {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-c:a", "copy", out});
  return command;
}

void TimeCommand(benchmark::State& state, const std::vector<std::string>& command) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = RunProgram(command);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!ok) {
      state.SkipWithError((command.front() + " failed").c_str());
      break;
    }
  }
}

void Words(benchmark::State& state, const std::string& output, bool highlight) {
  if (!MakeWordInputs()) {
    state.SkipWithError("cannot make the transcript, the style or the clip");
    return;
  }
  std::vector<std::string> command = {QUORVEL_RENDER_PATH, "captions", Transcript(), "-s",
                                      WordStyle(highlight)};
  const std::string out = (kFolder / ("words" + std::string(highlight ? "_highlight" : "_plain") +
                                      (output == "over_clip" ? ".mp4" : ".mov")))
                              .string();
  if (output == "over_clip") {
    command.insert(command.end(),
                   {"--over", Clip(), "--preset", "veryfast", "--crf", "18", "-o", out});
  } else {
    command.insert(command.end(), {"--frames", "0-299", "-o", out});
  }
  TimeCommand(state, command);
}

void BurnIn(benchmark::State& state, const std::string& program) {
  if (!MakeInputs()) {
    state.SkipWithError("cannot make the clip with ffmpeg");
    return;
  }
  TimeCommand(state, Command(program));
  state.counters["frames"] = 1800;
}

void FootageRender(benchmark::State& state, int jobs) {
  const fs::path folder = kFolder / ("frames" + std::to_string(jobs));
  fs::create_directories(folder);
  TimeCommand(
      state,
      {QUORVEL_RENDER_PATH, "render", QUORVEL_SOURCE_DIR "/scenes/lower_third_over_clip.json", "-o",
       (folder / "f_%04d.png").string(), "--frames", "0-179", "--jobs", std::to_string(jobs)});
  fs::remove_all(folder);
}

void Register() {
  for (const char* program : {"quorvel", "ffmpeg_libass", "ffmpeg_plain"}) {
    benchmark::RegisterBenchmark((std::string("burn_in/") + program).c_str(), BurnIn,
                                 std::string(program))
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  for (const char* output : {"over_clip", "track_mov"}) {
    for (const bool highlight : {false, true}) {
      benchmark::RegisterBenchmark(
          (std::string("words/") + output + (highlight ? "/highlight" : "/plain")).c_str(), Words,
          std::string(output), highlight)
          ->UseManualTime()
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
  }
  for (const int jobs : {1, 2}) {
    benchmark::RegisterBenchmark(("footage_render/jobs" + std::to_string(jobs)).c_str(),
                                 FootageRender, jobs)
        ->UseManualTime()
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::Register);
}
