// SPDX-License-Identifier: MIT
// PiPL bytes built property by property from the published layout, for tests that need good
// and broken property lists alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::headless::test {

class PiplBytes {
 public:
  // One property: the data is written as given, the recorded length may differ from it (to
  // break a list on purpose), and fill bytes follow up to a multiple of 4.
  PiplBytes& Raw(const std::string& key, std::vector<uint8_t> data, uint32_t recorded_length,
                 const std::string& vendor = "8BIM") {
    properties_.push_back({vendor, key, std::move(data), recorded_length});
    return *this;
  }
  PiplBytes& Code(const std::string& key, const std::string& code) {
    std::vector<uint8_t> data(code.rbegin(), code.rend());  // stored as a little-endian integer
    return Raw(key, data, 4);
  }
  PiplBytes& Word(const std::string& key, uint32_t value) {
    return Raw(key, LittleEndian(value, 4), 4);
  }
  PiplBytes& Pair(const std::string& key, uint16_t major, uint16_t minor) {
    std::vector<uint8_t> data = LittleEndian(major, 2);
    const std::vector<uint8_t> second = LittleEndian(minor, 2);
    data.insert(data.end(), second.begin(), second.end());
    return Raw(key, data, 4);
  }
  // A length byte and the text; the recorded length includes the fill, as for strings.
  PiplBytes& Pascal(const std::string& key, const std::string& text) {
    std::vector<uint8_t> data{static_cast<uint8_t>(text.size())};
    data.insert(data.end(), text.begin(), text.end());
    while (data.size() % 4 != 0) data.push_back(0);
    const auto length = static_cast<uint32_t>(data.size());
    return Raw(key, data, length);
  }
  PiplBytes& CString(const std::string& key, const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    while (data.size() % 4 != 0) data.push_back(0);
    const auto length = static_cast<uint32_t>(data.size());
    return Raw(key, data, length);
  }

  // The whole list; the count written is the number of properties unless given.
  std::vector<uint8_t> Bytes(int64_t count = -1) const {
    std::vector<uint8_t> bytes = LittleEndian(1, 2);
    Append(bytes, LittleEndian(0, 4));
    Append(bytes, LittleEndian(count < 0 ? properties_.size() : static_cast<uint64_t>(count), 4));
    for (const Property& property : properties_) {
      Append(bytes, std::vector<uint8_t>(property.vendor.rbegin(), property.vendor.rend()));
      Append(bytes, std::vector<uint8_t>(property.key.rbegin(), property.key.rend()));
      Append(bytes, LittleEndian(0, 4));
      Append(bytes, LittleEndian(property.recorded_length, 4));
      Append(bytes, property.data);
      for (size_t fill = property.data.size(); fill % 4 != 0; ++fill) bytes.push_back(0);
    }
    return bytes;
  }

  // A well-formed effect PiPL, in the shape of the plug-in's own.
  static PiplBytes Effect(const std::string& entry_point) {
    PiplBytes pipl;
    pipl.Code("kind", "eFKT")
        .Pascal("name", "Fixture")
        .Pascal("catg", "Tests")
        .CString("8664", entry_point)
        .Pair("ePVR", 2, 0)
        .Pair("eSVR", 13, 2)
        .Word("eVER", 0x00090001)
        .Raw("eINF", {0x05, 0x00}, 2)
        .Word("eGLO", 0x00080044)
        .Word("eGL2", 0)
        .Pascal("eMNA", "QFIX")
        .Word("aeFL", 8);
    return pipl;
  }

 private:
  struct Property {
    std::string vendor;
    std::string key;
    std::vector<uint8_t> data;
    uint32_t recorded_length;
  };

  static std::vector<uint8_t> LittleEndian(uint64_t value, int size) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return bytes;
  }
  static void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
  }

  std::vector<Property> properties_;
};

}  // namespace quorvel::headless::test
