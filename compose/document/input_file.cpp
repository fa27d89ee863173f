// SPDX-License-Identifier: MIT
#include "compose/document/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "compose/document/json_place.h"
#include "compose/errors.h"
#include "headless/common/interruption.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace quorvel::compose {
namespace {

std::string ShownLimit() {
  return std::to_string(kMaxInputBytes >> 20) + " MiB";
}

#if defined(_WIN32)
struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Up to `size` bytes into `into`: how many, 0 at the end; -1 with errno on failure.
class InputStream {
 public:
  explicit InputStream(const std::string& path) {
    if (IsStandardInput(path)) {
      _setmode(_fileno(stdin), _O_BINARY);
      file_ = stdin;
    } else {
      opened_.reset(std::fopen(path.c_str(), "rb"));
      file_ = opened_.get();
    }
  }
  bool IsOpen() const { return file_ != nullptr; }
  long long Read(char* into, size_t size) {
    const size_t got = std::fread(into, 1, size, file_);
    if (got > 0 || std::feof(file_) != 0) return static_cast<long long>(got);
    return -1;
  }

 private:
  std::unique_ptr<std::FILE, CloseFile> opened_;
  std::FILE* file_ = nullptr;
};
#else
// Reads through the file descriptor, waiting for data in short spells, so that a stop is
// noticed even while a pipe stays open and silent.
class InputStream {
 public:
  explicit InputStream(const std::string& path)
      : fd_(IsStandardInput(path) ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC)),
        owned_(!IsStandardInput(path)) {}
  ~InputStream() {
    if (owned_ && fd_ >= 0) close(fd_);
  }
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  long long Read(char* into, size_t size) {
    while (true) {
      if (headless::InterruptionRequested()) throw Interrupted();
      pollfd ready{fd_, POLLIN, 0};
      const int waited = poll(&ready, 1, 100);
      if (waited == 0 || (waited < 0 && errno == EINTR)) continue;
      const ssize_t got = read(fd_, into, size);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      return got;
    }
  }

 private:
  int fd_;
  bool owned_;
};
#endif

}  // namespace

std::string SceneName(const std::string& path) {
  return IsStandardInput(path) ? "standard input" : path;
}

std::string ReadInputFile(const std::string& path, const char* what) {
  const std::string name = SceneName(path);
  if (!IsStandardInput(path)) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      throw SceneError(path + ": is a folder, not a " + what);
    }
  }
  InputStream input(path);
  if (!input.IsOpen()) {
    if (headless::InterruptionRequested())
      throw Interrupted();  // while a FIFO waited for its writer
    throw SceneError(path + ": cannot open the " + what + ": " +
                     std::generic_category().message(errno));
  }
  std::string text;
  constexpr size_t kChunk = size_t{1} << 20;
  while (true) {
    if (headless::InterruptionRequested()) throw Interrupted();
    const size_t before = text.size();
    // One byte past the limit tells an input of exactly the limit from a larger one.
    const size_t wanted = std::min(kChunk, kMaxInputBytes + 1 - before);
    text.resize(before + wanted);
    const long long got = input.Read(&text[before], wanted);
    if (got < 0) {
      throw SceneError(name + ": cannot read the " + what + ": " +
                       std::generic_category().message(errno));
    }
    text.resize(before + static_cast<size_t>(got));
    if (text.size() > kMaxInputBytes) {
      throw SceneError(name + ": the " + what + " is larger than " + ShownLimit() +
                       ", the most an input may have");
    }
    if (got == 0) return text;
  }
}

}  // namespace quorvel::compose
