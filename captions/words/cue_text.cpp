// SPDX-License-Identifier: MIT
#include "captions/words/cue_text.h"

#include <utility>

namespace quorvel::captions {
namespace {

constexpr std::pair<char, const char*> kReferences[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}};

}  // namespace

std::string EscapeCueText(const std::string& plain) {
  std::string markup;
  markup.reserve(plain.size());
  for (const char c : plain) {
    const char* reference = nullptr;
    for (const auto& [character, name] : kReferences) {
      if (c == character) reference = name;
    }
    if (reference) {
      markup += reference;
    } else {
      markup += c;
    }
  }
  return markup;
}

std::string UnescapeCueText(const std::string& markup) {
  std::string plain;
  plain.reserve(markup.size());
  for (size_t i = 0; i < markup.size();) {
    bool replaced = false;
    for (const auto& [character, name] : kReferences) {
      const std::string reference = name;
      if (markup.compare(i, reference.size(), reference) == 0) {
        plain += character;
        i += reference.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) plain += markup[i++];
  }
  return plain;
}

size_t CharacterCount(const std::string& text) {
  size_t count = 0;
  for (const char c : text) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace quorvel::captions
