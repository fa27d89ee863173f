// SPDX-License-Identifier: MIT
// Just enough of a Windows PE reader for the tests to check a built Windows module on Linux:
// machine, exported names, imported DLLs and resources. Every offset is checked against the
// file's size; a malformed file throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test_support {

struct PeResource {
  std::string type;  // a named type as its name, a numbered one as "#<number>"
  uint32_t id = 0;   // numbered resources only; a named one reads 0
  uint32_t language = 0;
  std::vector<uint8_t> bytes;
};

struct PeFile {
  uint16_t machine = 0;
  bool is_dll = false;
  std::vector<std::string> exports;
  std::vector<std::string> imports;  // DLL names as stored
  std::vector<PeResource> resources;
};

class PeReader {
 public:
  explicit PeReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  PeFile Read() {
    PeFile file;
    if (U16(0) != 0x5A4D) Fail("no MZ header");
    const std::size_t pe = U32(0x3C);
    if (U32(pe) != 0x00004550) Fail("no PE signature");
    const std::size_t coff = pe + 4;
    file.machine = U16(coff);
    const uint16_t section_count = U16(coff + 2);
    const uint16_t optional_size = U16(coff + 16);
    file.is_dll = (U16(coff + 18) & 0x2000u) != 0;
    const std::size_t optional = coff + 20;
    if (U16(optional) != 0x20B) Fail("not a PE32+ image");
    constexpr std::size_t kDirectories = 112;  // offset of the data directories in PE32+
    const uint32_t directory_count = U32(optional + 108);
    const std::size_t sections = optional + optional_size;
    for (uint16_t i = 0; i < section_count; ++i) {
      const std::size_t header = sections + i * std::size_t{40};
      sections_.push_back(
          Section{U32(header + 12), U32(header + 8), U32(header + 20), U32(header + 16)});
    }
    const auto directory = [&](uint32_t index) {
      if (index >= directory_count) return std::pair<uint32_t, uint32_t>{0, 0};
      const std::size_t entry = optional + kDirectories + index * std::size_t{8};
      return std::pair<uint32_t, uint32_t>{U32(entry), U32(entry + 4)};
    };
    if (const uint32_t rva = directory(0).first; rva != 0) ReadExports(rva, file);
    if (const uint32_t rva = directory(1).first; rva != 0) ReadImports(rva, file);
    if (const uint32_t rva = directory(2).first; rva != 0) ReadResources(Offset(rva), file);
    return file;
  }

 private:
  struct Section {
    uint32_t rva;
    uint32_t virtual_size;
    uint32_t file_offset;
    uint32_t file_size;
  };

  [[noreturn]] static void Fail(const std::string& why) {
    throw std::runtime_error("malformed PE file: " + why);
  }

  void Need(std::size_t offset, std::size_t size) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset) Fail("offset out of the file");
  }
  uint16_t U16(std::size_t offset) const {
    Need(offset, 2);
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  uint32_t U32(std::size_t offset) const {
    Need(offset, 4);
    return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes_[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes_[offset + 3]) << 24;
  }
  std::size_t Offset(uint32_t rva) const {
    for (const Section& section : sections_) {
      if (rva >= section.rva && rva - section.rva < section.file_size) {
        return std::size_t{section.file_offset} + (rva - section.rva);
      }
    }
    Fail("address outside every section");
  }
  std::string CString(std::size_t offset) const {
    std::string text;
    for (;; ++offset) {
      Need(offset, 1);
      if (bytes_[offset] == 0) return text;
      text.push_back(static_cast<char>(bytes_[offset]));
    }
  }

  void ReadExports(uint32_t rva, PeFile& file) const {
    const std::size_t directory = Offset(rva);
    const uint32_t name_count = U32(directory + 24);
    const std::size_t names = Offset(U32(directory + 32));
    for (uint32_t i = 0; i < name_count; ++i) {
      file.exports.push_back(CString(Offset(U32(names + i * std::size_t{4}))));
    }
  }

  void ReadImports(uint32_t rva, PeFile& file) const {
    for (std::size_t descriptor = Offset(rva);; descriptor += 20) {
      const uint32_t name = U32(descriptor + 12);
      if (name == 0) return;
      file.imports.push_back(CString(Offset(name)));
    }
  }

  // Resource names are UTF-16 with a length in front; the ones a module uses are ASCII.
  std::string ResourceName(std::size_t offset) const {
    const uint16_t length = U16(offset);
    std::string name;
    for (uint16_t i = 0; i < length; ++i) {
      name.push_back(static_cast<char>(U16(offset + 2 + i * std::size_t{2}) & 0xFFu));
    }
    return name;
  }

  // The three levels: type, then name or id, then language; each leaf is a data entry.
  void ReadResources(std::size_t root, PeFile& file) const {
    constexpr uint32_t kHighBit = 0x80000000u;
    const auto entries = [&](std::size_t directory) {
      std::vector<std::pair<uint32_t, uint32_t>> list;
      const std::size_t count = std::size_t{U16(directory + 12)} + U16(directory + 14);
      for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 16 + i * 8;
        list.emplace_back(U32(entry), U32(entry + 4));
      }
      return list;
    };
    const auto subdirectory = [&](uint32_t target) {
      if ((target & kHighBit) == 0) Fail("resource directory entry is not a directory");
      return root + (target & ~kHighBit);
    };
    for (const auto& [type_name, type_target] : entries(root)) {
      const std::string type = (type_name & kHighBit) != 0
                                   ? ResourceName(root + (type_name & ~kHighBit))
                                   : "#" + std::to_string(type_name);
      for (const auto& [id, id_target] : entries(subdirectory(type_target))) {
        for (const auto& [language, data_target] : entries(subdirectory(id_target))) {
          if ((data_target & kHighBit) != 0) Fail("resource leaf is a directory");
          const std::size_t data = root + data_target;
          const std::size_t start = Offset(U32(data));
          const uint32_t size = U32(data + 4);
          Need(start, size);
          file.resources.push_back(PeResource{
              type, (id & kHighBit) != 0 ? 0 : id, language,
              std::vector<uint8_t>(bytes_.begin() + static_cast<std::ptrdiff_t>(start),
                                   bytes_.begin() + static_cast<std::ptrdiff_t>(start + size))});
        }
      }
    }
  }

  std::vector<uint8_t> bytes_;
  std::vector<Section> sections_;
};

}  // namespace quorvel::test_support
