// SPDX-License-Identifier: MIT
// Output file names as the file systems that a batch's files may end up on see them, so that a
// batch writes the same files wherever it runs.
#pragma once

#include <filesystem>
#include <string>

namespace quorvel::cli {

// The name as a file system that ignores letter case and the form of accented letters compares
// it (Windows' and macOS's defaults): Unicode case folded and composed (NFC), so that "École"
// and "école", or an "é" written as one character or as "e" and an accent, fold alike.
std::string FoldedFileName(const std::filesystem::path& path);

// The first part of the path that Windows keeps for a device ("CON", "nul.png", "COM1", "LPT9
// .txt"), any case, or an empty string when there is none: a file of that name cannot be made
// there.
std::string ReservedWindowsName(const std::filesystem::path& path);

}  // namespace quorvel::cli
