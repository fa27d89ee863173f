// SPDX-License-Identifier: MIT
#include "captions/reading/cue_markup.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "captions/reading/subtitle_times.h"
#include "captions/reading/text_encoding.h"

namespace quorvel::captions {

namespace {

enum class Style { kBold, kItalic, kUnderline, kStrike, kFont, kNone };

const char* const kStyleNames[] = {"b", "i", "u", "s", "font"};

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

Style StyleNamed(const std::string& name) {
  for (size_t i = 0; i < std::size(kStyleNames); ++i) {
    if (name == kStyleNames[i]) return static_cast<Style>(i);
  }
  return Style::kNone;
}

void AppendEscaped(std::string& out, char c) {
  switch (c) {
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '&':
      out += "&amp;";
      break;
    default:
      out += c;
  }
}

// The open style tags, so that every closing tag written closes the innermost one: a close of an
// outer tag closes the ones inside it and opens them again after. Deeper than kMostOpen, opening
// tags are dropped (with their closes), which keeps hostile nesting linear.
class StyleStack {
 public:
  explicit StyleStack(std::string& out) : out_(out) {}

  // `tag` is what was written for it ("<b>"), or empty when nothing was (a <font> of no
  // attribute we keep), in which case its close writes nothing either.
  void Open(Style style, std::string tag) {
    if (open_.size() >= kMostOpen) {
      ++dropped_[static_cast<size_t>(style)];
      return;
    }
    out_ += tag;
    open_.push_back({style, std::move(tag)});
  }

  void Close(Style style) {
    if (dropped_[static_cast<size_t>(style)] > 0) {
      --dropped_[static_cast<size_t>(style)];
      return;
    }
    const auto innermost = std::find_if(open_.rbegin(), open_.rend(),
                                        [&](const Entry& entry) { return entry.style == style; });
    if (innermost == open_.rend()) return;  // nothing to close
    const auto at = innermost.base() - 1;
    for (auto it = open_.end(); it != at;) {
      --it;
      if (!it->tag.empty()) {
        out_ += "</" + std::string(kStyleNames[static_cast<size_t>(it->style)]) + ">";
      }
    }
    for (auto it = at + 1; it != open_.end(); ++it) out_ += it->tag;
    open_.erase(at);
  }

 private:
  static constexpr size_t kMostOpen = 32;
  struct Entry {
    Style style;
    std::string tag;
  };
  std::string& out_;
  std::vector<Entry> open_;
  std::array<size_t, 5> dropped_{};
};

// The next `c` at or after `from`, remembered so that a text of many unmatched openers is read in
// one pass rather than searched to its end from each.
class NextOf {
 public:
  NextOf(const std::string& text, char c) : text_(text), c_(c) {}
  size_t From(size_t from) {
    if (!searched_ || (next_ != std::string::npos && next_ < from)) {
      next_ = text_.find(c_, from);
      searched_ = true;
    }
    return next_;
  }

 private:
  const std::string& text_;
  char c_;
  bool searched_ = false;
  size_t next_ = std::string::npos;
};

bool IsLetter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// A tag's name: the letters and digits after '<' or '</', lowered.
std::string TagName(const std::string& tag, size_t from) {
  size_t end = from;
  while (end < tag.size() && std::isalnum(static_cast<unsigned char>(tag[end]))) ++end;
  return Lowered(tag.substr(from, end - from));
}

// SubRip's <font color="#ff0000" face='Arial' size=20>: the attributes kept, re-quoted.
std::string FontTag(const std::string& tag) {
  std::string kept;
  size_t at = 4;  // after "font"
  while (at < tag.size()) {
    while (at < tag.size() && !IsLetter(tag[at])) ++at;
    const size_t name_start = at;
    while (at < tag.size() && (IsLetter(tag[at]) || tag[at] == '-')) ++at;
    const std::string name = Lowered(tag.substr(name_start, at - name_start));
    while (at < tag.size() && tag[at] == ' ') ++at;
    if (at >= tag.size() || tag[at] != '=') continue;
    ++at;
    while (at < tag.size() && tag[at] == ' ') ++at;
    std::string value;
    if (at < tag.size() && (tag[at] == '"' || tag[at] == '\'')) {
      const size_t close = tag.find(tag[at], at + 1);
      const size_t end = close == std::string::npos ? tag.size() : close;
      value = tag.substr(at + 1, end - at - 1);
      at = end + 1;
    } else {
      const size_t start = at;
      while (at < tag.size() && !std::isspace(static_cast<unsigned char>(tag[at]))) ++at;
      value = tag.substr(start, at - start);
    }
    if (name != "color" && name != "face" && name != "size") continue;
    kept += " " + name + "=\"";
    for (const char c : value) {
      if (c == '"') {
        kept += "&quot;";
      } else {
        AppendEscaped(kept, c);
      }
    }
    kept += '"';
  }
  return kept.empty() ? std::string() : "<font" + kept + ">";
}

// {\an8\i1}: the last \anN's N, if any.
std::optional<int> OverrideAlignment(const std::string& block) {
  std::optional<int> alignment;
  for (size_t at = block.find("\\an"); at != std::string::npos; at = block.find("\\an", at + 1)) {
    if (at + 3 < block.size() && block[at + 3] >= '1' && block[at + 3] <= '9') {
      alignment = block[at + 3] - '0';
    }
  }
  return alignment;
}

// "&amp;", "&#233;", "&#xE9;": the character, and the reference's length; nullopt when `at` does
// not start one that is known.
std::optional<std::pair<char32_t, size_t>> CharacterReference(const std::string& text, size_t at) {
  static const std::pair<const char*, char32_t> kNamed[] = {
      {"&amp;", U'&'},   {"&lt;", U'<'},        {"&gt;", U'>'},       {"&quot;", U'"'},
      {"&apos;", U'\''}, {"&nbsp;", U'\u00A0'}, {"&lrm;", U'\u200E'}, {"&rlm;", U'\u200F'}};
  for (const auto& [name, character] : kNamed) {
    const size_t length = std::char_traits<char>::length(name);
    if (text.compare(at, length, name) == 0) return std::pair{character, length};
  }
  if (text.compare(at, 2, "&#") != 0) return std::nullopt;
  size_t end = at + 2;
  const bool hex = end < text.size() && (text[end] == 'x' || text[end] == 'X');
  if (hex) ++end;
  const size_t digits_start = end;
  uint32_t value = 0;
  while (end < text.size() && end - digits_start < 8 &&
         (hex ? std::isxdigit(static_cast<unsigned char>(text[end]))
              : std::isdigit(static_cast<unsigned char>(text[end])))) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[end])));
    value = value * (hex ? 16u : 10u) + static_cast<uint32_t>(c >= 'a' ? c - 'a' + 10 : c - '0');
    ++end;
  }
  if (end == digits_start || end >= text.size() || text[end] != ';') return std::nullopt;
  const bool valid = value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
  return std::pair{valid ? static_cast<char32_t>(value) : U'\uFFFD', end + 1 - at};
}

void AppendCharacter(std::string& out, char32_t character) {
  if (character < 0x80) {
    AppendEscaped(out, static_cast<char>(character));
  } else {
    AppendUtf8(out, character);
  }
}

}  // namespace

CueMarkup SubRipMarkup(const std::string& text) {
  CueMarkup markup;
  std::string& out = markup.text;
  StyleStack styles(out);
  NextOf next_close_angle(text, '>');
  NextOf next_close_brace(text, '}');
  NextOf next_open_brace(text, '{');
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (c == '{' && at + 1 < text.size() && text[at + 1] == '\\') {
      // An override block ends at the first '}', and never holds a '{'.
      if (const size_t end = next_close_brace.From(at);
          end != std::string::npos && end < next_open_brace.From(at + 1)) {
        if (const std::optional<int> alignment = OverrideAlignment(text.substr(at, end - at));
            alignment) {
          markup.alignment = alignment;
        }
        at = end + 1;
        continue;
      }
    }
    if (c == '<') {
      const bool closing = at + 1 < text.size() && text[at + 1] == '/';
      const size_t name_at = at + (closing ? 2 : 1);
      const size_t end = next_close_angle.From(at);
      if (name_at < text.size() && IsLetter(text[name_at]) && end != std::string::npos) {
        const std::string tag = text.substr(at + 1, end - at - 1);
        const std::string name = TagName(tag, closing ? 1 : 0);
        const Style style = StyleNamed(name);
        if (style != Style::kNone && closing) {
          styles.Close(style);
        } else if (style == Style::kFont) {
          styles.Open(style, FontTag(tag));
        } else if (style != Style::kNone) {
          styles.Open(style, "<" + name + ">");
        }
        at = end + 1;  // an unknown tag goes, its content stays
        continue;
      }
    }
    AppendEscaped(out, c);
    ++at;
  }
  return markup;
}

CueMarkup WebVttMarkup(const std::string& text) {
  CueMarkup markup;
  std::string& out = markup.text;
  StyleStack styles(out);
  NextOf next_close_angle(text, '>');
  bool in_annotation = false;  // within <rt>: not drawn
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (c == '<') {
      if (const size_t end = next_close_angle.From(at); end != std::string::npos) {
        const std::string tag = text.substr(at + 1, end - at - 1);
        at = end + 1;
        if (!tag.empty() && std::isdigit(static_cast<unsigned char>(tag[0]))) {
          const std::optional<int64_t> ms = ParseWebVttTimestamp(tag);
          if (ms && !in_annotation) markup.timestamps.push_back({out.size(), *ms});
          continue;
        }
        const bool closing = !tag.empty() && tag[0] == '/';
        const size_t name_from = closing ? 1 : 0;
        const size_t name_end = std::min(tag.size(), tag.find_first_of(". \t\n\f", name_from));
        const std::string name = Lowered(tag.substr(name_from, name_end - name_from));
        if (name == "rt" || (name == "ruby" && closing)) {
          in_annotation = !closing;
          continue;
        }
        const Style style = StyleNamed(name);
        if (in_annotation ||
            (style != Style::kBold && style != Style::kItalic && style != Style::kUnderline)) {
          continue;  // <c>, <v>, <lang>, <ruby> and unknown tags: their content is kept
        }
        if (closing) {
          styles.Close(style);
        } else {
          styles.Open(style, "<" + name + ">");
        }
        continue;
      }
    }
    if (in_annotation) {
      ++at;
      continue;
    }
    if (c == '&') {
      if (const auto reference = CharacterReference(text, at)) {
        AppendCharacter(out, reference->first);
        at += reference->second;
        continue;
      }
    }
    AppendEscaped(out, c);
    ++at;
  }
  return markup;
}

}  // namespace quorvel::captions
