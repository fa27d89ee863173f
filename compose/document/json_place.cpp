// SPDX-License-Identifier: MIT
#include "compose/document/json_place.h"

#include <cmath>
#include <limits>
#include <set>
#include <sstream>

#include "compose/document/nearest_name.h"

namespace quorvel::compose {
namespace {

// "[json.exception.parse_error.101] parse error at line 2, ..." without the bracketed id.
std::string WithoutExceptionId(const std::string& message) {
  const size_t end = message.find("] ");
  return end == std::string::npos ? message : message.substr(end + 2);
}

// Reads the document once as events, building nothing, in time linear in its length: a key
// given twice in one object (one of the two would be lost) or nesting deeper than kMaxNesting is
// a SceneError naming the place, as is a syntax error.
class StructureCheck : public nlohmann::json_sax<Json> {
 public:
  StructureCheck(const std::string& file, size_t outer_levels)
      : file_(file), outer_levels_(outer_levels) {}

  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_unsigned(number_unsigned_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t&) override { return Value(); }
  bool binary(binary_t&) override { return Value(); }
  bool start_object(std::size_t) override { return Open(true); }
  bool start_array(std::size_t) override { return Open(false); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool key(string_t& key) override {
    Frame& frame = frames_.back();
    frame.key = key;
    if (!frame.keys.insert(key).second) {
      throw SceneError(file_ + ": " + Path() + ": the key \"" + key + "\" is given twice");
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& error) override {
    // A syntax error, or a number beyond a double ("1e400") that the parser refuses.
    throw SceneError(file_ + ": " + WithoutExceptionId(error.what()));
  }

 private:
  struct Frame {
    explicit Frame(bool is_object) : object(is_object) {}

    bool object;
    std::set<std::string> keys;
    std::string key;
    size_t index = 0;
    size_t elements = 0;
  };

  bool Value() {
    NoteElement();
    return true;
  }
  bool Open(bool object) {
    NoteElement();
    if (frames_.size() + outer_levels_ >= kMaxNesting) {
      throw SceneError(file_ + ": objects and lists nest deeper than " +
                       std::to_string(kMaxNesting) + " levels");
    }
    frames_.emplace_back(object);
    return true;
  }
  bool Close() {
    frames_.pop_back();
    return true;
  }

  // A value, object or list starting inside a list is its next element.
  void NoteElement() {
    if (!frames_.empty() && !frames_.back().object) {
      frames_.back().index = frames_.back().elements++;
    }
  }

  // The place of the innermost object, as JsonPlace spells places.
  std::string Path() const {
    std::string path;
    for (size_t i = 0; i + 1 < frames_.size(); ++i) {
      const Frame& frame = frames_[i];
      if (frame.object) {
        path += (path.empty() ? "" : ".") + frame.key;
      } else {
        path += "[" + std::to_string(frame.index) + "]";
      }
    }
    return path.empty() ? "the top level" : path;
  }

  std::string file_;
  size_t outer_levels_;
  std::vector<Frame> frames_;
};

const char* TypeName(const Json& value) {
  if (value.is_object()) return "an object";
  if (value.is_array()) return "a list";
  if (value.is_string()) return "a string";
  if (value.is_boolean()) return "true or false";
  if (value.is_null()) return "null";
  return "a number";
}

std::string Found(const Json& value) {
  if (value.is_object() || value.is_array() || value.is_null()) return TypeName(value);
  return Shown(value);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr char kColorForms[] = "\"#rrggbb\", \"#rrggbbaa\", [r, g, b] or [r, g, b, a]";

PF_Pixel ReadHexColor(const JsonPlace& place) {
  const std::string text = place.value().get<std::string>();
  const bool sized = text.size() == 7 || text.size() == 9;
  std::vector<A_u_char> channels;
  for (size_t i = 1; sized && text[0] == '#' && i + 1 < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) break;
    channels.push_back(static_cast<A_u_char>(high * 16 + low));
  }
  if (!sized || channels.size() != (text.size() - 1) / 2) {
    place.Fail("expected a colour (" + std::string(kColorForms) + "), found " +
               Shown(place.value()));
  }
  const A_u_char alpha = channels.size() == 4 ? channels[3] : A_u_char{255};
  return PF_Pixel{alpha, channels[0], channels[1], channels[2]};
}

}  // namespace

Json ParseJsonText(const std::string& text, const std::string& file, size_t outer_levels) {
  // The check first: nlohmann's own duplicate handling needs a parse callback, which rescans an
  // array at the end of each of its objects (quadratic in a long list of keyframes).
  StructureCheck check(file, outer_levels);
  Json::sax_parse(text, &check);
  try {
    return Json::parse(text);
  } catch (const Json::exception& error) {
    throw SceneError(file + ": " + WithoutExceptionId(error.what()));
  }
}

JsonPlace JsonPlace::Member(const std::string& key) const {
  return JsonPlace(value_->at(key), file_, path_.empty() ? key : path_ + "." + key);
}

JsonPlace JsonPlace::Element(size_t index) const {
  return JsonPlace(value_->at(index), file_, path_ + "[" + std::to_string(index) + "]");
}

void JsonPlace::Fail(const std::string& message) const {
  throw SceneError(file_ + ": " + (path_.empty() ? std::string() : path_ + ": ") + message);
}

std::string Shown(const Json& value) {
  constexpr size_t kLongest = 60;
  std::string text = value.dump();
  if (text.size() > kLongest) text.replace(kLongest - 3, std::string::npos, "...");
  return text;
}

std::string ShownNumber(double number) {
  std::ostringstream text;
  text.precision(10);
  text << number;
  return text.str();
}

ObjectReader::ObjectReader(const JsonPlace& place, const std::vector<std::string>& known)
    : place_(place) {
  if (!place.value().is_object()) {
    place.Fail("expected an object, found " + Found(place.value()));
  }
  for (const auto& member : place.value().items()) {
    if (std::find(known.begin(), known.end(), member.key()) != known.end()) continue;
    std::string list;
    for (const std::string& key : known) list += (list.empty() ? "" : ", ") + key;
    place_.Member(member.key())
        .Fail("unknown key" + SuggestionOr(member.key(), known, "; the keys here are " + list));
  }
}

std::optional<JsonPlace> ObjectReader::Find(const std::string& key) const {
  if (!place_.value().contains(key)) return std::nullopt;
  return place_.Member(key);
}

double ReadNumber(const JsonPlace& place, double low, double high) {
  const Json& value = place.value();
  if (!value.is_number()) place.Fail("expected a number, found " + Found(value));
  const double number = value.get<double>();
  if (!(number >= low && number <= high)) {
    place.Fail(Shown(value) + " is outside " + ShownNumber(low) + ".." + ShownNumber(high));
  }
  return number;
}

int64_t ReadWholeNumber(const JsonPlace& place, int64_t low, int64_t high) {
  const Json& value = place.value();
  // A written "1280.0" is whole too; beyond 2^53 a double no longer holds every whole number.
  constexpr double kLargestExact = 9007199254740992.0;
  const bool whole =
      value.is_number_integer() ||
      (value.is_number_float() && std::trunc(value.get<double>()) == value.get<double>() &&
       std::fabs(value.get<double>()) <= kLargestExact);
  if (!whole) place.Fail("expected a whole number, found " + Found(value));
  // Compared as doubles first, so that values beyond 64 bits are refused, not wrapped.
  const double number = value.get<double>();
  if (!(number >= static_cast<double>(low) && number <= static_cast<double>(high))) {
    place.Fail(Shown(value) + " is outside " + std::to_string(low) + ".." + std::to_string(high));
  }
  if (value.is_number_unsigned()) return static_cast<int64_t>(value.get<uint64_t>());
  if (value.is_number_integer()) return value.get<int64_t>();
  return static_cast<int64_t>(number);
}

bool ReadBool(const JsonPlace& place) {
  if (!place.value().is_boolean()) {
    place.Fail("expected true or false, found " + Found(place.value()));
  }
  return place.value().get<bool>();
}

std::string ReadString(const JsonPlace& place) {
  if (!place.value().is_string()) place.Fail("expected a string, found " + Found(place.value()));
  return place.value().get<std::string>();
}

std::string ReadChoice(const JsonPlace& place, const std::vector<std::string>& choices) {
  std::string list;
  for (const std::string& choice : choices) list += (list.empty() ? "\"" : ", \"") + choice + "\"";
  if (!place.value().is_string()) {
    place.Fail("expected one of " + list + ", found " + Found(place.value()));
  }
  std::string text = place.value().get<std::string>();
  if (std::find(choices.begin(), choices.end(), text) == choices.end()) {
    place.Fail(Shown(place.value()) + " is not one of " + list + SuggestionOr(text, choices, ""));
  }
  return text;
}

PF_Pixel ReadColor(const JsonPlace& place) {
  const Json& value = place.value();
  if (value.is_string()) return ReadHexColor(place);
  if (!value.is_array() || (value.size() != 3 && value.size() != 4)) {
    place.Fail("expected a colour (" + std::string(kColorForms) + "), found " + Found(value));
  }
  A_u_char channels[4] = {0, 0, 0, 255};
  for (size_t i = 0; i < value.size(); ++i) {
    channels[i] = static_cast<A_u_char>(ReadWholeNumber(place.Element(i), 0, 255));
  }
  return PF_Pixel{channels[3], channels[0], channels[1], channels[2]};
}

headless::Point2 ReadPoint(const JsonPlace& place, double limit) {
  const Json& value = place.value();
  if (!value.is_array() || value.size() != 2) {
    place.Fail("expected a point [x, y], found " + Found(value));
  }
  return {ReadNumber(place.Element(0), -limit, limit), ReadNumber(place.Element(1), -limit, limit)};
}

headless::Easing ReadEasing(const JsonPlace& place) {
  const Json& value = place.value();
  if (value.is_array()) {
    if (value.size() != 4) {
      place.Fail("a Bézier easing is four numbers [x1, y1, x2, y2], found " +
                 std::to_string(value.size()));
    }
    const double limit = std::numeric_limits<double>::max();
    double numbers[4];
    for (size_t i = 0; i < 4; ++i) numbers[i] = ReadNumber(place.Element(i), -limit, limit);
    return headless::Easing::Bezier(numbers[0], numbers[1], numbers[2], numbers[3]);
  }
  if (!value.is_string()) {
    place.Fail(
        "expected an easing (\"linear\", \"hold\", \"ease\", \"ease_in\", \"ease_out\" or "
        "[x1, y1, x2, y2]), found " +
        Found(value));
  }
  const std::string word = ReadChoice(place, {"linear", "hold", "ease", "ease_in", "ease_out"});
  if (word == "hold") return headless::Easing::Hold();
  if (word == "ease") return headless::Easing::Ease();
  if (word == "ease_in") return headless::Easing::EaseIn();
  if (word == "ease_out") return headless::Easing::EaseOut();
  return headless::Easing::Linear();
}

bool IsKeyframeList(const Json& value) {
  return value.is_array() && (value.empty() || value.front().is_object());
}

}  // namespace quorvel::compose
