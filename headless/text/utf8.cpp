// SPDX-License-Identifier: MIT
#include "headless/text/utf8.h"

#include <cstddef>

namespace quorvel::headless {

std::u32string DecodeUtf8(const std::string& text) {
  std::u32string code_points;
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      length = 1;
      value = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      value = lead & 0x1Fu;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      value = lead & 0x0Fu;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      value = lead & 0x07u;
      minimum = 0x10000;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      if ((byte(i + k) & 0xC0u) != 0x80u) {
        valid = false;
      } else {
        value = (value << 6) | (byte(i + k) & 0x3Fu);
      }
    }
    if (valid && (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))) {
      valid = false;
    }
    code_points.push_back(valid ? value : kReplacementCharacter);
    i += valid ? length : 1;
  }
  return code_points;
}

void AppendUtf8(char32_t code_point, std::string& out) {
  if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    code_point = kReplacementCharacter;
  }
  const auto put = [&out](char32_t bits) { out.push_back(static_cast<char>(bits & 0xFFu)); };
  if (code_point < 0x80) {
    put(code_point);
  } else if (code_point < 0x800) {
    put(0xC0u | (code_point >> 6));
    put(0x80u | (code_point & 0x3Fu));
  } else if (code_point < 0x10000) {
    put(0xE0u | (code_point >> 12));
    put(0x80u | ((code_point >> 6) & 0x3Fu));
    put(0x80u | (code_point & 0x3Fu));
  } else {
    put(0xF0u | (code_point >> 18));
    put(0x80u | ((code_point >> 12) & 0x3Fu));
    put(0x80u | ((code_point >> 6) & 0x3Fu));
    put(0x80u | (code_point & 0x3Fu));
  }
}

std::string EncodeUtf8(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char32_t code_point : text) AppendUtf8(code_point, out);
  return out;
}

}  // namespace quorvel::headless
