// SPDX-License-Identifier: MIT
#include "compose/document/nearest_name.h"

#include <algorithm>
#include <cctype>

namespace quorvel::compose {
namespace {

char Folded(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
  // Three rows of the table: the swap of two neighbours looks two rows back.
  std::vector<size_t> before(b.size() + 1);
  std::vector<size_t> previous(b.size() + 1);
  std::vector<size_t> current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = Folded(a[i - 1]) == Folded(b[j - 1]);
      current[j] =
          std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) &&
          Folded(a[i - 2]) == Folded(b[j - 1])) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[b.size()];
}

std::vector<std::string> NearestNames(const std::string& typed,
                                      const std::vector<std::string>& names) {
  std::vector<std::string> nearest;
  size_t nearest_distance = 0;
  for (const std::string& name : names) {
    const size_t distance = EditDistance(typed, name);
    const size_t allowed = std::max<size_t>(1, name.size() / 3);
    if (distance > allowed || distance >= name.size()) continue;
    if (nearest.empty() || distance < nearest_distance) {
      nearest.clear();
      nearest_distance = distance;
    }
    if (distance == nearest_distance) nearest.push_back(name);
  }
  return nearest;
}

std::string SuggestionOr(const std::string& typed, const std::vector<std::string>& names,
                         const std::string& otherwise) {
  const std::vector<std::string> nearest = NearestNames(typed, names);
  if (nearest.empty()) return otherwise;
  std::string suggestion = "; did you mean ";
  for (size_t i = 0; i < nearest.size(); ++i) {
    suggestion += (i == 0 ? "\"" : " or \"") + nearest[i] + "\"";
  }
  return suggestion + "?";
}

}  // namespace quorvel::compose
