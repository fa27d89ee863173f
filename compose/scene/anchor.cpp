// SPDX-License-Identifier: MIT
#include "compose/scene/anchor.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quorvel::compose {

headless::TextAnchor ReadAnchor(const JsonPlace& place) {
  static const std::vector<std::string> kNames = {"top-left",    "top-center",    "top-right",
                                                  "center-left", "center",        "center-right",
                                                  "bottom-left", "bottom-center", "bottom-right"};
  const std::string name = ReadChoice(place, kNames);
  const auto index =
      static_cast<size_t>(std::find(kNames.begin(), kNames.end(), name) - kNames.begin());
  // "center" stands for "center-center", the fifth of the three-by-three.
  const size_t column = index % 3;
  const size_t row = index / 3;
  return headless::TextAnchor{static_cast<double>(column) / 2, static_cast<double>(row) / 2};
}

}  // namespace quorvel::compose
