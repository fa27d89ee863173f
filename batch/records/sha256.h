// SPDX-License-Identifier: MIT
// SHA-256 (FIPS 180-4), for the manifest's record of each file written: a build without FFmpeg
// (Windows) has no library that computes it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace quorvel::batch {

class Sha256 {
 public:
  Sha256();
  void Add(const void* data, size_t size);
  // The digest as 64 lower-case hexadecimal digits; the object is spent after it.
  std::string HexDigest();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pending_size_ = 0;
  uint64_t total_bytes_ = 0;
};

struct FileDigest {
  uint64_t bytes = 0;
  std::string sha256;
};

// The file's size and SHA-256, or nothing when it cannot be read.
std::optional<FileDigest> DigestOfFile(const std::filesystem::path& path);

}  // namespace quorvel::batch
