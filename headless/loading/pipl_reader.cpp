// SPDX-License-Identifier: MIT
#include "headless/loading/pipl_reader.h"

#include <algorithm>
#include <cstdio>

namespace quorvel::headless {
namespace {

constexpr size_t kHeaderSize = 10;          // uint16 1, int32 version, int32 count
constexpr size_t kPropertyHeaderSize = 16;  // vendor, key, id, length

std::string At(size_t offset) {
  return "at byte " + std::to_string(offset);
}

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  uint32_t U32(size_t offset) const {
    return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes_[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes_[offset + 3]) << 24;
  }
  uint16_t U16(size_t offset) const {
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  int16_t I16(size_t offset) const { return static_cast<int16_t>(U16(offset)); }
  int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
  uint8_t U8(size_t offset) const { return bytes_[offset]; }
  std::string Text(size_t offset, size_t length) const {
    return std::string(bytes_.begin() + static_cast<std::ptrdiff_t>(offset),
                       bytes_.begin() + static_cast<std::ptrdiff_t>(offset + length));
  }

 private:
  const std::vector<uint8_t>& bytes_;
};

std::string PropertyName(uint32_t key, size_t offset) {
  return "property '" + FourCharText(key) + "' " + At(offset);
}

// Messages give where the property starts, its header included.
std::string PropertyName(const PiplProperty& property) {
  return PropertyName(property.key, property.offset - kPropertyHeaderSize);
}

void ExpectLength(const PiplProperty& property, int32_t expected) {
  if (property.length != expected) {
    throw PiplError(PropertyName(property) + " has length " + std::to_string(property.length) +
                    ", expected " + std::to_string(expected));
  }
}

// A length byte and the text, within the recorded length (which may include fill bytes).
std::string PascalString(const Reader& reader, const PiplProperty& property) {
  if (property.length < 1) {
    throw PiplError(PropertyName(property) + " is too short for a Pascal string");
  }
  const size_t text_length = reader.U8(property.offset);
  if (1 + text_length > static_cast<size_t>(property.length)) {
    throw PiplError(PropertyName(property) + ": its string of " + std::to_string(text_length) +
                    " bytes runs past its length " + std::to_string(property.length));
  }
  return reader.Text(property.offset + 1, text_length);
}

// A NUL-terminated string, the NUL within the recorded length.
std::string CString(const Reader& reader, const PiplProperty& property) {
  const size_t length = static_cast<size_t>(property.length);
  for (size_t i = 0; i < length; ++i) {
    if (reader.U8(property.offset + i) == 0) return reader.Text(property.offset, i);
  }
  throw PiplError(PropertyName(property) + ": its string is not terminated within its length");
}

PiplVersionPair VersionPair(const Reader& reader, const PiplProperty& property) {
  ExpectLength(property, 4);
  return {reader.I16(property.offset), reader.I16(property.offset + 2)};
}

uint32_t Word(const Reader& reader, const PiplProperty& property) {
  ExpectLength(property, 4);
  return reader.U32(property.offset);
}

std::vector<std::string> FlagNames(uint32_t flags, const char* const* names) {
  std::vector<std::string> result;
  for (int bit = 0; bit < 32; ++bit) {
    const uint32_t mask = 1u << bit;
    if ((flags & mask) == 0) continue;
    if (names[bit] != nullptr) {
      result.emplace_back(names[bit]);
    } else {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%x", mask);
      result.emplace_back(hex);
    }
  }
  return result;
}

}  // namespace

std::string FourCharText(uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>(code >> shift);
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      text += escaped;
    }
  }
  return text;
}

PiplInfo ParsePipl(const std::vector<uint8_t>& bytes) {
  const Reader reader(bytes);
  if (bytes.size() < kHeaderSize) {
    throw PiplError("truncated: " + std::to_string(bytes.size()) +
                    " bytes, the header alone takes " + std::to_string(kHeaderSize));
  }
  if (reader.U16(0) != 1) {
    throw PiplError("does not start with the 16-bit value 1 (found " +
                    std::to_string(reader.U16(0)) + ")");
  }
  if (reader.I32(2) != 0) {
    throw PiplError("unknown property list version " + std::to_string(reader.I32(2)) +
                    " (expected 0)");
  }
  const int32_t count = reader.I32(6);
  if (count < 0) throw PiplError("negative property count " + std::to_string(count));

  PiplInfo info;
  size_t offset = kHeaderSize;
  for (int32_t index = 0; index < count; ++index) {
    const std::string which =
        "property " + std::to_string(index + 1) + " of " + std::to_string(count) + " " + At(offset);
    if (bytes.size() - offset < kPropertyHeaderSize) {
      throw PiplError(which + " runs past the end of the " + std::to_string(bytes.size()) +
                      " bytes");
    }
    const uint32_t vendor = reader.U32(offset);
    if (vendor != kPiplVendor) {
      throw PiplError(which + " has vendor '" + FourCharText(vendor) + "', expected '8BIM'");
    }
    PiplProperty property;
    property.key = reader.U32(offset + 4);
    const uint32_t length = reader.U32(offset + 12);
    property.offset = offset + kPropertyHeaderSize;
    // Data is followed by fill up to a multiple of 4, which must be there too.
    const uint64_t padded = (static_cast<uint64_t>(length) + 3) / 4 * 4;
    if (length > static_cast<uint32_t>(INT32_MAX) || padded > bytes.size() - property.offset) {
      throw PiplError(PropertyName(property.key, offset) + " has length " + std::to_string(length) +
                      ", which runs past the end of the " + std::to_string(bytes.size()) +
                      " bytes");
    }
    property.length = static_cast<int32_t>(length);
    for (const PiplProperty& earlier : info.properties) {
      if (earlier.key == property.key) {
        throw PiplError(PropertyName(property.key, offset) + " appears twice");
      }
    }
    info.properties.push_back(property);
    offset = property.offset + static_cast<size_t>(padded);
  }
  if (offset != bytes.size()) {
    throw PiplError(std::to_string(bytes.size() - offset) + " bytes follow the last of the " +
                    std::to_string(count) + " properties " + At(offset));
  }

  for (const PiplProperty& property : info.properties) {
    switch (property.key) {
      case FourCharCode("kind"):
        info.kind = Word(reader, property);
        break;
      case FourCharCode("name"):
        info.name = PascalString(reader, property);
        break;
      case FourCharCode("catg"):
        info.category = PascalString(reader, property);
        break;
      case FourCharCode("eMNA"):
        info.match_name = PascalString(reader, property);
        break;
      case FourCharCode("eURL"):
        info.support_url = PascalString(reader, property);
        break;
      case FourCharCode("8664"):
        info.entry_point = CString(reader, property);
        break;
      case FourCharCode("ePVR"):
        info.pipl_version = VersionPair(reader, property);
        break;
      case FourCharCode("eSVR"):
        info.spec_version = VersionPair(reader, property);
        break;
      case FourCharCode("eVER"):
        info.effect_version = Word(reader, property);
        break;
      case FourCharCode("eINF"):
        ExpectLength(property, 2);
        info.info_flags = reader.U16(property.offset);
        break;
      case FourCharCode("eGLO"):
        info.global_out_flags = Word(reader, property);
        break;
      case FourCharCode("eGL2"):
        info.global_out_flags2 = Word(reader, property);
        break;
      case FourCharCode("aeFL"):
        info.reserved_info = Word(reader, property);
        break;
      default:
        break;  // properties for other platforms or other hosts
    }
  }
  if (info.kind == 0) throw PiplError("has no 'kind' property");
  return info;
}

EffectVersion DecodeEffectVersion(uint32_t packed) {
  EffectVersion version;
  version.major = static_cast<int>((packed >> 19 & 0x7) | (packed >> 26 & 0xF) << 3);
  version.minor = static_cast<int>(packed >> 15 & 0xF);
  version.fix = static_cast<int>(packed >> 11 & 0xF);
  version.stage = static_cast<int>(packed >> 9 & 0x3);
  version.build = static_cast<int>(packed & 0x1FF);
  return version;
}

std::string FormatEffectVersion(uint32_t packed) {
  static const char* const kStages[] = {"develop", "alpha", "beta", "release"};
  const EffectVersion version = DecodeEffectVersion(packed);
  return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
         std::to_string(version.fix) + " " + kStages[version.stage] + ", build " +
         std::to_string(version.build);
}

std::vector<std::string> OutFlagNames(uint32_t flags) {
  static const char* const kNames[32] = {"KEEP_RESOURCE_OPEN",
                                         "WIDE_TIME_INPUT",
                                         "NON_PARAM_VARY",
                                         nullptr,
                                         "SEQUENCE_DATA_NEEDS_FLATTENING",
                                         "I_DO_DIALOG",
                                         "USE_OUTPUT_EXTENT",
                                         "SEND_DO_DIALOG",
                                         "DISPLAY_ERROR_MESSAGE",
                                         "I_EXPAND_BUFFER",
                                         "PIX_INDEPENDENT",
                                         "I_WRITE_INPUT_BUFFER",
                                         "I_SHRINK_BUFFER",
                                         "WORKS_IN_PLACE",
                                         nullptr,
                                         "CUSTOM_UI",
                                         nullptr,
                                         "REFRESH_UI",
                                         "NOP_RENDER",
                                         "I_USE_SHUTTER_ANGLE",
                                         "I_USE_AUDIO",
                                         "I_AM_OBSOLETE",
                                         "FORCE_RERENDER",
                                         "PiPL_OVERRIDES_OUTDATA_OUTFLAGS",
                                         "I_HAVE_EXTERNAL_DEPENDENCIES",
                                         "DEEP_COLOR_AWARE",
                                         "SEND_UPDATE_PARAMS_UI",
                                         "AUDIO_FLOAT_ONLY",
                                         "AUDIO_IIR",
                                         "I_SYNTHESIZE_AUDIO",
                                         "AUDIO_EFFECT_TOO",
                                         "AUDIO_EFFECT_ONLY"};
  return FlagNames(flags, kNames);
}

std::vector<std::string> OutFlag2Names(uint32_t flags) {
  static const char* const kNames[32] = {"SUPPORTS_QUERY_DYNAMIC_FLAGS",
                                         "I_USE_3D_CAMERA",
                                         "I_USE_3D_LIGHTS",
                                         "PARAM_GROUP_START_COLLAPSED_FLAG",
                                         "I_AM_THREADSAFE",
                                         "CAN_COMBINE_WITH_DESTINATION",
                                         "DOESNT_NEED_EMPTY_PIXELS",
                                         "REVEALS_ZERO_ALPHA",
                                         "PRESERVES_FULLY_OPAQUE_PIXELS",
                                         nullptr,
                                         "SUPPORTS_SMART_RENDER",
                                         nullptr,
                                         "FLOAT_COLOR_AWARE",
                                         "I_USE_COLORSPACE_ENUMERATION",
                                         "I_AM_DEPRECATED",
                                         "PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER",
                                         nullptr,
                                         "AUTOMATIC_WIDE_TIME_INPUT",
                                         "I_USE_TIMECODE",
                                         "DEPENDS_ON_UNREFERENCED_MASKS",
                                         "OUTPUT_IS_WATERMARKED",
                                         "I_MIX_GUID_DEPENDENCIES",
                                         nullptr,
                                         "SUPPORTS_GET_FLATTENED_SEQUENCE_DATA",
                                         "CUSTOM_UI_ASYNC_MANAGER",
                                         "SUPPORTS_GPU_RENDER_F32",
                                         nullptr,
                                         "SUPPORTS_THREADED_RENDERING",
                                         "MUTABLE_RENDER_SEQUENCE_DATA_SLOWER",
                                         nullptr,
                                         nullptr,
                                         nullptr};
  return FlagNames(flags, kNames);
}

}  // namespace quorvel::headless
