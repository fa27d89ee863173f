// SPDX-License-Identifier: MIT
#include "compose/scene/scene_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "compose/scene/anchor.h"
#include "compose/scene/font_check.h"
#include "compose/scene/text_block_keys.h"
#include "headless/text/text_outlines.h"

namespace quorvel::compose {
namespace {

using headless::Point2;

constexpr double kMinFrameRate = 1;
constexpr double kMaxFrameRate = 1000;
// Frame rates and downsample factors given as numbers are found as fractions with
// denominators up to this.
constexpr int64_t kLargestDenominator = 1000;
constexpr double kMaxDuration = 86400;
constexpr double kMaxCoordinate = 100000;

struct Fraction {
  int64_t numerator;
  int64_t denominator;
};

// "30000/1001": two whole numbers of at most nine digits.
std::optional<Fraction> ParseFraction(const std::string& text) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::string parts[2] = {text.substr(0, slash), text.substr(slash + 1)};
  int64_t values[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    if (parts[i].empty() || parts[i].size() > 9) return std::nullopt;
    for (const char c : parts[i]) {
      if (c < '0' || c > '9') return std::nullopt;
      values[i] = values[i] * 10 + (c - '0');
    }
  }
  return Fraction{values[0], values[1]};
}

// The fraction with the smallest denominator that equals the number (to double precision).
std::optional<Fraction> AsFraction(double number) {
  for (int64_t denominator = 1; denominator <= kLargestDenominator; ++denominator) {
    const double scaled = number * static_cast<double>(denominator);
    const double whole = std::round(scaled);
    if (std::fabs(scaled - whole) <= 1e-9 * std::fmax(1.0, std::fabs(scaled))) {
      return Fraction{static_cast<int64_t>(whole), denominator};
    }
  }
  return std::nullopt;
}

// Video rates a hair under a whole number (29.97 is 30000/1001 frames a second) are written
// in that exact form, as hosts keep them; 2997/100 would drift from the footage's clock.
std::optional<Fraction> AsVideoRate(double rate) {
  const double whole_rate = std::round(rate * 1.001);
  // Only from just below: 2.002 is no video rate (its nearest, 1.998, lies below the number).
  if (rate < whole_rate && std::fabs(whole_rate * 1000.0 / 1001.0 - rate) < 0.005) {
    return Fraction{static_cast<int64_t>(whole_rate) * 1000, 1001};
  }
  return std::nullopt;
}

Fraction ReadFrameRate(const JsonPlace& place) {
  const std::string range = ShownNumber(kMinFrameRate) + ".." + ShownNumber(kMaxFrameRate);
  std::optional<Fraction> rate;
  if (place.value().is_string()) {
    rate = ParseFraction(place.value().get<std::string>());
    if (!rate) {
      place.Fail("expected frames per second as a number or \"num/den\", found " +
                 Shown(place.value()));
    }
    if (rate->denominator == 0 || rate->numerator == 0) place.Fail("a frame rate cannot be zero");
    const double value =
        static_cast<double>(rate->numerator) / static_cast<double>(rate->denominator);
    if (value < kMinFrameRate || value > kMaxFrameRate) {
      place.Fail(Shown(place.value()) + " is outside " + range + " frames a second");
    }
  } else {
    const double value = ReadNumber(place, kMinFrameRate, kMaxFrameRate);
    rate =
        std::round(value) == value ? Fraction{static_cast<int64_t>(value), 1} : AsVideoRate(value);
    if (!rate) rate = AsFraction(value);
    if (!rate) {
      place.Fail(Shown(place.value()) + " is not a fraction with a denominator up to " +
                 std::to_string(kLargestDenominator) + "; write it as \"num/den\"");
    }
  }
  return *rate;
}

// Shutter instants are truncated to whole time units, so a frame must span many of them for
// the shutter to open and close at different times: 24 frames a second count time in 2400ths,
// 100 units a frame. A frame duration of 100 or more (30000/1001) is kept as it is.
void SetTimeUnits(const Fraction& rate, headless::Composition& composition) {
  constexpr int64_t kUnitsPerFrame = 100;
  const int64_t factor = (kUnitsPerFrame + rate.denominator - 1) / rate.denominator;
  composition.time_scale = static_cast<A_u_long>(rate.numerator * factor);
  composition.frame_duration = static_cast<A_long>(rate.denominator * factor);
}

void ReadComposition(const JsonPlace& place, headless::Composition& composition) {
  const ObjectReader reader(place, {"width", "height", "fps", "duration", "background",
                                    "motion_blur", "shutter_angle", "shutter_phase"});
  if (auto width = reader.Find("width")) {
    composition.width = static_cast<int32_t>(ReadWholeNumber(*width, 1, PF_MAX_WORLD_WIDTH));
  }
  if (auto height = reader.Find("height")) {
    composition.height = static_cast<int32_t>(ReadWholeNumber(*height, 1, PF_MAX_WORLD_HEIGHT));
  }
  // The duration is checked against the frame rate, so the rate comes first.
  const std::optional<JsonPlace> fps = reader.Find("fps");
  SetTimeUnits(
      fps ? ReadFrameRate(*fps) : Fraction{composition.time_scale, composition.frame_duration},
      composition);
  const std::optional<JsonPlace> duration = reader.Find("duration");
  if (duration) {
    composition.duration_seconds = ReadNumber(*duration, 0, kMaxDuration);
    if (composition.duration_seconds <= 0) duration->Fail("the duration must be more than 0 s");
  }
  if (composition.duration_seconds > LongestDuration(composition)) {
    const std::string why = ShownNumber(composition.duration_seconds) +
                            " s is longer than this frame rate allows (" +
                            ShownNumber(std::floor(LongestDuration(composition))) + " s)";
    if (duration) duration->Fail(why);
    place.Fail("duration: the default of " + why);
  }
  if (auto background = reader.Find("background")) composition.background = ReadColor(*background);
  if (auto blur = reader.Find("motion_blur")) composition.motion_blur = ReadBool(*blur);
  if (auto angle = reader.Find("shutter_angle")) {
    composition.shutter_angle_degrees = ReadNumber(*angle, 0, 720);
  }
  if (auto phase = reader.Find("shutter_phase")) {
    composition.shutter_phase_degrees = ReadNumber(*phase, -360, 360);
  }
}

std::string ReadText(const JsonPlace& place) {
  std::string text = ReadString(place);
  // A NUL would end the text early wherever it is handed on as a C string.
  if (text.find('\0') != std::string::npos) place.Fail("the text holds a NUL character (\\u0000)");
  if (text.size() > kMaxTextBytes) {
    place.Fail("the text is " + std::to_string(text.size()) + " bytes long; at most " +
               std::to_string(kMaxTextBytes) + " are taken");
  }
  return text;
}

headless::TextAlignment ReadAlignment(const JsonPlace& place) {
  const std::string alignment = ReadChoice(place, {"left", "center", "right"});
  if (alignment == "center") return headless::TextAlignment::kCenter;
  if (alignment == "right") return headless::TextAlignment::kRight;
  return headless::TextAlignment::kLeft;
}

constexpr const char* kLayerKeys[] = {"text",   "font",     "style",     "size",    "color",
                                      "anchor", "position", "alignment", "opacity", "motion_blur"};

// A font family, style words or a font file's path: no NUL, which would cut the name short.
std::string ReadFontName(const JsonPlace& place) {
  std::string name = ReadString(place);
  if (name.find('\0') != std::string::npos) place.Fail("a font name holds a NUL character");
  return name;
}

// A font given by its file rather than its family: a path, or a name ending in a font file's
// extension.
bool IsFontFilePath(const std::string& name) {
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) return true;
  std::string extension = std::filesystem::path(name).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".ttf" || extension == ".otf" || extension == ".ttc";
}

// A font file, a relative path taken from the scene file's folder, loaded for this run.
void ReadFontFile(const JsonPlace& font, const std::string& name, headless::TextLayer& layer) {
  std::filesystem::path path(name);
  if (path.is_relative()) path = std::filesystem::path(font.file()).parent_path() / path;
  std::error_code error;
  switch (std::filesystem::status(path, error).type()) {
    case std::filesystem::file_type::regular:
      break;
    case std::filesystem::file_type::not_found:
      font.Fail("no font file at " + path.string());
    case std::filesystem::file_type::directory:
      font.Fail(path.string() + " is a folder, not a font file");
    case std::filesystem::file_type::fifo:
      font.Fail(path.string() + " is a FIFO (a named pipe), not a font file");
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block:
      font.Fail(path.string() + " is a device, not a font file");
    default:
      font.Fail(path.string() + " is not a regular file, so no font file" +
                (error ? ": " + error.message() : std::string()));
  }
  const headless::FontFileFace face = headless::LoadFontFile(path.string());
  if (!face.error.empty()) font.Fail(path.string() + ": " + face.error);
  layer.font_file = path.string();
  layer.font_family = face.family;
  layer.font_style = face.style;
}

// The characters of the layer's text, over all its keys, that its font shows as boxes.
std::string MissingCharactersWarning(const JsonPlace& place, const headless::TextLayer& layer) {
  std::vector<std::string> texts{layer.text.constant};
  for (const auto& key : layer.text.keys) texts.push_back(key.value);
  return MissingGlyphsWarning(layer, texts, place.file() + ": " + place.path());
}

// A text layer's keys; in the list form of "layers" a layer may also hold its "effect",
// which is returned. A warning about the layer is added to `warnings`.
std::optional<JsonPlace> ReadLayer(const JsonPlace& place, headless::TextLayer& layer,
                                   bool with_effect, std::vector<std::string>& warnings) {
  std::vector<std::string> keys(std::begin(kLayerKeys), std::end(kLayerKeys));
  if (with_effect) keys.emplace_back("effect");
  AddTextBlockKeys(keys);
  const ObjectReader reader(place, keys);
  ReadTextBlockKeys(reader, layer);
  if (auto text = reader.Find("text")) {
    layer.text = ReadAnimated<std::string>(*text, ReadText, KeyEasing::kRefused);
  }
  if (auto size = reader.Find("size")) {
    layer.font_size = ReadNumber(*size, 0, headless::kMaxFontSize);
    if (layer.font_size <= 0) size->Fail("the font size must be more than 0 pixels");
  }
  if (auto color = reader.Find("color")) layer.color = ReadColor(*color);
  if (auto position = reader.Find("position")) {
    layer.position = ReadAnimated<Point2>(
        *position, [](const JsonPlace& point) { return ReadPoint(point, kMaxCoordinate); });
  }
  if (auto anchor = reader.Find("anchor")) layer.anchor = ReadAnchor(*anchor);
  if (auto alignment = reader.Find("alignment")) layer.alignment = ReadAlignment(*alignment);
  if (auto opacity = reader.Find("opacity")) {
    layer.opacity = ReadAnimated<double>(
        *opacity, [](const JsonPlace& percent) { return ReadNumber(percent, 0, 100); });
  }
  if (auto blur = reader.Find("motion_blur")) layer.motion_blur = ReadBool(*blur);

  const std::optional<JsonPlace> font = reader.Find("font");
  const std::optional<JsonPlace> style = reader.Find("style");
  const std::string font_name = font ? ReadFontName(*font) : layer.font_family;
  if (style) layer.font_style = ReadFontName(*style);
  if (font && IsFontFilePath(font_name)) {
    if (style) style->Fail("a font file holds one style; leave out \"style\"");
    ReadFontFile(*font, font_name, layer);
  } else {
    layer.font_family = font_name;
    const FontCheck check = CheckFont(layer.font_family, layer.font_style);
    if (check.outcome != FontCheck::Outcome::kFound) {
      const bool blame_style = check.outcome == FontCheck::Outcome::kUnknownStyle;
      const std::optional<JsonPlace>& blamed = blame_style ? style : font;
      if (blamed) blamed->Fail(check.message);
      place.Fail(std::string(blame_style ? "style" : "font") + ": " + check.message);
    }
  }
  if (std::string warning = MissingCharactersWarning(place, layer); !warning.empty()) {
    warnings.push_back(std::move(warning));
  }
  return with_effect ? reader.Find("effect") : std::nullopt;
}

// The effect object of a layer, kept as written.
Json ReadEffect(const JsonPlace& place) {
  if (!place.value().is_object()) place.Fail("expected an object of parameter values");
  return place.value();
}

WordHighlight ReadHighlight(const JsonPlace& place) {
  const ObjectReader reader(
      place, {"effect", "color", "spoken_color", "travel", "travel_easing", "motion_blur"});
  WordHighlight highlight;
  if (auto effect = reader.Find("effect")) highlight.effect = ReadEffect(*effect);
  if (auto color = reader.Find("color")) highlight.color = ReadColor(*color);
  if (auto spoken = reader.Find("spoken_color")) highlight.spoken_color = ReadColor(*spoken);
  if (auto travel = reader.Find("travel")) highlight.travel_seconds = ReadNumber(*travel, 0, 10);
  if (auto easing = reader.Find("travel_easing")) {
    ReadEasing(*easing);
    highlight.travel_easing = easing->value();
  }
  if (auto blur = reader.Find("motion_blur")) highlight.motion_blur = ReadBool(*blur);
  return highlight;
}

std::vector<SceneLayer> ReadLayers(const JsonPlace& place, const headless::Composition& composition,
                                   std::vector<std::string>& warnings) {
  if (!place.value().is_array() || place.value().empty()) {
    place.Fail("expected a non-empty list of layers, top layer first");
  }
  std::vector<SceneLayer> layers;
  for (size_t index = 0; index < place.value().size(); ++index) {
    const JsonPlace element = place.Element(index);
    SceneLayer layer;
    if (IsFootageLayer(element.value())) {
      layer.footage = ReadFootageLayer(element, composition);
      layers.push_back(std::move(layer));
      continue;
    }
    if (const std::optional<JsonPlace> effect = ReadLayer(element, layer.text, true, warnings)) {
      layer.effect = ReadEffect(*effect);
      layer.effect_path = effect->path();
    }
    layers.push_back(std::move(layer));
  }
  return layers;
}

PF_RationalScale ReadDownsample(const JsonPlace& place) {
  std::optional<Fraction> factor;
  if (place.value().is_string()) {
    factor = ParseFraction(place.value().get<std::string>());
    if (!factor) {
      place.Fail("expected a fraction such as \"1/2\" or a number, found " + Shown(place.value()));
    }
    if (factor->denominator == 0) place.Fail("the denominator cannot be zero");
  } else {
    // Resolution is often spoken of as "a factor of 2"; the host's factor is its inverse.
    if (place.value().is_number() && place.value().get<double>() > 1) {
      place.Fail(Shown(place.value()) +
                 " is above 1; a downsample factor is the fraction of the resolution kept, " +
                 "\"1/2\" for half");
    }
    const double value = ReadNumber(place, 0, 1);
    factor = AsFraction(value);
    if (!factor)
      place.Fail(Shown(place.value()) + " is not a simple fraction; write it as \"1/3\"");
  }
  if (factor->numerator == 0 || factor->numerator > factor->denominator ||
      factor->denominator > kLargestDenominator) {
    place.Fail(Shown(place.value()) +
               " is not a downsample factor: a fraction above 0, at most 1," +
               " with a denominator up to " + std::to_string(kLargestDenominator));
  }
  return PF_RationalScale{static_cast<A_long>(factor->numerator),
                          static_cast<A_u_long>(factor->denominator)};
}

void ReadHost(const JsonPlace& place, headless::InstanceOptions& options) {
  const ObjectReader reader(place, {"application", "downsample_x", "downsample_y", "quality"});
  if (auto application = reader.Find("application")) {
    options.application =
        ReadChoice(*application, {"After Effects", "Premiere Pro"}) == "Premiere Pro"
            ? headless::kApplicationPremierePro
            : headless::kApplicationAfterEffects;
  }
  if (auto x = reader.Find("downsample_x")) options.downsample_x = ReadDownsample(*x);
  if (auto y = reader.Find("downsample_y")) options.downsample_y = ReadDownsample(*y);
  if (auto quality = reader.Find("quality")) {
    options.quality =
        ReadChoice(*quality, {"high", "low"}) == "high" ? PF_Quality_HI : PF_Quality_LO;
  }
}

}  // namespace

void SetFrameRate(headless::Composition& composition, int64_t numerator, int64_t denominator) {
  Fraction rate{numerator, denominator};
  // A rate in units the host cannot count in (a stream's 90000/3001) is taken as the number it
  // stands for, as a scene file's number is.
  if (denominator > kLargestDenominator && denominator != 1001) {
    const double value = static_cast<double>(numerator) / static_cast<double>(denominator);
    std::optional<Fraction> nearer =
        std::round(value) == value ? Fraction{static_cast<int64_t>(value), 1} : AsVideoRate(value);
    if (!nearer) nearer = AsFraction(value);
    if (!nearer) nearer = Fraction{static_cast<int64_t>(std::lround(value * 1000)), 1000};
    rate = *nearer;
  }
  SetTimeUnits(rate, composition);
}

SceneFile SceneFromDocument(const Json& document, const std::string& file) {
  const JsonPlace top(document, file, "");
  const ObjectReader reader(
      top, {"composition", "layers", "layer", "host", "effect", "safe_area", "highlight"});

  SceneFile scene_file;
  scene_file.file = file;
  // Absent objects are read as empty ones, so that their defaults are checked as well.
  const Json empty = Json::object();
  ReadComposition(reader.Find("composition").value_or(JsonPlace(empty, file, "composition")),
                  scene_file.composition);
  if (const std::optional<JsonPlace> layers = reader.Find("layers")) {
    for (const char* one_layer_key : {"layer", "effect"}) {
      if (reader.Find(one_layer_key)) {
        layers->Fail(std::string("a scene gives either \"layers\" or the one-layer \"") +
                     one_layer_key + "\", not both; put the layer's keys in the list");
      }
    }
    scene_file.layers = ReadLayers(*layers, scene_file.composition, scene_file.warnings);
  } else {
    SceneLayer layer;
    ReadLayer(reader.Find("layer").value_or(JsonPlace(empty, file, "layer")), layer.text, false,
              scene_file.warnings);
    const std::optional<JsonPlace> effect = reader.Find("effect");
    layer.effect = effect ? ReadEffect(*effect) : Json::object();
    layer.effect_path = "effect";
    scene_file.layers.push_back(std::move(layer));
  }
  if (auto host = reader.Find("host")) ReadHost(*host, scene_file.options);
  if (auto safe_area = reader.Find("safe_area")) {
    scene_file.safe_area = ReadNumber(*safe_area, 0.5, 1);
  }
  if (auto highlight = reader.Find("highlight")) scene_file.highlight = ReadHighlight(*highlight);
  return scene_file;
}

SceneFile ParseSceneFile(const std::string& text, const std::string& file) {
  return SceneFromDocument(ParseJsonText(text, file), file);
}

Json ReadSceneDocument(const std::string& path, const std::vector<SceneOverride>& overrides) {
  Json document = ParseJsonText(ReadInputFile(path, "scene file"), SceneName(path));
  ApplyOverrides(document, overrides);
  return document;
}

SceneFile LoadSceneFile(const std::string& path, const std::vector<SceneOverride>& overrides) {
  return SceneFromDocument(ReadSceneDocument(path, overrides), SceneName(path));
}

void ReportSceneWarnings(const SceneFile& scene_file, bool strict, std::ostream& err) {
  if (scene_file.warnings.empty()) return;
  if (strict) {
    for (size_t i = 1; i < scene_file.warnings.size(); ++i) {
      err << "quorvel-render: " << scene_file.warnings[i] << "\n";
    }
    throw SceneError(scene_file.warnings.front() + " (an error under --strict)");
  }
  for (const std::string& warning : scene_file.warnings) {
    err << "quorvel-render: warning: " << warning << "\n";
  }
}

std::string MissingGlyphsWarning(const headless::TextLayer& layer,
                                 const std::vector<std::string>& texts, const std::string& where) {
  std::vector<char32_t> missing;
  for (const std::string& text : texts) {
    for (const char32_t c : headless::MissingCharacters(layer, text)) {
      if (std::find(missing.begin(), missing.end(), c) == missing.end()) missing.push_back(c);
    }
  }
  if (missing.empty()) return {};
  std::string list;
  for (const char32_t c : missing) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    list += (list.empty() ? "" : ", ") + std::string(code);
  }
  const std::string font =
      layer.font_family + (layer.font_style.empty() ? "" : " " + layer.font_style);
  return where + ": the font \"" + font + "\" has no glyph for " + list + "; they show as boxes";
}

double LongestDuration(const headless::Composition& composition) {
  // Frame times must stay inside the host's 32-bit time values.
  const double in_time_values =
      static_cast<double>(std::numeric_limits<A_long>::max() - composition.frame_duration) /
      composition.time_scale;
  return std::min(in_time_values, kMaxDuration);
}

A_long FrameCount(const headless::Composition& composition) {
  const double frames =
      composition.duration_seconds * composition.time_scale / composition.frame_duration;
  // A duration a rounding error past a whole number of frames does not start another one.
  const double count = std::ceil(frames - 1e-6);
  return count < 1 ? 1 : static_cast<A_long>(count);
}

FrameRange CheckFramesInScene(const SceneFile& scene_file, const FrameRange& range) {
  const A_long count = FrameCount(scene_file.composition);
  if (range.last >= count) {
    throw SceneError(scene_file.file + ": frame " + std::to_string(range.last) +
                     " is past the end of the composition (frames 0 to " +
                     std::to_string(count - 1) + ")");
  }
  return range;
}

}  // namespace quorvel::compose
