// SPDX-License-Identifier: MIT
// Reading an input a user names (a scene, style, template, CSV or subtitle file, or standard
// input) whole, within a size limit, and giving up at once when a stop is asked for.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel::compose {

// The most bytes one input may have: far beyond any real scene, subtitle or data file (the
// largest are a few MB), short of what exhausts memory once parsed.
inline constexpr size_t kMaxInputBytes = size_t{64} << 20;

// A path "-" is standard input.
inline bool IsStandardInput(const std::string& path) {
  return path == "-";
}
// The name messages give an input by: its path, or "standard input".
std::string SceneName(const std::string& path);

// The whole of a file, or of standard input for "-"; `what` names it in messages ("scene
// file"). A SceneError names the input for a folder, a file that cannot be opened or read, or
// one larger than kMaxInputBytes (read no further than that); Interrupted when a stop is asked
// for while reading, also while waiting on a pipe that never closes.
std::string ReadInputFile(const std::string& path, const char* what);

}  // namespace quorvel::compose
