// SPDX-License-Identifier: MIT
// The valid name a mistyped one was most likely meant to be, for "did you mean" hints.
#pragma once

#include <string>
#include <vector>

namespace quorvel::compose {

// Edits (insertions, deletions, substitutions, swaps of neighbours) that turn `a` into `b`,
// letter case aside: "widht" is one edit from "width", "fill color" none from "Fill Color".
size_t EditDistance(const std::string& a, const std::string& b);

// The names in `names` nearest to `typed`, in their order, when near enough to be a likely
// typo: at most one edit in three letters of the name (one edit for any name), and fewer edits
// than the name has letters. Several when equally near ("--frams": "--frame", "--frames");
// none when no name is near.
std::vector<std::string> NearestNames(const std::string& typed,
                                      const std::vector<std::string>& names);

// "; did you mean \"width\"?" (or "\"a\" or \"b\"") when a name is near, else `otherwise`.
std::string SuggestionOr(const std::string& typed, const std::vector<std::string>& names,
                         const std::string& otherwise);

}  // namespace quorvel::compose
