// SPDX-License-Identifier: MIT
#include "host/pipl.h"

#include <string>

#include "host/plugin_identity.h"

namespace quorvel {
namespace {

constexpr uint16_t kPiplResourceFormat = 1;  // the leading 16-bit value of the Windows form
constexpr uint32_t kPropertyListVersion = 0;
constexpr uint16_t kPiplVersionMajor = 2;
constexpr uint16_t kPiplVersionMinor = 0;
constexpr uint16_t kEffectInterfaceMajor = 13;
constexpr uint16_t kEffectInterfaceMinor = 2;
constexpr uint16_t kInfoFlags = 0;
constexpr uint32_t kReservedInfo = 8;

constexpr std::size_t PadToFour(std::size_t length) {
  return (length + 3u) & ~std::size_t{3};
}

// A four-character code as the 32-bit value whose most significant byte is the first
// character, the way the host compares them.
constexpr uint32_t FourCharCode(const char (&code)[5]) {
  return static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(code[3]));
}

// Appends little-endian fields and whole properties into a buffer larger than any PiPL, so
// that the size is known (and checked) only once the list is complete.
class PiplBuilder {
 public:
  constexpr void U8(uint8_t value) { bytes_[size_++] = value; }
  constexpr void U16(uint16_t value) {
    U8(static_cast<uint8_t>(value & 0xFFu));
    U8(static_cast<uint8_t>(value >> 8));
  }
  constexpr void U32(uint32_t value) {
    U16(static_cast<uint16_t>(value & 0xFFFFu));
    U16(static_cast<uint16_t>(value >> 16));
  }
  constexpr void Zeros(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      U8(0);
    }
  }

  constexpr void FourCharProperty(const char (&key)[5], const char (&code)[5]) {
    Header(key, 4);
    U32(FourCharCode(code));
  }
  constexpr void U32Property(const char (&key)[5], uint32_t value) {
    Header(key, 4);
    U32(value);
  }
  constexpr void U16PairProperty(const char (&key)[5], uint16_t first, uint16_t second) {
    Header(key, 4);
    U16(first);
    U16(second);
  }
  // The recorded length is the data's own two bytes; the fill to four follows unrecorded.
  constexpr void U16Property(const char (&key)[5], uint16_t value) {
    Header(key, 2);
    U16(value);
    Zeros(2);
  }
  // A length byte and the characters; the recorded length includes the fill to four.
  constexpr void PascalStringProperty(const char (&key)[5], const char* text) {
    const std::size_t length = std::char_traits<char>::length(text);
    const std::size_t padded = PadToFour(1 + length);
    Header(key, static_cast<uint32_t>(padded));
    U8(static_cast<uint8_t>(length));
    Characters(text, length);
    Zeros(padded - 1 - length);
  }
  // The characters and a NUL; the recorded length includes the fill to four.
  constexpr void CStringProperty(const char (&key)[5], const char* text) {
    const std::size_t length = std::char_traits<char>::length(text);
    const std::size_t padded = PadToFour(length + 1);
    Header(key, static_cast<uint32_t>(padded));
    Characters(text, length);
    Zeros(padded - length);
  }

  constexpr std::size_t size() const { return size_; }
  constexpr uint32_t property_count() const { return property_count_; }
  constexpr uint8_t operator[](std::size_t index) const { return bytes_[index]; }

 private:
  constexpr void Header(const char (&key)[5], uint32_t length) {
    U32(FourCharCode("8BIM"));
    U32(FourCharCode(key));
    U32(0);  // property id
    U32(length);
    ++property_count_;
  }
  constexpr void Characters(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
      U8(static_cast<uint8_t>(text[i]));
    }
  }

  std::array<uint8_t, 512> bytes_{};
  std::size_t size_ = 0;
  uint32_t property_count_ = 0;
};

constexpr uint32_t kPropertyCount = 12;

constexpr PiplBuilder BuildPipl() {
  PiplBuilder pipl;
  pipl.U16(kPiplResourceFormat);
  pipl.U32(kPropertyListVersion);
  pipl.U32(kPropertyCount);
  pipl.FourCharProperty("kind", "eFKT");
  pipl.PascalStringProperty("name", kEffectName);
  pipl.PascalStringProperty("catg", kEffectCategory);
  pipl.CStringProperty("8664", kEntryPointName);
  pipl.U16PairProperty("ePVR", kPiplVersionMajor, kPiplVersionMinor);
  pipl.U16PairProperty("eSVR", kEffectInterfaceMajor, kEffectInterfaceMinor);
  pipl.U32Property("eVER", kMyVersion);
  pipl.U16Property("eINF", kInfoFlags);
  pipl.U32Property("eGLO", kGlobalOutFlags);
  pipl.U32Property("eGL2", kGlobalOutFlags2);
  pipl.PascalStringProperty("eMNA", kEffectMatchName);
  pipl.U32Property("aeFL", kReservedInfo);
  return pipl;
}

constexpr PiplBuilder kBuiltPipl = BuildPipl();
static_assert(kBuiltPipl.size() == kPiplSize, "the PiPL's size changed with its contents");
static_assert(kBuiltPipl.property_count() == kPropertyCount, "the property count is recorded");
static_assert(std::char_traits<char>::length(kEffectName) <= 255 &&
                  std::char_traits<char>::length(kEffectCategory) <= 255 &&
                  std::char_traits<char>::length(kEffectMatchName) <= 255,
              "Pascal strings hold at most 255 characters");

constexpr Pipl TrimmedPipl() {
  Pipl bytes{};
  for (std::size_t i = 0; i < kPiplSize; ++i) {
    bytes[i] = kBuiltPipl[i];
  }
  return bytes;
}

constexpr Pipl kPipl = TrimmedPipl();

}  // namespace

const Pipl& PiplResource() {
  return kPipl;
}

}  // namespace quorvel
