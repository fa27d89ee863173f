// SPDX-License-Identifier: MIT
#include "captions/track/word_highlight.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "captions/track/caption_track.h"
#include "captions/track/cue_boxes.h"
#include "captions/track/track_keys.h"
#include "headless/text/markup.h"
#include "headless/text/text_outlines.h"

namespace quorvel::captions {

using compose::IsKeyframeList;
using compose::Json;
using compose::SceneError;
using compose::SceneLayer;
using compose::WordHighlight;

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool HasInk(const std::string& markup) {
  const std::u32string text = headless::ParseMarkup(markup).text;
  return std::any_of(text.begin(), text.end(), [](char32_t c) {
    return c != U' ' && c != U'\t' && c != U'\n' && c != U'\r' && c != 0xA0;
  });
}

std::string Wrapped(const std::string& text, const std::string& open, const std::string& close) {
  return text.empty() ? text : open + text + close;
}

std::string Colored(const std::string& text, const std::optional<PF_Pixel>& color) {
  if (!color) return text;
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02x%02x%02x", color->red, color->green, color->blue);
  return Wrapped(text, std::string("<font color=\"") + hex + "\">", "</font>");
}

// Where the highlight's box stands with the layer's text `measured`: around its ink, grown as
// the effect grows it.
BoxRect BoxOf(const SceneLayer& highlight_layer, const std::string& measured) {
  headless::TextLayer layer = highlight_layer.text;
  layer.text = headless::Animated<std::string>(measured);
  return BoxAround(highlight_layer, layer);
}

// What a travel key makes of the effect's own Position and scales.
struct TravelStep {
  double x = 0;  // added to Position
  double y = 0;
  double scale_x = 1;  // multiplies Scale Width and Scale Height
  double scale_y = 1;
  bool eased = false;  // moves on to the next key as the travel's easing says; else holds
};

double AnchorFraction(const Json& effect, const char* name, const char* first, const char* last) {
  const auto given = effect.find(name);
  if (given == effect.end() || !given->is_string()) return 0.5;
  if (*given == first) return 0;
  return *given == last ? 1 : 0.5;
}

// During travel the layer measures both words (and any between), so its box is never smaller
// than the box wanted, which Scale Width and Height (at most 100 % of the effect's own) shrink
// it to and Position puts in place; the box's pivot is its anchor point.
TravelStep Fitted(const BoxRect& both, const BoxRect& wanted, const Json& effect) {
  const double fx = AnchorFraction(effect, "Anchor Point X", "Left", "Right");
  const double fy = AnchorFraction(effect, "Anchor Point Y", "Top", "Bottom");
  const double both_width = both.right - both.left;
  const double both_height = both.bottom - both.top;
  const double width = wanted.right - wanted.left;
  const double height = wanted.bottom - wanted.top;
  if (!(both_width > 0 && both_height > 0)) return {};
  return {wanted.left + fx * width - (both.left + fx * both_width),
          wanted.top + fy * height - (both.top + fy * both_height), width / both_width,
          height / both_height, false};
}

// A number or point of the effect as written, which travel keys are made from.
Json TravelBase(const Json& effect, const char* name, const Json& fallback,
                const std::string& style_file) {
  const auto given = effect.find(name);
  if (given == effect.end()) return fallback;
  if (IsKeyframeList(*given)) {
    throw SceneError(style_file + ": highlight.effect." + name +
                     ": a highlight with \"travel\" moves the box itself; give a constant value");
  }
  return *given;
}

// The effect with its Position and scales keyed by the travel steps; values the effect does not
// take are left for its own check to name.
void AddTravelKeys(Json& effect, const std::map<double, TravelStep>& steps, const Json& easing,
                   const std::string& style_file) {
  if (const auto uniform = effect.find("Uniform Scale");
      uniform != effect.end() && *uniform != false) {
    throw SceneError(style_file +
                     ": highlight.effect.Uniform Scale: a highlight with \"travel\" fits the "
                     "box's width and height to each word apart; turn it off");
  }
  const Json position = TravelBase(effect, "Position", Json::array({0, 0}), style_file);
  const Json scale_width = TravelBase(effect, "Scale Width", 100, style_file);
  const Json scale_height = TravelBase(effect, "Scale Height", 100, style_file);
  const bool numbers = position.is_array() && position.size() == 2 && position[0].is_number() &&
                       position[1].is_number() && scale_width.is_number() &&
                       scale_height.is_number();
  if (!numbers) return;
  Json position_keys = Json::array();
  Json width_keys = Json::array();
  Json height_keys = Json::array();
  for (const auto& [at, step] : steps) {
    const double seconds = at;  // a lambda cannot capture a structured binding
    const Json key_easing = step.eased ? easing : Json("hold");
    const auto key = [&](Json value) {
      return Json{{"t", seconds}, {"v", std::move(value)}, {"easing", key_easing}};
    };
    position_keys.push_back(
        key(Json::array({position[0].get<double>() + step.x, position[1].get<double>() + step.y})));
    width_keys.push_back(key(scale_width.get<double>() * step.scale_x));
    height_keys.push_back(key(scale_height.get<double>() * step.scale_y));
  }
  effect["Position"] = std::move(position_keys);
  effect["Scale Width"] = std::move(width_keys);
  effect["Scale Height"] = std::move(height_keys);
}

}  // namespace

std::vector<CueWord> CueWords(const Cue& cue) {
  const std::string& text = cue.text;
  std::vector<CueWord> pieces{{0, text.size(), cue.start_ms}};
  for (const Cue::Timestamp& stamp : cue.timestamps) {
    const size_t offset = std::clamp(stamp.offset, pieces.back().begin, text.size());
    const int64_t ms = std::clamp(stamp.ms, pieces.back().start_ms, cue.end_ms);
    pieces.back().end = offset;
    pieces.push_back({offset, text.size(), ms});
  }
  std::vector<CueWord> words;
  for (CueWord piece : pieces) {
    while (piece.begin < piece.end && IsSpace(text[piece.begin])) ++piece.begin;
    while (piece.end > piece.begin && IsSpace(text[piece.end - 1])) --piece.end;
    if (HasInk(text.substr(piece.begin, piece.end - piece.begin))) words.push_back(piece);
  }
  return words;
}

std::string OnlyWordMeasured(const std::string& text, const CueWord& word) {
  return Wrapped(text.substr(0, word.begin), "<phantom>", "</phantom>") +
         text.substr(word.begin, word.end - word.begin) +
         Wrapped(text.substr(word.end), "<phantom>", "</phantom>");
}

std::string SpokenColors(const std::string& text, const std::vector<CueWord>& words, size_t active,
                         const WordHighlight& highlight, bool active_colored) {
  const CueWord& word = words.at(active);
  const size_t spoken_from = words.front().begin;
  return text.substr(0, spoken_from) +
         Colored(text.substr(spoken_from, word.begin - spoken_from), highlight.spoken_color) +
         Colored(text.substr(word.begin, word.end - word.begin),
                 active_colored ? highlight.color : std::nullopt) +
         text.substr(word.end);
}

HighlightLayers HighlightTrack(const SceneLayer& caption, const WordHighlight& highlight,
                               const std::vector<TrackCue>& cues,
                               const headless::Composition& composition,
                               const std::string& style_file) {
  HighlightLayers layers{caption, {}};
  SceneLayer& layer = layers.highlight;
  layer.text.color.alpha = 0;
  layer.effect = highlight.effect;
  layer.effect_path = "highlight.effect";
  layer.group.reset();
  layer.text.motion_blur = highlight.motion_blur;

  std::map<double, std::string> measured;
  std::map<double, std::string> on_top;
  std::map<double, TravelStep> travel;
  const auto seconds = [&](A_long frame) { return FrameSeconds(frame, composition); };
  const auto travel_ms = static_cast<int64_t>(std::llround(highlight.travel_seconds * 1000));
  for (const TrackCue& shown : cues) {
    const Cue& cue = *shown.cue;
    measured[seconds(shown.end)] = "";
    on_top[seconds(shown.end)] = "";
    on_top[seconds(shown.first)] = cue.text;
    measured[seconds(shown.first)] = "";
    if (travel_ms > 0) travel[seconds(shown.first)] = TravelStep{};
    const std::vector<CueWord> words = CueWords(cue);
    SceneLayer measuring = layer;
    measuring.text.position = headless::Animated<headless::Point2>(shown.position);
    std::optional<CueWord> boxed;      // the word the box is on
    std::optional<BoxRect> boxed_box;  // its box, once measured
    for (size_t index = 0; index < words.size(); ++index) {
      const CueWord& word = words[index];
      const auto start = static_cast<A_long>(
          std::max<int64_t>(shown.first, FirstFrameAtOrAfter(word.start_ms, composition)));
      if (start >= shown.end) break;
      A_long arrival = start;
      if (travel_ms > 0 && boxed) {
        const int64_t next_ms = index + 1 < words.size() ? words[index + 1].start_ms : cue.end_ms;
        const int64_t arrival_ms =
            word.start_ms + std::min(travel_ms, (next_ms - word.start_ms) / 2);
        arrival = static_cast<A_long>(
            std::min<int64_t>(FirstFrameAtOrAfter(arrival_ms, composition), shown.end - 1));
        // From the frame the word starts the box eases from the last word's place to its
        // place, which it reaches on the frame before its arrival; from then on it stands on
        // the word alone.
        if (arrival - start >= 2) {
          const std::string both = OnlyWordMeasured(
              cue.text, {std::min(boxed->begin, word.begin), std::max(boxed->end, word.end), 0});
          const BoxRect both_box = BoxOf(measuring, both);
          if (!boxed_box) boxed_box = BoxOf(measuring, OnlyWordMeasured(cue.text, *boxed));
          const BoxRect word_box = BoxOf(measuring, OnlyWordMeasured(cue.text, word));
          measured[seconds(start)] = both;
          TravelStep from = Fitted(both_box, *boxed_box, highlight.effect);
          from.eased = true;
          travel[seconds(start)] = from;
          travel[seconds(arrival - 1)] = Fitted(both_box, word_box, highlight.effect);
          travel[seconds(arrival)] = TravelStep{};
          boxed = word;
          boxed_box = word_box;
          // While the box moves, no word has the spoken word's colour.
          on_top[seconds(start)] = SpokenColors(cue.text, words, index, highlight, false);
          on_top[seconds(arrival - 1)] = SpokenColors(cue.text, words, index, highlight);
        } else {
          arrival = start;
        }
      }
      measured[seconds(arrival)] = OnlyWordMeasured(cue.text, word);
      if (arrival == start) {
        on_top[seconds(start)] = SpokenColors(cue.text, words, index, highlight);
        boxed = word;
        boxed_box.reset();
      }
    }
  }
  layer.text.text = Keyed(measured, headless::Easing::Hold());
  layers.text_on_top = Keyed(on_top, headless::Easing::Hold());
  if (!travel.empty()) {
    AddTravelKeys(*layer.effect, travel, highlight.travel_easing, style_file);
  }
  return layers;
}

}  // namespace quorvel::captions
