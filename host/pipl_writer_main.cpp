// SPDX-License-Identifier: MIT
// quorvel_pipl_writer PIPL_FILE RC_FILE
//
// Writes the plug-in's PiPL as the raw sidecar a Linux module is read with, and as a Windows
// resource script that puts the same bytes into the module as resource 16000.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>

#include "host/pipl.h"

namespace {

// Writes to a temporary name first, so that a failed run leaves no half-written file behind.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& contents) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.close();
    if (!out) {
      std::cerr << "quorvel_pipl_writer: cannot write " << temporary.string() << "\n";
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::cerr << "quorvel_pipl_writer: cannot rename " << temporary.string() << " to "
              << path.string() << ": " << error.message() << "\n";
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

std::string RawPipl(const quorvel::Pipl& pipl) {
  return std::string(reinterpret_cast<const char*>(pipl.data()), pipl.size());
}

// Resource scripts have no byte-sized raw data, only 16-bit words, which they store
// little-endian: each word here is two PiPL bytes, the first in the low half. The PiPL's size
// is even, so no byte is left over.
std::string ResourceScript(const quorvel::Pipl& pipl) {
  static_assert(quorvel::kPiplSize % 2 == 0, "a resource script holds whole 16-bit words");
  constexpr std::size_t kWordsPerLine = 8;
  std::ostringstream script;
  script << "// The plug-in's PiPL, written by quorvel_pipl_writer.\n"
         << "LANGUAGE 0x09, 0x01\n"  // English, United States: language 1033
         << quorvel::kPiplResourceId << " PiPL\nBEGIN\n";
  const std::size_t word_count = pipl.size() / 2;
  for (std::size_t word = 0; word < word_count; ++word) {
    const unsigned value =
        static_cast<unsigned>(pipl[2 * word]) | static_cast<unsigned>(pipl[2 * word + 1]) << 8;
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    script << (word % kWordsPerLine == 0 ? "  " : " ") << text << (word + 1 < word_count ? "," : "")
           << (word % kWordsPerLine == kWordsPerLine - 1 || word + 1 == word_count ? "\n" : "");
  }
  script << "END\n";
  return script.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: quorvel_pipl_writer PIPL_FILE RC_FILE\n";
    return 2;
  }
  const quorvel::Pipl& pipl = quorvel::PiplResource();
  if (!WriteFileAtomically(argv[1], RawPipl(pipl)) ||
      !WriteFileAtomically(argv[2], ResourceScript(pipl))) {
    return 1;
  }
  return 0;
}
