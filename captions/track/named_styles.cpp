// SPDX-License-Identifier: MIT
#include "captions/track/named_styles.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "compose/document/json_place.h"

namespace quorvel::captions {
namespace {

struct NamedStyle {
  const char* name;
  const char* json;
};

// Generated from scenes/styles/ at build time.
constexpr NamedStyle kNamedStyles[] = {
#include "named_styles.inc"
};

const NamedStyle* FindNamed(const std::string& name) {
  for (const NamedStyle& style : kNamedStyles) {
    if (name == style.name) return &style;
  }
  return nullptr;
}

// A bare name, as opposed to a path: no folder, no extension, not standard input.
bool IsBareName(const std::string& name) {
  return !name.empty() && name != "-" && name.find_first_of("/\\.") == std::string::npos;
}

}  // namespace

std::vector<std::string> NamedStyles() {
  std::vector<std::string> names;
  for (const NamedStyle& style : kNamedStyles) names.emplace_back(style.name);
  std::sort(names.begin(), names.end());
  return names;
}

compose::SceneFile LoadCaptionStyle(const std::string& name,
                                    const std::vector<compose::SceneOverride>& overrides) {
  const std::string wanted = name.empty() ? kDefaultStyle : name;
  std::error_code error;
  if (!IsBareName(wanted) || std::filesystem::exists(wanted, error)) {
    return compose::LoadSceneFile(wanted, overrides);
  }
  const NamedStyle* named = FindNamed(wanted);
  if (named == nullptr) {
    std::string list;
    for (const std::string& known : NamedStyles()) list += (list.empty() ? "" : ", ") + known;
    throw compose::SceneError(wanted + ": no such style file, nor a built-in style (" + list + ")");
  }
  const std::string file = "style " + wanted;
  compose::Json document = compose::ParseJsonText(named->json, file);
  compose::ApplyOverrides(document, overrides);
  return compose::SceneFromDocument(document, file);
}

}  // namespace quorvel::captions
