// SPDX-License-Identifier: MIT
#include "captions/caption_track.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "captions/cue_boxes.h"

namespace quorvel::captions {

using compose::FrameCount;
using compose::kMaxTextBytes;
using compose::LongestDuration;
using compose::MissingGlyphsWarning;
using compose::SceneError;
using compose::SceneFile;
using compose::SceneLayer;
using compose::ShownNumber;

namespace {

using headless::Animated;

struct CueFrames {
  const Cue* cue;
  int64_t end_ms;  // its end, or the track's when it runs past it
  A_long first;    // the first frame it shows on
  A_long end;      // the frame after its last
};

// A frame's time in seconds, as the host computes it (frames within the composition keep
// frame × frame_duration inside the host's 32-bit time values).
double FrameSeconds(A_long frame, const headless::Composition& composition) {
  return headless::Seconds(frame * composition.frame_duration, composition.time_scale);
}

// A cue's lines, split at '\n'.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines(1);
  for (const char c : text) {
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

bool HasInk(const std::string& line) {
  return line.find_first_not_of(" \t\n") != std::string::npos;
}

// Keys from a map of times: each time once, the value set last at it.
template <typename T>
Animated<T> Keyed(const std::map<double, T>& values, headless::Easing easing) {
  std::vector<typename Animated<T>::Key> keys;
  keys.reserve(values.size());
  for (const auto& [seconds, value] : values) keys.push_back({seconds, value, easing});
  if (keys.empty()) return Animated<T>(T{});
  return Animated<T>::Keyed(std::move(keys));
}

// Opacity keys that show the layer on the cues' frames: held at 100 and 0 on frame times, or,
// with a fade, ramps from the cue's start and to its end (each at most half the cue).
Animated<double> OpacityKeys(const std::vector<CueFrames>& shown,
                             const headless::Composition& composition, double fade) {
  if (shown.empty()) return Animated<double>(0.0);
  // Hidden from the start: before its first key a value is the first key's.
  std::map<double, double> opacity{{0.0, 0.0}};
  for (const CueFrames& cue : shown) {
    if (fade <= 0) {
      opacity[FrameSeconds(cue.first, composition)] = 100;
      opacity[FrameSeconds(cue.end, composition)] = 0;
      continue;
    }
    const double start = static_cast<double>(cue.cue->start_ms) / 1000;
    const double end = static_cast<double>(cue.end_ms) / 1000;
    const double ramp = std::min(fade, (end - start) / 2);
    opacity[start] = 0;
    opacity[start + ramp] = 100;
    opacity[end - ramp] = 100;
    opacity[end] = 0;
  }
  return Keyed(opacity, fade <= 0 ? headless::Easing::Hold() : headless::Easing::Linear());
}

}  // namespace

int64_t FirstFrameAtOrAfter(int64_t ms, const headless::Composition& composition) {
  // frame × frame_duration × 1000 >= ms × time_scale, the least such frame. Timestamps stay
  // below a million hours (3.6 × 10^12 ms) and the scale below 10^6, far inside 64 bits.
  const int64_t numerator = ms * static_cast<int64_t>(composition.time_scale);
  const int64_t denominator = static_cast<int64_t>(composition.frame_duration) * 1000;
  return (numerator + denominator - 1) / denominator;
}

SceneFile CaptionScene(const SceneFile& style, const std::vector<Cue>& cues,
                       const CaptionOptions& options, const std::string& subtitles_file) {
  // The style's one text layer carries the cues; footage under it (a video the captions go
  // over) stays as it is.
  std::vector<const SceneLayer*> texts;
  std::vector<SceneLayer> footage;
  for (const SceneLayer& layer : style.layers) {
    if (layer.footage) {
      footage.push_back(layer);
    } else {
      texts.push_back(&layer);
    }
  }
  if (texts.size() != 1) {
    throw SceneError(style.file + ": layers: a caption style has one text layer, not " +
                     std::to_string(texts.size()));
  }
  const SceneLayer& caption = *texts.front();
  SceneFile scene = style;
  scene.layers.clear();
  scene.warnings.clear();  // about the style's own text, which the cues replace
  headless::Composition& composition = scene.composition;
  // Cues may overlap: the one that starts last need not end last.
  const Cue& last = *std::max_element(
      cues.begin(), cues.end(), [](const Cue& a, const Cue& b) { return a.end_ms < b.end_ms; });
  composition.duration_seconds =
      options.duration_seconds.value_or(static_cast<double>(last.end_ms) / 1000);
  if (composition.duration_seconds > LongestDuration(composition)) {
    const std::string longest = ShownNumber(std::floor(LongestDuration(composition))) + " s";
    if (options.duration_seconds) {
      throw SceneError("--duration " + ShownNumber(*options.duration_seconds) +
                       ": longer than a composition at this frame rate may last (" + longest + ")");
    }
    throw SceneError(subtitles_file + ":" + std::to_string(last.line) + ": the cue ends at " +
                     ShownTimestamp(last.end_ms) + ", past what a composition at this frame " +
                     "rate may last (" + longest + ")");
  }

  std::vector<CueFrames> frames;
  const headless::TextLayer& styled = caption.text;
  // A shorter --duration cuts the track: cues from its end on are left out, one across it ends
  // with it.
  const auto track_ms = static_cast<int64_t>(std::llround(composition.duration_seconds * 1000));
  const A_long frame_count = FrameCount(composition);
  for (const Cue& cue : cues) {
    if (cue.start_ms >= track_ms) break;  // sorted by start
    const int64_t end_ms = std::min(cue.end_ms, track_ms);
    const CueFrames cue_frames{&cue, end_ms,
                               static_cast<A_long>(FirstFrameAtOrAfter(cue.start_ms, composition)),
                               static_cast<A_long>(std::min<int64_t>(
                                   FirstFrameAtOrAfter(end_ms, composition), frame_count))};
    if (cue_frames.first == cue_frames.end) {
      scene.warnings.push_back(subtitles_file + ":" + std::to_string(cue.line) + ": the cue (" +
                               ShownTimestamp(cue.start_ms) + " to " + ShownTimestamp(cue.end_ms) +
                               ") falls between two frames and shows on none");
      continue;
    }
    if (cue.text.size() > kMaxTextBytes) {
      throw SceneError(subtitles_file + ":" + std::to_string(cue.line) + ": the cue's text is " +
                       std::to_string(cue.text.size()) + " bytes long; at most " +
                       std::to_string(kMaxTextBytes) + " are taken");
    }
    CheckCueBox(caption, cue.text, options.per_line,
                subtitles_file + ":" + std::to_string(cue.line));
    frames.push_back(cue_frames);
    if (std::string warning = MissingGlyphsWarning(styled, {cue.text},
                                                   subtitles_file + ":" + std::to_string(cue.line));
        !warning.empty()) {
      scene.warnings.push_back(std::move(warning));
    }
  }

  // The text of every cue, held from its first frame; the layer's opacity shows it only there.
  std::map<double, std::string> text;
  for (const CueFrames& cue : frames) {
    text[FrameSeconds(cue.end, composition)] = "";
    text[FrameSeconds(cue.first, composition)] = cue.cue->text;
  }
  size_t line_count = 1;
  if (options.per_line) {
    for (const CueFrames& cue : frames)
      line_count = std::max(line_count, LinesOf(cue.cue->text).size());
  }
  for (size_t line = 0; line < line_count; ++line) {
    SceneLayer layer = caption;
    layer.text.text = Keyed(text, headless::Easing::Hold());
    std::vector<CueFrames> shown;
    for (const CueFrames& cue : frames) {
      const std::vector<std::string> lines = LinesOf(cue.cue->text);
      const bool inked =
          options.per_line ? line < lines.size() && HasInk(lines[line]) : HasInk(cue.cue->text);
      if (inked) shown.push_back(cue);
    }
    layer.text.opacity = OpacityKeys(shown, composition, options.fade_seconds);
    if (options.per_line) layer.text.shown_line = static_cast<int>(line);
    scene.layers.push_back(std::move(layer));
  }
  for (SceneLayer& under : footage) scene.layers.push_back(std::move(under));
  return scene;
}

}  // namespace quorvel::captions
