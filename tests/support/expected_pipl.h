// SPDX-License-Identifier: MIT
// The plug-in's PiPL as its documentation lays it out, property by property, written out by
// hand so that tests compare the built bytes with the layout rather than with the code that
// builds them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quorvel::test_support {

inline constexpr std::size_t kExpectedPiplSize = 278;
inline constexpr std::size_t kFirstPropertyOffset = 10;
inline constexpr uint32_t kExpectedPropertyCount = 12;

struct ExpectedProperty {
  std::size_t offset;
  std::string key;            // as written in the documentation, e.g. "kind"
  uint32_t length;            // the recorded length
  std::vector<uint8_t> data;  // every byte up to the next property, fill included
};

// Names the property in failure messages instead of dumping its bytes.
inline void PrintTo(const ExpectedProperty& property, std::ostream* out) {
  *out << "'" << property.key << "' at " << property.offset;
}

// A four-character code stored as a little-endian 32-bit integer: its characters reversed.
inline std::string Reversed(const std::string& code) {
  return std::string(code.rbegin(), code.rend());
}

inline const std::vector<ExpectedProperty>& ExpectedProperties() {
  static const std::vector<ExpectedProperty> properties = {
      {10, "kind", 4, {'T', 'K', 'F', 'e'}},
      {30, "name", 8, {7, 'Q', 'u', 'o', 'r', 'v', 'e', 'l'}},
      {54, "catg", 12, {9, 'O', 's', 't', 'r', 'e', 'v', 'a', 'n', 'e', 0, 0}},
      {82,
       "8664",
       16,
       {'E', 'n', 't', 'r', 'y', 'P', 'o', 'i', 'n', 't', 'F', 'u', 'n', 'c', 0, 0}},
      {114, "ePVR", 4, {2, 0, 0, 0}},
      {134, "eSVR", 4, {13, 0, 2, 0}},
      {154, "eVER", 4, {0x01, 0x00, 0x09, 0x00}},
      {174, "eINF", 2, {0, 0, 0, 0}},
      {194, "eGLO", 4, {0x44, 0x00, 0x08, 0x00}},
      {214, "eGL2", 4, {0, 0, 0, 0}},
      {234, "eMNA", 8, {4, 'K', 'Q', 'Z', 'V', 0, 0, 0}},
      {258, "aeFL", 4, {8, 0, 0, 0}},
  };
  return properties;
}

inline void AppendLittleEndian32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes.push_back(static_cast<uint8_t>((value >> shift) & 0xFFu));
  }
}

inline void AppendText(std::vector<uint8_t>& bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

// The whole resource assembled from the table: the leading 16-bit 1, list version 0, the
// count, then each property as vendor, key, id 0, length and data.
inline std::vector<uint8_t> ExpectedPiplBytes() {
  std::vector<uint8_t> bytes = {1, 0};
  AppendLittleEndian32(bytes, 0);
  AppendLittleEndian32(bytes, kExpectedPropertyCount);
  for (const ExpectedProperty& property : ExpectedProperties()) {
    AppendText(bytes, "MIB8");
    AppendText(bytes, Reversed(property.key));
    AppendLittleEndian32(bytes, 0);
    AppendLittleEndian32(bytes, property.length);
    bytes.insert(bytes.end(), property.data.begin(), property.data.end());
  }
  return bytes;
}

}  // namespace quorvel::test_support
