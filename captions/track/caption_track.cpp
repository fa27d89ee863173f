// SPDX-License-Identifier: MIT
#include "captions/track/caption_track.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <utility>

#include "captions/track/cue_boxes.h"
#include "captions/track/cue_layout.h"
#include "captions/track/track_keys.h"
#include "captions/track/word_highlight.h"
#include "headless/text/text_outlines.h"

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
  // For each line as the caption's layer lays the cue out (wrapped), whether it draws anything.
  std::vector<bool> inked_lines;
};

bool HasInk(const std::string& line) {
  return line.find_first_not_of(" \t\n") != std::string::npos;
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

// Cues shown one after another by one layer: at one anchor and line alignment, each ending
// before the next starts. Cues that overlap in time go to layers of their own.
struct Track {
  headless::TextAnchor anchor;
  headless::TextAlignment alignment = headless::TextAlignment::kLeft;
  std::vector<CueFrames> cues;
  std::vector<headless::Point2> positions;  // each cue's
};

std::vector<Track> Tracks(const std::vector<CueFrames>& frames,
                          const std::vector<CuePlacement>& placements) {
  std::vector<Track> tracks;
  for (size_t index = 0; index < frames.size(); ++index) {
    const CuePlacement& placed = placements[index];
    const auto free = std::find_if(tracks.begin(), tracks.end(), [&](const Track& track) {
      return track.anchor.x == placed.anchor.x && track.anchor.y == placed.anchor.y &&
             track.alignment == placed.alignment && track.cues.back().end <= frames[index].first;
    });
    Track& track = free != tracks.end()
                       ? *free
                       : tracks.emplace_back(Track{placed.anchor, placed.alignment, {}, {}});
    track.cues.push_back(frames[index]);
    track.positions.push_back(placed.position);
  }
  return tracks;
}

// With a box per line, translucent boxes that overlap would darken twice where they do. So the
// lines' boxes are drawn opaque and laid over together, as a group, at the fill's opacity, and
// the text goes on top as a layer of its own. The fill's opacity, when that can be done: set as
// a number below 100 (a border's opacity in proportion), and the text not cut out of the box.
std::optional<double> GroupedBoxOpacity(const SceneLayer& caption) {
  if (!caption.effect || !caption.effect->is_object()) return std::nullopt;
  const compose::Json& effect = *caption.effect;
  const auto fill = effect.find("Fill Opacity");
  if (fill == effect.end() || !fill->is_number()) return std::nullopt;
  const double opacity = fill->get<double>();
  if (!(opacity > 0 && opacity < 100)) return std::nullopt;
  const auto subtract = effect.find("Subtract Text from Fill");
  if (subtract != effect.end() && *subtract != false) return std::nullopt;
  const auto border = effect.find("Border Opacity");
  if (border != effect.end() && !border->is_number()) return std::nullopt;
  return opacity;
}

// One opaque line box of a grouped cue: its text transparent, its box opaque.
void MakeOpaqueLineBox(SceneLayer& layer, double group_opacity) {
  layer.text.color.alpha = 0;
  compose::Json& effect = *layer.effect;
  effect["Fill Opacity"] = 100;
  if (const auto border = effect.find("Border Opacity"); border != effect.end()) {
    *border = std::min(100.0, border->get<double>() * 100 / group_opacity);
  }
}

// The layers that show a track's cues: one, or with `per_line` one per line (the longest cue's
// count), their text and place held from each cue's first frame and their opacity showing them
// on its frames. With a word highlight, the text goes on top as a layer of its own, the
// highlight's box under it and the caption's boxes, their text transparent, under that.
void AddTrackLayers(const SceneLayer& caption, const Track& track, const CaptionOptions& options,
                    const std::optional<compose::WordHighlight>& highlight, SceneFile& scene) {
  const headless::Composition& composition = scene.composition;
  SceneLayer base = caption;
  base.text.anchor = track.anchor;
  base.text.alignment = track.alignment;
  std::map<double, std::string> text;
  std::map<double, headless::Point2> positions;
  bool moved = track.anchor.x != caption.text.anchor.x || track.anchor.y != caption.text.anchor.y ||
               track.alignment != caption.text.alignment;
  const headless::Point2 style_position = caption.text.position.At(0);
  for (size_t index = 0; index < track.cues.size(); ++index) {
    const CueFrames& cue = track.cues[index];
    const headless::Point2 position = track.positions[index];
    moved = moved || position.x != style_position.x || position.y != style_position.y;
    text[FrameSeconds(cue.end, composition)] = "";
    text[FrameSeconds(cue.first, composition)] = cue.cue->text;
    positions[FrameSeconds(cue.first, composition)] = position;
  }
  base.text.text = Keyed(text, headless::Easing::Hold());
  // A style's own animation of its place stays, unless a cue had to move.
  if (moved) base.text.position = Keyed(positions, headless::Easing::Hold());

  const auto shown_when = [&](const std::function<bool(const CueFrames&)>& inked) {
    std::vector<CueFrames> shown;
    for (const CueFrames& cue : track.cues) {
      if (inked(cue)) shown.push_back(cue);
    }
    return OpacityKeys(shown, composition, options.fade_seconds);
  };
  const auto whole_cue_inked = [](const CueFrames& cue) {
    return std::find(cue.inked_lines.begin(), cue.inked_lines.end(), true) != cue.inked_lines.end();
  };
  base.text.opacity = shown_when(whole_cue_inked);
  const bool boxed = base.effect.has_value();
  if (highlight) {
    std::vector<TrackCue> cues;
    for (size_t index = 0; index < track.cues.size(); ++index) {
      const CueFrames& cue = track.cues[index];
      cues.push_back(TrackCue{cue.cue, cue.first, cue.end, track.positions[index]});
    }
    HighlightLayers layers = HighlightTrack(base, *highlight, cues, composition, scene.file);
    SceneLayer text_on_top = base;
    text_on_top.effect.reset();
    text_on_top.text.text = std::move(layers.text_on_top);
    scene.layers.push_back(std::move(text_on_top));
    scene.layers.push_back(std::move(layers.highlight));
    if (!boxed) return;
    base.text.color.alpha = 0;
  }
  if (!options.per_line) {
    if (boxed || !highlight) scene.layers.push_back(std::move(base));
    return;
  }
  size_t line_count = 1;
  for (const CueFrames& cue : track.cues) line_count = std::max(line_count, cue.inked_lines.size());
  const std::optional<double> group_opacity = GroupedBoxOpacity(caption);
  std::optional<size_t> group;
  if (group_opacity) {
    if (!highlight) {
      SceneLayer text_on_top = base;
      text_on_top.effect.reset();
      scene.layers.push_back(std::move(text_on_top));
    }
    group = scene.groups.size();
    scene.groups.push_back(compose::LayerGroup{Animated<double>(*group_opacity)});
  }
  for (size_t line = 0; line < line_count; ++line) {
    SceneLayer layer = base;
    layer.text.opacity = shown_when([line](const CueFrames& cue) {
      return line < cue.inked_lines.size() && cue.inked_lines[line];
    });
    layer.text.shown_line = static_cast<int>(line);
    if (group) {
      layer.group = group;
      MakeOpaqueLineBox(layer, *group_opacity);
    }
    scene.layers.push_back(std::move(layer));
  }
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
  SceneFile scene = style;
  scene.layers.clear();
  scene.warnings.clear();  // about the style's own text, which the cues replace
  headless::Composition& composition = scene.composition;
  // Sorted by start, the cue that ends last need not be the last one.
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

  // Cue text is markup, wrapped into balanced lines: by default as wide as the safe area leaves
  // room for, the box's growth aside.
  SceneLayer caption = *texts.front();
  caption.text.markup = true;
  caption.text.balanced = true;
  if (caption.text.width <= 0) {
    const BoxRect safe = SafeArea(composition, style.safe_area);
    caption.text.width = std::max(1.0, safe.right - safe.left - 2 * SideGrowth(caption));
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
    CueFrames cue_frames{&cue,
                         end_ms,
                         static_cast<A_long>(FirstFrameAtOrAfter(cue.start_ms, composition)),
                         static_cast<A_long>(std::min<int64_t>(
                             FirstFrameAtOrAfter(end_ms, composition), frame_count)),
                         {}};
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
    const std::string place = subtitles_file + ":" + std::to_string(cue.line);
    headless::TextLayer laid_out = caption.text;
    laid_out.text = Animated<std::string>(cue.text);
    bool overflows = false;
    for (const headless::TextLineMeasure& line : headless::MeasureTextLines(laid_out, 0)) {
      cue_frames.inked_lines.push_back(HasInk(line.text));
      overflows = overflows || line.overflows;
    }
    if (overflows) {
      scene.warnings.push_back(place + ": a word of the cue is wider than the captions' width (" +
                               ShownNumber(std::round(caption.text.width)) +
                               " px) and runs past it");
    }
    CheckCueBox(caption, cue.text, options.per_line ? cue_frames.inked_lines.size() : 0, place);
    frames.push_back(std::move(cue_frames));
    if (std::string warning = MissingGlyphsWarning(styled, {cue.text},
                                                   subtitles_file + ":" + std::to_string(cue.line));
        !warning.empty()) {
      scene.warnings.push_back(std::move(warning));
    }
  }

  if (style.highlight) {
    for (const char* cut : {"Matte Text to Fill", "Subtract Text from Fill"}) {
      if (caption.effect && caption.effect->is_object() && caption.effect->contains(cut) &&
          caption.effect->at(cut) != false) {
        throw SceneError(style.file + ": effect." + cut +
                         ": the text of a style with a highlight is drawn over the highlight, " +
                         "so it cannot be cut out of the caption's box");
      }
    }
    if (std::all_of(cues.begin(), cues.end(),
                    [](const Cue& cue) { return cue.timestamps.empty(); })) {
      scene.warnings.push_back(subtitles_file +
                               ": no cue has word times (a transcript, or WebVTT's inline "
                               "timestamps), so the highlight covers each whole cue");
    }
    // The highlight's blur only: layers that were not blurred stay so.
    if (style.highlight->motion_blur && !composition.motion_blur) {
      composition.motion_blur = true;
      caption.text.motion_blur = false;
    }
  }
  std::vector<const Cue*> placed_cues;
  placed_cues.reserve(frames.size());
  for (const CueFrames& cue : frames) placed_cues.push_back(cue.cue);
  const std::vector<CuePlacement> placements = PlaceCues(
      caption, placed_cues, scene.composition, style.safe_area, subtitles_file, scene.warnings);
  for (const Track& track : Tracks(frames, placements)) {
    AddTrackLayers(caption, track, options, style.highlight, scene);
  }
  for (SceneLayer& under : footage) scene.layers.push_back(std::move(under));
  return scene;
}

}  // namespace quorvel::captions
