// SPDX-License-Identifier: MIT
#include "captions/reading/text_encoding.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#if !defined(_WIN32)
#include <iconv.h>
#include <cerrno>
#endif

#include "compose/document/text_file.h"
#include "compose/errors.h"

namespace quorvel::captions {

using compose::LineOf;
using compose::SceneError;

namespace {

[[noreturn]] void Fail(const std::string& file, size_t line, const std::string& message) {
  throw SceneError(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message);
}

const char kNotText[] =
    "not a text file: subtitles are read as UTF-8, as UTF-16 with a byte order mark, as "
    "Windows-1252 or in the encoding given";

// A NUL never belongs to a subtitle: its line, in text already converted, is the place to name.
void RefuseNul(const std::string& text, const std::string& file) {
  if (const size_t nul = text.find('\0'); nul != std::string::npos) {
    Fail(file, LineOf(text, nul), kNotText);
  }
}

bool StartsWith(const std::string& bytes, const char* mark) {
  return bytes.rfind(mark, 0) == 0;
}

// Upper case without '-' and '_': "utf-16le" and "UTF16LE" name one encoding.
std::string EncodingKey(const std::string& name) {
  std::string key;
  for (const char c : name) {
    if (c != '-' && c != '_') key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return key;
}

std::string FromUtf16(const std::string& bytes, size_t start, bool big_endian,
                      const std::string& file) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 2);
  const auto unit = [&](size_t at) -> char32_t {
    const auto byte = [&](size_t i) {
      return static_cast<char32_t>(static_cast<uint8_t>(bytes[i]));
    };
    return big_endian ? (byte(at) << 8) | byte(at + 1) : byte(at) | (byte(at + 1) << 8);
  };
  const auto broken = [&] { Fail(file, LineOf(text, text.size()), "not valid UTF-16 text"); };
  if ((bytes.size() - start) % 2 != 0) broken();
  for (size_t at = start; at < bytes.size(); at += 2) {
    char32_t code_point = unit(at);
    if (code_point >= 0xD800 && code_point <= 0xDBFF) {
      if (at + 2 >= bytes.size()) broken();
      const char32_t low = unit(at + 2);
      if (low < 0xDC00 || low > 0xDFFF) broken();
      code_point = 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    } else if (code_point >= 0xDC00 && code_point <= 0xDFFF) {
      broken();
    }
    AppendUtf8(text, code_point);
  }
  return text;
}

std::string FromWindows1252(const std::string& bytes, size_t start) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 4);
  for (size_t at = start; at < bytes.size(); ++at) {
    AppendUtf8(text, Windows1252Character(static_cast<uint8_t>(bytes[at])));
  }
  return text;
}

size_t Utf8MarkLength(const std::string& bytes) {
  return compose::ByteOrderMarkLength(bytes);
}

// Valid UTF-8 without its mark, or a SceneError naming the line of the first byte that is not.
std::string CheckedUtf8(const std::string& bytes, const std::string& file) {
  const size_t start = Utf8MarkLength(bytes);
  std::string text = bytes.substr(start);
  if (const size_t bad = compose::FirstNonTextByte(text); bad != std::string::npos) {
    Fail(file, LineOf(text, bad),
         text[bad] == '\0' ? kNotText : "not UTF-8 text, as the encoding given says");
  }
  return text;
}

#if !defined(_WIN32)

// An iconv conversion descriptor, closed when it goes out of scope.
class IconvConverter {
 public:
  IconvConverter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvConverter() {
    if (valid()) iconv_close(handle_);
  }
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  // iconv_open's failure is (iconv_t)-1, a pointer made of an integer by its definition.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1)); }
  iconv_t get() const { return handle_; }

 private:
  iconv_t handle_;
};

std::string WithIconv(const std::string& bytes, const std::string& encoding,
                      const std::string& file) {
  const IconvConverter converter("UTF-8", encoding.c_str());
  if (!converter.valid()) {
    Fail(file, 0, "unknown encoding '" + encoding + "' (iconv --list names those known)");
  }
  std::string text(std::max<size_t>(64, bytes.size() + bytes.size() / 2), '\0');
  size_t written = 0;
  std::string input = bytes;  // iconv's input pointer is not const
  char* in = input.data();
  size_t in_left = input.size();
  // The input, then (in_left ignored) the shift back to the initial state of a stateful encoding.
  for (bool flushing = false;;) {
    char* out = text.data() + written;
    size_t out_left = text.size() - written;
    const size_t result = flushing ? iconv(converter.get(), nullptr, nullptr, &out, &out_left)
                                   : iconv(converter.get(), &in, &in_left, &out, &out_left);
    const int error = errno;
    written = static_cast<size_t>(out - text.data());
    if (result != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;
    } else if (error == E2BIG) {
      text.resize(text.size() * 2);
    } else {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned>(static_cast<uint8_t>(*in)));
      Fail(file, LineOf(text.substr(0, written), written),
           "not " + encoding + " text: " +
               (error == EILSEQ ? "the byte " + std::string(byte) + " starts no character of it"
                                : "it ends within a character"));
    }
  }
  text.resize(written);
  return text;
}

#endif

}  // namespace

void AppendUtf8(std::string& text, char32_t code_point) {
  const auto byte = [&](char32_t value) { text += static_cast<char>(static_cast<uint8_t>(value)); };
  if (code_point < 0x80) {
    byte(code_point);
  } else if (code_point < 0x800) {
    byte(0xC0 | (code_point >> 6));
    byte(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    byte(0xE0 | (code_point >> 12));
    byte(0x80 | ((code_point >> 6) & 0x3F));
    byte(0x80 | (code_point & 0x3F));
  } else {
    byte(0xF0 | (code_point >> 18));
    byte(0x80 | ((code_point >> 12) & 0x3F));
    byte(0x80 | ((code_point >> 6) & 0x3F));
    byte(0x80 | (code_point & 0x3F));
  }
}

char32_t Windows1252Character(unsigned char byte) {
  static const char16_t kC1[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return byte >= 0x80 && byte < 0xA0 ? kC1[byte - 0x80] : byte;
}

Utf8Text ReadAsUtf8(const std::string& bytes, const std::string& encoding,
                    const std::string& file) {
  Utf8Text result;
  const std::string key = EncodingKey(encoding);
  const bool utf16_le_mark = StartsWith(bytes, "\xFF\xFE");
  const bool utf16_be_mark = StartsWith(bytes, "\xFE\xFF");
  if (key.empty()) {
    if (utf16_le_mark || utf16_be_mark) {
      result.text = FromUtf16(bytes, 2, utf16_be_mark, file);
    } else {
      const size_t start = Utf8MarkLength(bytes);
      result.text = bytes.substr(start);
      if (const size_t bad = compose::FirstNonTextByte(result.text); bad != std::string::npos) {
        RefuseNul(result.text, file);
        result.warning = file + ":" + std::to_string(LineOf(result.text, bad)) +
                         ": not UTF-8 text: the file is read as Windows-1252 (give its "
                         "encoding if it is another)";
        result.text = FromWindows1252(bytes, start);
      }
    }
  } else if (key == "UTF8") {
    result.text = CheckedUtf8(bytes, file);
  } else if (key == "UTF16" || key == "UTF16LE" || key == "UTF16BE") {
    const bool big_endian = key == "UTF16" ? !utf16_le_mark : key == "UTF16BE";
    const bool marked = big_endian ? utf16_be_mark : utf16_le_mark;
    result.text = FromUtf16(bytes, marked ? 2 : 0, big_endian, file);
  } else if (key == "WINDOWS1252" || key == "CP1252") {
    result.text = FromWindows1252(bytes, 0);
  } else {
#if defined(_WIN32)
    Fail(file, 0,
         "the encoding '" + encoding +
             "' cannot be read: Windows builds have no iconv and read only UTF-8, UTF-16LE, "
             "UTF-16BE and Windows-1252; save the file as UTF-8");
#else
    result.text = WithIconv(bytes, encoding, file);
    if (result.text.rfind("\xEF\xBB\xBF", 0) == 0) result.text.erase(0, 3);
#endif
  }
  RefuseNul(result.text, file);
  return result;
}

}  // namespace quorvel::captions
