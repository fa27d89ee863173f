// SPDX-License-Identifier: MIT
#include "media/image/file_output.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <system_error>

namespace quorvel::media {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Links lead on at most this many times, as the system's own limit on following them.
constexpr int kMaxLinks = 40;

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

FileStatus Failed(const OutputTarget& target, const std::string& why) {
  return FileStatus::Failure("cannot write " + Quoted(target.given) + ": " + why);
}

std::string SystemReason() {
  return std::error_code(errno, std::generic_category()).message();
}

// Writes all of `bytes`; the system's reason when it cannot.
FileStatus WriteAll(std::FILE* file, const std::string& bytes, const OutputTarget& target) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0) {
    return Failed(target, SystemReason());
  }
  return {};
}

FileStatus ReplaceFile(const OutputTarget& target, const std::string& bytes) {
  if (FileStatus folder = MakeFolderFor(target); !folder) return folder;
  const fs::path temporary = TemporaryPathFor(target.path);
  File file(std::fopen(temporary.string().c_str(), "wb"));
  if (!file) return Failed(target, SystemReason());
  FileStatus written = WriteAll(file.get(), bytes, target);
  const bool closed = std::fclose(file.release()) == 0;
  if (written && !closed) written = Failed(target, SystemReason());
  std::error_code error;
  if (written) fs::rename(temporary, target.path, error);
  if (!written || error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return written ? Failed(target, error.message()) : written;
  }
  return {};
}

}  // namespace

FileStatus MakeFolderFor(const OutputTarget& target) {
  const fs::path folder = target.path.parent_path();
  std::error_code error;
  if (folder.empty() || fs::is_directory(folder, error)) return {};
  fs::create_directories(folder, error);
  return error ? Failed(target, "cannot make its folder: " + error.message()) : FileStatus{};
}

fs::path TemporaryPathFor(const fs::path& path) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  return path.parent_path() /
         ("." + path.filename().string() + "." + std::to_string(random()) + ".partial");
}

FileStatus ResolveOutput(const fs::path& given, OutputTarget& target) {
  target = OutputTarget{OutputTarget::Kind::kFile, given, given};
  if (given == "-") {
    target.kind = OutputTarget::Kind::kStandardOutput;
    return {};
  }
  if (!given.has_filename()) return Failed(target, "the name ends without a file name");
  std::error_code error;
  for (int hops = 0;; ++hops) {
    const fs::file_status status = fs::symlink_status(target.path, error);
    if (error && status.type() != fs::file_type::not_found) return Failed(target, error.message());
    switch (status.type()) {
      case fs::file_type::not_found:
      case fs::file_type::regular:
        target.kind = OutputTarget::Kind::kFile;
        return {};
      case fs::file_type::character:
      case fs::file_type::fifo:
        target.kind = OutputTarget::Kind::kStream;
        return {};
      case fs::file_type::symlink: {
        if (hops == kMaxLinks) return Failed(target, "its links lead on without end");
        const fs::path next = fs::read_symlink(target.path, error);
        if (error) return Failed(target, error.message());
        target.path = next.is_absolute() ? next : target.path.parent_path() / next;
        break;
      }
      case fs::file_type::directory:
        return Failed(target, "it is a folder");
      default:
        return Failed(target, "it is neither a file nor a device that takes an image");
    }
  }
}

FileStatus CheckWritable(const OutputTarget& target) {
  switch (target.kind) {
    case OutputTarget::Kind::kStandardOutput:
      return {};
    case OutputTarget::Kind::kStream: {
      // A FIFO with no reader would wait here; it is opened when the image is written.
      std::error_code error;
      if (fs::status(target.path, error).type() == fs::file_type::fifo) return {};
      const File device(std::fopen(target.path.string().c_str(), "wb"));
      return device ? FileStatus{} : Failed(target, SystemReason());
    }
    case OutputTarget::Kind::kFile:
      break;
  }
  // Missing folders are made only when the file is written, so that a run refused before then
  // leaves none behind: the nearest folder there is stands for them.
  std::error_code error;
  fs::path folder = target.path.parent_path();
  while (!folder.empty() && !fs::exists(folder, error) && folder != folder.parent_path()) {
    folder = folder.parent_path();
  }
  if (!folder.empty() && !fs::is_directory(folder, error)) {
    return Failed(target, "'" + folder.string() + "' is not a folder");
  }
  // A file made and removed at once: whatever would stop the real one shows now.
  const fs::path probe = TemporaryPathFor(folder / target.path.filename());
  if (!File(std::fopen(probe.string().c_str(), "wb"))) return Failed(target, SystemReason());
  fs::remove(probe, error);
  return {};
}

FileStatus WriteOutput(const OutputTarget& target, const std::string& bytes) {
  switch (target.kind) {
    case OutputTarget::Kind::kStandardOutput: {
#if defined(_WIN32)
      _setmode(_fileno(stdout), _O_BINARY);
#endif
      return WriteAll(stdout, bytes, target);
    }
    case OutputTarget::Kind::kStream: {
      File device(std::fopen(target.path.string().c_str(), "wb"));
      if (!device) return Failed(target, SystemReason());
      FileStatus written = WriteAll(device.get(), bytes, target);
      if (std::fclose(device.release()) != 0 && written) written = Failed(target, SystemReason());
      return written;
    }
    case OutputTarget::Kind::kFile:
      break;
  }
  return ReplaceFile(target, bytes);
}

}  // namespace quorvel::media
