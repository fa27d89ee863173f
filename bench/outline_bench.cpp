// SPDX-License-Identifier: MIT
// The outline walk (the host's outlines of the layer's text, vertex by vertex, into the bounds)
// against the number of vertices: a short word, a paragraph and a page of text.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_main.h"
#include "headless/instance/effect_instance.h"
#include "headless/text/text_outlines.h"
#include "text/text_bounds.h"
#include "text/text_outline_query.h"

namespace quorvel::bench {
namespace {

constexpr char kWord[] = "Quorvel";
constexpr char kSentence[] =
    "A motion designer scrubs a timeline: every frame of every text layer runs this effect, at "
    "4K and with motion blur, several frames at once.";

std::string Lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += '\n';
    text += kSentence;
  }
  return text;
}

// The benchmark loop runs inside one render command of an instance whose entry point is this
// function, so that the walk meets the host exactly as it does inside the plug-in's render.
benchmark::State* running_state = nullptr;

PF_Err WalkingEntryPoint(PF_Cmd command, PF_InData* in_data, PF_OutData*, PF_ParamDef**,
                         PF_LayerDef*, void*) {
  if (command != PF_Cmd_RENDER) return PF_Err_NONE;
  for (auto _ : *running_state) {
    TextBounds bounds{};
    TextBoundsAccumulator accumulator(bounds);
    A_long motion_blur = 0;
    QueryTextOutlines(in_data, false, motion_blur, accumulator);
    benchmark::DoNotOptimize(bounds);
  }
  return PF_Err_NONE;
}

int64_t CountVertices(const headless::TextOutlines& outlines) {
  int64_t count = 0;
  for (const auto& outline : outlines) count += static_cast<int64_t>(outline.vertices.size());
  return count;
}

void OutlineWalk(benchmark::State& state, std::string text) {
  headless::EffectInstance instance(&WalkingEntryPoint);
  headless::TextLayer& layer = instance.mutable_scene().layer;
  layer.text = text;
  layer.font_size = 24;
  // The glyph outlines, made once; the walk then measures the query and the walk alone.
  const headless::TextOutlines outlines = headless::TextOutlinesAt(layer, 0);
  layer.explicit_outlines = headless::Animated<headless::TextOutlines>(outlines);
  running_state = &state;
  const headless::CommandResult result = instance.Run(PF_Cmd_RENDER);
  running_state = nullptr;
  if (result.err != PF_Err_NONE || !result.held.Empty()) {
    state.SkipWithError("the walk failed or left something held");
  }
  state.counters["vertices"] = static_cast<double>(CountVertices(outlines));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * CountVertices(outlines));
}

void Register() {
  benchmark::RegisterBenchmark("outline_walk/word", OutlineWalk, std::string(kWord))
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("outline_walk/paragraph", OutlineWalk, Lines(4))
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("outline_walk/page", OutlineWalk, Lines(40))
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  return quorvel::bench::RunBenchmarks(argc, argv, quorvel::bench::Register);
}
