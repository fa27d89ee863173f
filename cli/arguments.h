// SPDX-License-Identifier: MIT
// The command line of quorvel-render.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/output_path.h"
#include "compose/document/scene_overrides.h"

namespace quorvel::cli {

enum class CommandName {
  kRender,
  kSheet,
  kDescribe,
  kCaptions,
  kBatch,
  kConcat,
  kManifestMerge,
  kHelp,
  kVersion
};

// --segment I/N: the I-th (from 1) of N consecutive runs of the frames.
struct SegmentChoice {
  int index = 1;
  int count = 1;
};

struct Invocation {
  CommandName command = CommandName::kHelp;
  std::string scene;                  // render, sheet, describe (optional), batch's template
  std::string subtitles;              // captions: the .srt or .vtt file
  std::string style;                  // captions: -s, the style scene
  std::string data;                   // batch: the CSV file
  std::vector<std::string> segments;  // concat: the videos to join, in order
  std::string output;                 // render, sheet, captions, batch: -o
  std::optional<A_long> frame;        // render: --frame
  std::optional<compose::FrameRange> frames;  // render, sheet: --frames
  std::optional<int> jobs;                    // render, sheet: --jobs (default: hardware threads)
  std::optional<SegmentChoice> segment;       // render, captions: --segment I/N
  std::optional<int> columns;                 // sheet: --columns
  std::string module;                  // --module, or describe's argument; empty: the default
  bool strict = false;                 // --strict: a scene's warnings are errors
  std::optional<uint64_t> max_memory;  // render, sheet: --max-memory, bytes of worlds at once
  std::vector<compose::SceneOverride> overrides;  // --set, in the order given
  bool per_line = false;                          // captions: --per-line
  double fade_seconds = 0;                        // captions: --fade
  std::string encoding;                           // captions: --encoding; empty: detected
  std::optional<double> duration_seconds;         // captions, and with --over: --duration
  std::string over;                               // render, captions, batch: --over FILE
  bool no_audio = false;                          // --no-audio: videos leave the sound out
  std::optional<int> crf;                         // --crf: H.264 and VP9 quality
  std::string preset;                             // --preset: H.264 and VP9 speed
  std::string prores;                             // --prores 422hq|4444
  // captions from a word-timed transcript (.json): how its words are gathered into cues, and
  // where the cues formed are written (.srt or .vtt)
  std::optional<int> max_chars;        // --max-chars, per line
  std::optional<int> max_lines;        // --max-lines
  std::optional<double> max_duration;  // --max-duration, seconds
  std::optional<double> pause;         // --pause, seconds
  std::string cues_out;                // --cues-out FILE
  bool progress_json = false;          // --progress json: a JSON object a line, not a bar
  // batch at scale: a record of the rows finished, resuming from it, going on past a failed row,
  // and the share of the rows this worker renders
  std::string manifest;                // --manifest FILE.jsonl
  bool resume = false;                 // --resume
  bool keep_going = false;             // --keep-going
  std::string shard;                   // --shard I/N, auto/N or auto; empty: every row
  std::vector<std::string> manifests;  // manifest merge: the manifests to join
};

// The arguments after the program's name. Throws UsageError.
Invocation ParseArguments(const std::vector<std::string>& arguments);

extern const char kUsage[];

}  // namespace quorvel::cli
