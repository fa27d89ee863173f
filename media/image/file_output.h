// SPDX-License-Identifier: MIT
// Where an output goes, and writing it there without ever leaving part of it behind: a regular
// file (or a new one) is written beside itself and renamed into place; a symbolic link is
// followed to its target, which is replaced the same way; a character device or a FIFO is
// written in place; "-" is standard output. Anything else (a folder, a socket) is refused.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

namespace quorvel::media {

// The outcome of reading or writing an image file: ok, or the reason it failed.
struct [[nodiscard]] FileStatus {
  bool ok = true;
  std::string message;
  static FileStatus Failure(std::string why) { return {false, std::move(why)}; }
  explicit operator bool() const { return ok; }
};

struct OutputTarget {
  enum class Kind { kFile, kStream, kStandardOutput };
  Kind kind = Kind::kFile;
  std::filesystem::path given;  // as the user named it, for messages
  std::filesystem::path path;   // what is written: the file a link leads to
};

// Finds where `given` leads. Fails for a folder, a socket or another kind of file that cannot
// take an image, for a chain of links that does not end, and for a file name that is empty.
FileStatus ResolveOutput(const std::filesystem::path& given, OutputTarget& target);

// Checks, before any work, that the target can be written: that a file can be made in the
// file's folder (or, when that is missing, in the nearest folder that is there: nothing is made
// yet), or that a device opens for writing.
FileStatus CheckWritable(const OutputTarget& target);

// Makes the folder a file target goes in, when missing; a writer calls it just before writing.
FileStatus MakeFolderFor(const OutputTarget& target);

// Writes `bytes` to the target: whole or not at all for a file; the reason on failure, naming
// the output as the user gave it ("cannot write 'out/a.png': No space left on device").
FileStatus WriteOutput(const OutputTarget& target, const std::string& bytes);

// A hidden ".name.<random>.partial" in the file's own folder (so that the rename into place stays
// on one file system) that no other writer picks.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path);

}  // namespace quorvel::media
