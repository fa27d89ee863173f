// SPDX-License-Identifier: MIT
// UTF-8 to code points and back, for the text layers' own layout code.
#pragma once

#include <string>

namespace quorvel::headless {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// UTF-8 to code points; a byte that starts no valid sequence stands for U+FFFD, as in pango's
// path, so that a bad byte shows instead of cutting the text short.
std::u32string DecodeUtf8(const std::string& text);

// Code points to UTF-8; a surrogate or a value past U+10FFFF becomes U+FFFD.
std::string EncodeUtf8(const std::u32string& text);
void AppendUtf8(char32_t code_point, std::string& out);

}  // namespace quorvel::headless
