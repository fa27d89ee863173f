// SPDX-License-Identifier: MIT
// Text-layer markup, the tags of SubRip subtitles that captions are converted into: <b>, <i>,
// <u>, <s>, <font color="#rrggbb" | "#rgb" | "name" face="Family" size="N">, nested, in any letter
// case, attribute values quoted or not; <phantom> (TextStyle::phantom); and character references
// (&lt; &gt; &amp; &quot; &apos; &nbsp; &lrm; &rlm; &#NNN; &#xHH;).
//
// It is forgiving, as subtitle players are: an unclosed tag closes at the end, a closing tag with
// nothing open of its name is ignored, an unknown tag is removed (its content kept), and a '<' or
// '&' that starts no tag or reference is kept as it is. A closing tag ends the innermost element
// of its name, even when others were opened after it ("<b><i>a</b>b</i>": "b" is italic only).
#pragma once

#include <string>

#include "headless/text/styled_text.h"

namespace quorvel::headless {

// The text (invalid UTF-8 bytes become U+FFFD) in styled runs; line breaks stay as they are.
StyledText ParseMarkup(const std::string& markup);

// A colour as <font color> gives it: "#rrggbb", "#rgb", or one of CSS's basic colour names
// (white, black, red, green, blue, yellow, cyan, magenta, gray/grey, silver, maroon, olive, lime,
// aqua, teal, navy, fuchsia, purple, orange), in any letter case. Nothing for anything else.
std::optional<TextColor> ParseMarkupColor(const std::string& value);

}  // namespace quorvel::headless
