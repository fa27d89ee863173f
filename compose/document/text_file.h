// SPDX-License-Identifier: MIT
// Checks of text files that people write by hand or export from other programs: subtitles, CSV.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel::compose {

// 3 when the text starts with UTF-8's byte order mark, else 0.
size_t ByteOrderMarkLength(const std::string& text);

// The offset of the first byte that keeps the text from being UTF-8 text (a NUL, a byte outside
// a valid sequence, an overlong form or a surrogate), or std::string::npos.
size_t FirstNonTextByte(const std::string& text);

// The line, from 1, that an offset is on; CRLF, LF and CR each end a line.
size_t LineOf(const std::string& text, size_t offset);

}  // namespace quorvel::compose
