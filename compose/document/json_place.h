// SPDX-License-Identifier: MIT
// Reading a JSON document with the place of every value at hand, so that each complaint names
// the file and where in it: "scenes/demo.json: composition.width: 0 is outside 1..30000".
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "compose/errors.h"
#include "headless/composition/keyframes.h"
#include "headless/composition/scene.h"
#include "hostapi/host_api.h"

namespace quorvel::compose {

// Objects keep their keys in file order, so messages list them as the user wrote them.
using Json = nlohmann::ordered_json;

// Objects and lists nest at most this deep: a scene needs a handful of levels, and copying or
// freeing a deeper document would recurse as deep.
inline constexpr size_t kMaxNesting = 100;

// Parses JSON text. A syntax error, a key given twice in one object (where one of the two would
// be silently lost) or nesting deeper than kMaxNesting is a SceneError naming `file` and the
// line or the place. `outer_levels` are levels the value will sit inside once placed in a
// document (a --set value at its path), counted against the limit.
Json ParseJsonText(const std::string& text, const std::string& file, size_t outer_levels = 0);

// A value of a parsed document and where it sits. The document must outlive it.
class JsonPlace {
 public:
  JsonPlace(const Json& value, std::string file, std::string path)
      : value_(&value), file_(std::move(file)), path_(std::move(path)) {}

  const Json& value() const { return *value_; }
  const std::string& file() const { return file_; }
  const std::string& path() const { return path_; }

  // The member or element, which must exist.
  JsonPlace Member(const std::string& key) const;
  JsonPlace Element(size_t index) const;

  // Throws SceneError("file: path: message").
  [[noreturn]] void Fail(const std::string& message) const;

 private:
  const Json* value_;
  std::string file_;
  std::string path_;
};

// A value as a message shows it: its JSON text, shortened when long.
std::string Shown(const Json& value);
// A number as a message shows it: "100", "0.5", "-5".
std::string ShownNumber(double number);

// The members of an object. Keys outside `known` are refused up front.
class ObjectReader {
 public:
  ObjectReader(const JsonPlace& place, const std::vector<std::string>& known);

  std::optional<JsonPlace> Find(const std::string& key) const;

 private:
  JsonPlace place_;
};

// Scalars, each refusing other types and values outside the inclusive range.
double ReadNumber(const JsonPlace& place, double low, double high);
int64_t ReadWholeNumber(const JsonPlace& place, int64_t low, int64_t high);
bool ReadBool(const JsonPlace& place);
std::string ReadString(const JsonPlace& place);
// One of the words given; the message lists them.
std::string ReadChoice(const JsonPlace& place, const std::vector<std::string>& choices);
// "#rrggbb" (opaque), "#rrggbbaa", [r, g, b] or [r, g, b, a] with channels 0 to 255.
PF_Pixel ReadColor(const JsonPlace& place);
// [x, y], each coordinate within -limit..limit.
headless::Point2 ReadPoint(const JsonPlace& place, double limit);

// True for a list of keyframes ([{"t": ..., "v": ...}, ...]), as opposed to a constant value
// that is itself a list (a point, a colour).
bool IsKeyframeList(const Json& value);

// An easing as a key's "easing" gives it: "linear", "hold", "ease", "ease_in", "ease_out" or a
// cubic Bézier [x1, y1, x2, y2] (CSS cubic-bezier), checked by the keyframe model.
headless::Easing ReadEasing(const JsonPlace& place);

// The most keys one value takes: far beyond any animation, short of what exhausts memory.
inline constexpr size_t kMaxKeys = 1000000;

// Whether keys of a value may say how it travels to the next: text and choices always hold.
enum class KeyEasing { kAllowed, kRefused };

// Keyframes [{"t": seconds, "v": value, "easing": ...}, ...] into the host's keyframe model,
// which checks them (at least one key, distinct times, usable easings) and sorts them by time;
// its complaints name the key. `read_value` reads one "v".
template <typename Value, typename ReadValue>
headless::Animated<Value> ReadKeyframes(const JsonPlace& place, ReadValue read_value,
                                        KeyEasing easing = KeyEasing::kAllowed) {
  if (!place.value().is_array() || place.value().empty()) {
    place.Fail(
        "expected a value or a non-empty list of keyframes [{\"t\": seconds, \"v\": value}]");
  }
  if (place.value().size() > kMaxKeys) {
    place.Fail(std::to_string(place.value().size()) + " keyframes; at most " +
               std::to_string(kMaxKeys) + " are taken for one value");
  }
  std::vector<typename headless::Animated<Value>::Key> keys;
  for (size_t index = 0; index < place.value().size(); ++index) {
    const JsonPlace element = place.Element(index);
    const ObjectReader key(element, {"t", "v", "easing"});
    const std::optional<JsonPlace> time = key.Find("t");
    const std::optional<JsonPlace> value = key.Find("v");
    if (!time || !value) element.Fail("a keyframe needs both \"t\" (seconds) and \"v\" (value)");
    headless::Easing key_easing;
    if (const std::optional<JsonPlace> given = key.Find("easing")) {
      if (easing == KeyEasing::kRefused) {
        given->Fail("this value holds from key to key and takes no easing");
      }
      key_easing = ReadEasing(*given);
    }
    const double seconds = ReadNumber(*time, -headless::kMaxKeySeconds, headless::kMaxKeySeconds);
    keys.push_back({seconds, read_value(*value), key_easing});
  }
  try {
    return headless::Animated<Value>::Keyed(std::move(keys));
  } catch (const headless::KeyframeError& error) {
    const JsonPlace key = place.Element(error.key());
    if (error.field().empty()) place.Fail(error.what());
    key.Member(error.field()).Fail(error.what());
  }
}

// A constant or keyframes, read into the headless host's animated value.
template <typename Value, typename ReadValue>
headless::Animated<Value> ReadAnimated(const JsonPlace& place, ReadValue read_value,
                                       KeyEasing easing = KeyEasing::kAllowed) {
  if (!IsKeyframeList(place.value())) return headless::Animated<Value>(read_value(place));
  return ReadKeyframes<Value>(place, read_value, easing);
}

}  // namespace quorvel::compose
