// SPDX-License-Identifier: MIT
// Plain text to and from a cue's markup, where <, & and > are written &lt; &amp; &gt;.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel::captions {

std::string EscapeCueText(const std::string& plain);

// The three references back to their characters; anything else is kept as written.
std::string UnescapeCueText(const std::string& markup);

// Characters as a reader counts them for line lengths: UTF-8 code points.
size_t CharacterCount(const std::string& text);

}  // namespace quorvel::captions
