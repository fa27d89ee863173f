// SPDX-License-Identifier: MIT
// A cue's text as its file writes it, SubRip's HTML-like tags and ASS override blocks or WebVTT's
// cue text tags, turned into the text layer's markup: <b> <i> <u> <s> <font ...> and character
// references, every other '<', '>' and '&' escaped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "captions/reading/subtitles.h"

namespace quorvel::captions {

struct CueMarkup {
  std::string text;
  std::optional<int> alignment;            // SubRip's {\an1} to {\an9}
  std::vector<Cue::Timestamp> timestamps;  // WebVTT's <00:00:01.500>, offsets into `text`
};

// <b> <i> <u> <s> and <font color face size> kept (any case), other tags removed with their
// content kept, {\anN} read and every {\...} block removed; the rest is literal text.
CueMarkup SubRipMarkup(const std::string& text);

// <b> <i> <u> kept; <c>, <v>, <lang> and <ruby> removed with their content kept; <rt> removed
// with its content (the base text is drawn); timestamps read out; character references decoded.
CueMarkup WebVttMarkup(const std::string& text);

}  // namespace quorvel::captions
