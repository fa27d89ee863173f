// SPDX-License-Identifier: MIT
#include "headless/text/markup.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "headless/text/text_outlines.h"
#include "headless/text/utf8.h"

namespace quorvel::headless {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

struct Tag {
  std::string name;  // lower case
  bool closing = false;
  std::vector<std::pair<std::string, std::string>> attributes;  // names in lower case
  size_t end = 0;                                               // just past the '>'
};

std::string DecodeReferences(const std::string& text);

// The tag that starts at text[at] == '<', or nothing when what follows is no tag: a '<' not
// followed by a letter (or '/' and a letter), or one never closed by a '>'.
std::optional<Tag> ReadTag(const std::string& text, size_t at) {
  const size_t size = text.size();
  Tag tag;
  size_t i = at + 1;
  if (i < size && text[i] == '/') {
    tag.closing = true;
    ++i;
  }
  if (i >= size || !IsAsciiLetter(text[i])) return std::nullopt;
  while (i < size && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i])))
    tag.name += AsciiLower(text[i++]);
  const auto skip_spaces = [&] {
    while (i < size && IsSpace(text[i])) ++i;
  };
  while (true) {
    skip_spaces();
    // A '<' cannot stand in a tag unquoted: what came before it was text.
    if (i >= size || text[i] == '<') return std::nullopt;
    if (text[i] == '>') break;
    if (text[i] == '/' || text[i] == '=' || text[i] == '"' || text[i] == '\'') {
      ++i;  // a self-closing slash, or debris between attributes
      continue;
    }
    std::string name;
    while (i < size && !IsSpace(text[i]) && text[i] != '=' && text[i] != '>' && text[i] != '/' &&
           text[i] != '<') {
      name += AsciiLower(text[i++]);
    }
    skip_spaces();
    std::string value;
    if (i < size && text[i] == '=') {
      ++i;
      skip_spaces();
      if (i < size && (text[i] == '"' || text[i] == '\'')) {
        const size_t close = text.find(text[i], i + 1);
        if (close == std::string::npos) return std::nullopt;
        value = text.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        while (i < size && !IsSpace(text[i]) && text[i] != '>' && text[i] != '<') {
          value += text[i++];
        }
      }
    }
    tag.attributes.emplace_back(std::move(name), DecodeReferences(value));
  }
  tag.end = i + 1;
  return tag;
}

struct Reference {
  char32_t code_point = 0;
  size_t end = 0;  // just past the ';'
};

// The character reference that starts at text[at] == '&', or nothing when there is none there.
std::optional<Reference> ReadReference(const std::string& text, size_t at) {
  constexpr size_t kLongestReference = 12;  // "&#x10FFFF;" with room for leading zeros
  const size_t semicolon = text.substr(at + 1, kLongestReference).find(';');
  if (semicolon == std::string::npos) return std::nullopt;
  const std::string body = text.substr(at + 1, semicolon);
  const size_t end = at + 1 + semicolon + 1;
  if (body.size() >= 2 && body[0] == '#') {
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string digits = body.substr(hex ? 2 : 1);
    uint32_t value = 0;
    const char* first = digits.data();
    const char* last = first + digits.size();
    const auto [stop, error] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (digits.empty() || stop != last) return std::nullopt;
    // Out of range, as a NUL or a surrogate, it shows as the replacement character.
    const bool usable = error == std::errc() && value != 0 && value <= 0x10FFFF &&
                        !(value >= 0xD800 && value <= 0xDFFF);
    return Reference{usable ? static_cast<char32_t>(value) : kReplacementCharacter, end};
  }
  static constexpr std::pair<const char*, char32_t> kNamed[] = {
      {"lt", U'<'},    {"gt", U'>'},        {"amp", U'&'},      {"quot", U'"'},
      {"apos", U'\''}, {"nbsp", U'\u00A0'}, {"lrm", U'\u200E'}, {"rlm", U'\u200F'},
  };
  for (const auto& [name, code_point] : kNamed) {
    if (body == name) return Reference{code_point, end};
  }
  return std::nullopt;
}

std::string DecodeReferences(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      if (const std::optional<Reference> reference = ReadReference(text, i)) {
        AppendUtf8(reference->code_point, decoded);
        i = reference->end;
        continue;
      }
    }
    decoded += text[i++];
  }
  return decoded;
}

// Pixels, optionally followed by "px"; nothing unless positive and usable as a font size.
std::optional<double> ParseSize(const std::string& value) {
  std::string number = AsciiLower(value);
  if (number.size() > 2 && number.compare(number.size() - 2, 2, "px") == 0)
    number.resize(number.size() - 2);
  double size = 0;
  const char* last = number.data() + number.size();
  const auto [stop, error] = std::from_chars(number.data(), last, size);
  if (number.empty() || error != std::errc() || stop != last || !std::isfinite(size) ||
      !(size > 0 && size <= kMaxFontSize)) {
    return std::nullopt;
  }
  return size;
}

// An element open at the current place, and what it changes.
struct OpenElement {
  std::string name;
  std::optional<TextColor> color;
  std::string family;
  double size = 0;
};

bool IsStyleElement(const std::string& name) {
  return name == "b" || name == "i" || name == "u" || name == "s" || name == "font" ||
         name == "phantom";
}

OpenElement Open(const Tag& tag) {
  OpenElement element{tag.name, std::nullopt, "", 0};
  if (tag.name != "font") return element;
  for (const auto& [name, value] : tag.attributes) {
    if (name == "color") {
      element.color = ParseMarkupColor(value);
    } else if (name == "face") {
      element.family = value;
    } else if (name == "size") {
      element.size = ParseSize(value).value_or(0);
    }
  }
  return element;
}

TextStyle StyleOf(const std::vector<OpenElement>& open) {
  TextStyle style;
  for (const OpenElement& element : open) {
    if (element.name == "b") style.bold = true;
    if (element.name == "i") style.italic = true;
    if (element.name == "u") style.underline = true;
    if (element.name == "s") style.strikethrough = true;
    if (element.name == "phantom") style.phantom = true;
    if (element.color) style.color = element.color;
    if (!element.family.empty()) style.family = element.family;
    if (element.size > 0) style.size = element.size;
  }
  return style;
}

}  // namespace

std::optional<TextColor> ParseMarkupColor(const std::string& value) {
  const std::string color = AsciiLower(value);
  if (!color.empty() && color[0] == '#') {
    const std::string digits = color.substr(1);
    uint32_t rgb = 0;
    const char* last = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), last, rgb, 16);
    if (error != std::errc() || stop != last) return std::nullopt;
    const auto channel = [](uint32_t bits) { return static_cast<uint8_t>(bits & 0xFFu); };
    if (digits.size() == 6) return TextColor{channel(rgb >> 16), channel(rgb >> 8), channel(rgb)};
    if (digits.size() == 3) {  // each digit doubled: #f80 is #ff8800
      return TextColor{channel(((rgb >> 8) & 0xFu) * 0x11u), channel(((rgb >> 4) & 0xFu) * 0x11u),
                       channel((rgb & 0xFu) * 0x11u)};
    }
    return std::nullopt;
  }
  static constexpr std::pair<const char*, TextColor> kNames[] = {
      {"white", {255, 255, 255}},  {"black", {0, 0, 0}},      {"red", {255, 0, 0}},
      {"green", {0, 128, 0}},      {"blue", {0, 0, 255}},     {"yellow", {255, 255, 0}},
      {"cyan", {0, 255, 255}},     {"aqua", {0, 255, 255}},   {"magenta", {255, 0, 255}},
      {"fuchsia", {255, 0, 255}},  {"gray", {128, 128, 128}}, {"grey", {128, 128, 128}},
      {"silver", {192, 192, 192}}, {"maroon", {128, 0, 0}},   {"olive", {128, 128, 0}},
      {"lime", {0, 255, 0}},       {"teal", {0, 128, 128}},   {"navy", {0, 0, 128}},
      {"purple", {128, 0, 128}},   {"orange", {255, 165, 0}},
  };
  for (const auto& [name, rgb] : kNames) {
    if (color == name) return rgb;
  }
  return std::nullopt;
}

StyledText ParseMarkup(const std::string& markup) {
  StyledText styled;
  std::vector<OpenElement> open;
  TextStyle style;
  size_t i = 0;
  while (i < markup.size()) {
    if (markup[i] == '<') {
      if (const std::optional<Tag> tag = ReadTag(markup, i)) {
        i = tag->end;
        if (!IsStyleElement(tag->name)) continue;  // unknown: the tag goes, its content stays
        if (!tag->closing) {
          open.push_back(Open(*tag));
        } else {
          const auto innermost =
              std::find_if(open.rbegin(), open.rend(),
                           [&](const OpenElement& element) { return element.name == tag->name; });
          if (innermost == open.rend()) continue;  // nothing of its name is open
          open.erase(std::next(innermost).base());
        }
        style = StyleOf(open);
        continue;
      }
    } else if (markup[i] == '&') {
      if (const std::optional<Reference> reference = ReadReference(markup, i)) {
        AppendStyled(styled, reference->code_point, style);
        i = reference->end;
        continue;
      }
    }
    // Plain text up to the next '<' or '&' past this character (both are ASCII, so never
    // inside a multi-byte sequence).
    const size_t next = std::min(markup.find_first_of("<&", i + 1), markup.size());
    for (const char32_t code_point : DecodeUtf8(markup.substr(i, next - i))) {
      AppendStyled(styled, code_point, style);
    }
    i = next;
  }
  if (styled.runs.empty()) styled.runs.push_back(StyledRun{0, 0, style});
  return styled;
}

}  // namespace quorvel::headless
