// SPDX-License-Identifier: MIT
// Whether a font family and style words name a font this machine has. Fontconfig hands out a
// substitute for any family it lacks, which would render a scene in the wrong font without a
// word; asking fontconfig which family a request resolves to tells the two apart.
#pragma once

#include <string>

namespace quorvel::compose {

struct FontCheck {
  enum class Outcome { kFound, kUnknownStyle, kMissingFamily };
  Outcome outcome = Outcome::kFound;
  std::string message;  // why not, when not found
};

// `style` holds pango style words ("Bold Italic", "Light Condensed"), empty for regular.
// The first call initialises fontconfig, which reads its cache: a few milliseconds.
FontCheck CheckFont(const std::string& family, const std::string& style);

}  // namespace quorvel::compose
