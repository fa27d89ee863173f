// SPDX-License-Identifier: MIT
// Text files as they are saved by editors of every era, turned into UTF-8: UTF-8 (with or without
// a byte order mark), UTF-16 with a byte order mark, Windows-1252 when the bytes are not UTF-8,
// or an encoding the user names.
#pragma once

#include <string>

namespace quorvel::captions {

struct Utf8Text {
  std::string text;     // without a byte order mark
  std::string warning;  // "file:line: ..." when the encoding was guessed; else empty
};

// With `encoding` empty, the encoding is told by a byte order mark (UTF-8, UTF-16 LE or BE), else
// UTF-8 when the bytes are valid UTF-8, else Windows-1252 with a warning naming the first byte
// that is not UTF-8. A name is read by hand for UTF-8, UTF-16 (LE, BE; by its mark, else BE) and
// Windows-1252 (CP1252), and by iconv for any other (not in Windows builds, which say so). Throws
// SceneError naming the file and the line: text with a NUL ("not a text file"), broken UTF-16,
// bytes the named encoding does not have, an unknown name.
Utf8Text ReadAsUtf8(const std::string& bytes, const std::string& encoding, const std::string& file);

// Appends a code point (at most U+10FFFF, not a surrogate) as UTF-8.
void AppendUtf8(std::string& text, char32_t code_point);

// The character a byte stands for in Windows-1252: Latin-1 but for 0x80 to 0x9F, whose five
// unassigned bytes stand for the control characters of their value (as browsers read them).
char32_t Windows1252Character(unsigned char byte);

}  // namespace quorvel::captions
