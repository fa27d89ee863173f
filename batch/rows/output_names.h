// SPDX-License-Identifier: MIT
// Output file names as the file systems that a batch's files may end up on see them, so that a
// batch writes the same files wherever it runs.
#pragma once

#include <filesystem>
#include <string>

#include "batch/rows/data_table.h"
#include "compose/scene/frame_range.h"

namespace quorvel::batch {

// The name as a file system that ignores letter case and the form of accented letters compares
// it (Windows' and macOS's defaults): Unicode case folded and composed (NFC), so that "École"
// and "école", or an "é" written as one character or as "e" and an accent, fold alike.
std::string FoldedFileName(const std::filesystem::path& path);

// The first part of the path that Windows keeps for a device ("CON", "nul.png", "COM1", "LPT9
// .txt"), any case, or an empty string when there is none: a file of that name cannot be made
// there.
std::string ReservedWindowsName(const std::filesystem::path& path);

// Every row's output name, checked before any frame renders: it must name a file by a value,
// keep the frame number field when a row writes several frames of `range`, be no name Windows
// keeps for a device, and differ from every other row's as FoldedFileName compares them. Each
// folder is checked for writing once. SceneError or ArgumentError naming the row; Interrupted
// when a stop is asked for.
void CheckRowOutputNames(const std::string& pattern, const DataTable& table,
                         const compose::FrameRange& range);

}  // namespace quorvel::batch
