// SPDX-License-Identifier: MIT
// Formed cues written as subtitle files.
#pragma once

#include <string>
#include <vector>

#include "captions/words/cue_formation.h"

namespace quorvel::captions {

// SubRip: numbered cues "1\n00:00:01,000 --> 00:00:02,500\ntext\n\n", the text plain (&lt;
// &amp; &gt; written as the characters).
std::string WriteSubRip(const std::vector<FormedCue>& cues);

// WebVTT: "WEBVTT\n\n", then cues "00:00:01.000 --> 00:00:02.500\ntext\n\n", the text keeping
// its references and taking an inline timestamp (<00:00:01.500>) at each of the cue's
// timestamps, before each word after the first.
std::string WriteWebVtt(const std::vector<FormedCue>& cues);

}  // namespace quorvel::captions
