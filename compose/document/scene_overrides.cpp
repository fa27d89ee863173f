// SPDX-License-Identifier: MIT
#include "compose/document/scene_overrides.h"

#include "compose/errors.h"

namespace quorvel::compose {
namespace {

// The --set as messages name it: as typed, shortened when long.
std::string ShownGiven(const std::string& given) {
  constexpr size_t kLongest = 60;
  return given.size() <= kLongest ? given : given.substr(0, kLongest - 3) + "...";
}

[[noreturn]] void BadPath(const std::string& given, const std::string& why) {
  throw ArgumentError("--set '" + ShownGiven(given) + "': " + why +
                      "; expected key.path=value, such as 'layers[0].text=Ada'");
}

// The levels a path puts its value inside: the document's own object and each member or
// element on the way but the last.
void CheckPathDepth(const std::string& given, size_t steps) {
  if (steps > kMaxNesting) {
    throw SceneError("--set '" + ShownGiven(given) + "': objects and lists nest deeper than " +
                     std::to_string(kMaxNesting) + " levels");
  }
}

}  // namespace

SceneOverride ParseSceneOverride(const std::string& text) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) BadPath(text, "no '='");
  SceneOverride override_;
  override_.given = text;
  const std::string path = text.substr(0, equals);
  const std::string value = text.substr(equals + 1);
  // Each part between dots: a member name, then any number of [N].
  size_t at = 0;
  while (at <= path.size()) {
    const size_t dot = path.find('.', at);
    const std::string part =
        path.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
    const size_t bracket = part.find('[');
    const std::string member = part.substr(0, bracket);
    if (member.empty()) BadPath(text, "an empty key name in '" + path + "'");
    override_.path.push_back({member, 0});
    CheckPathDepth(text, override_.path.size());
    for (size_t open = bracket; open != std::string::npos;) {
      const size_t close = part.find(']', open);
      const std::string digits =
          close == std::string::npos ? "" : part.substr(open + 1, close - open - 1);
      if (digits.empty() || digits.size() > 9 ||
          digits.find_first_not_of("0123456789") != std::string::npos) {
        BadPath(text, "'" + part + "' is not a key with list indices such as layers[0]");
      }
      override_.path.push_back({"", static_cast<size_t>(std::stoul(digits))});
      CheckPathDepth(text, override_.path.size());
      open = close + 1 < part.size() ? close + 1 : std::string::npos;
      if (open != std::string::npos && part[open] != '[') {
        BadPath(text, "'" + part + "' is not a key with list indices such as layers[0]");
      }
    }
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  // JSON is read as a file's values are, with their limits and messages; anything else is plain
  // text, which needs no quotes.
  if (Json::accept(value)) {
    override_.value =
        ParseJsonText(value, "--set '" + ShownGiven(text) + "'", override_.path.size());
  } else {
    override_.value = value;
  }
  return override_;
}

void ApplyOverrides(Json& document, const std::vector<SceneOverride>& overrides) {
  for (const SceneOverride& override_ : overrides) {
    Json* place = &document;
    std::string walked;
    for (const SceneOverride::Step& step : override_.path) {
      const auto fail = [&](const std::string& why) {
        throw SceneError("--set '" + ShownGiven(override_.given) + "': " + why);
      };
      if (!step.member.empty()) {
        if (place->is_null()) *place = Json::object();
        if (!place->is_object()) {
          fail((walked.empty() ? std::string("the scene") : walked) + " is not an object");
        }
        walked += (walked.empty() ? "" : ".") + step.member;
        place = &(*place)[step.member];
        continue;
      }
      if (!place->is_array()) fail(walked + " is not a list");
      if (step.element >= place->size()) {
        fail(walked + " has " + std::to_string(place->size()) + " elements; [" +
             std::to_string(step.element) + "] is past its end");
      }
      walked += "[" + std::to_string(step.element) + "]";
      place = &(*place)[step.element];
    }
    *place = override_.value;
  }
}

}  // namespace quorvel::compose
