// SPDX-License-Identifier: MIT
// The plug-in's declaration to the host (its PiPL resource), defined once, here, from the
// identity constants. The Windows module carries it as resource 16000; a Linux module has it
// in the sidecar file Quorvel.pipl.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvel {

inline constexpr std::size_t kPiplSize = 278;
inline constexpr int kPiplResourceId = 16000;
inline constexpr int kPiplResourceLanguage = 1033;  // English, United States

using Pipl = std::array<uint8_t, kPiplSize>;

// The resource exactly as the host reads it: little-endian, four-character codes as 32-bit
// integers.
const Pipl& PiplResource();

}  // namespace quorvel
