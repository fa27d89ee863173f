// SPDX-License-Identifier: MIT
// Reading a plug-in's property list (PiPL): how a host learns what a module is before it
// calls anything in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::headless {

// Four-character codes as the PiPL stores them: the first character in the highest byte.
constexpr uint32_t FourCharCode(const char (&code)[5]) {
  return static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(code[3]));
}
std::string FourCharText(uint32_t code);

inline constexpr uint32_t kPiplVendor = FourCharCode("8BIM");
inline constexpr uint32_t kPiplKindEffect = FourCharCode("eFKT");

struct PiplVersionPair {
  int16_t major = 0;
  int16_t minor = 0;
};

struct PiplProperty {
  uint32_t key = 0;
  int32_t length = 0;  // as recorded
  size_t offset = 0;   // of the property's data in the bytes
};

// What the PiPL says; numbers stay as stored. Absent properties read as zero or empty.
struct PiplInfo {
  uint32_t kind = 0;
  std::string name;
  std::string category;
  std::string match_name;
  std::string entry_point;  // the x86-64 code property
  std::string support_url;
  PiplVersionPair pipl_version;
  PiplVersionPair spec_version;
  uint32_t effect_version = 0;
  uint16_t info_flags = 0;
  uint32_t global_out_flags = 0;
  uint32_t global_out_flags2 = 0;
  uint32_t reserved_info = 0;
  std::vector<PiplProperty> properties;  // every property, in order, known or not
};

// Bytes that are not a well-formed PiPL; the message says where and why.
class PiplError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses and checks the whole list: the header, every property's vendor, length and padding,
// the size of each known property, and that nothing follows the last property.
PiplInfo ParsePipl(const std::vector<uint8_t>& bytes);

// An effect version, unpacked: bits 19-21 (and 26-29 for majors above 7) major, 15-18 minor,
// 11-14 fix, 9-10 stage, 0-8 build.
struct EffectVersion {
  int major = 0;
  int minor = 0;
  int fix = 0;
  int stage = 0;
  int build = 0;
};
EffectVersion DecodeEffectVersion(uint32_t packed);
// "1.2.0 develop, build 1".
std::string FormatEffectVersion(uint32_t packed);

// Names of the set bits ("NON_PARAM_VARY"); unnamed bits as hexadecimal ("0x8").
std::vector<std::string> OutFlagNames(uint32_t flags);
std::vector<std::string> OutFlag2Names(uint32_t flags);

}  // namespace quorvel::headless
