// SPDX-License-Identifier: MIT
#include "headless/loading/pipl_reader.h"

#include <gtest/gtest.h>

#include "tests/headless/loading/pipl_bytes.h"
#include "tests/headless/text_matchers.h"

namespace quorvel::headless {
namespace {

using test::HasSubstr;
using test::PiplBytes;
using Names = std::vector<std::string>;

std::string ParseError(const std::vector<uint8_t>& bytes) {
  try {
    ParsePipl(bytes);
  } catch (const PiplError& error) {
    return error.what();
  }
  return "parsed without error";
}

TEST(PiplReader, ReadsEveryFieldOfAnEffectPipl) {
  const PiplInfo info = ParsePipl(PiplBytes::Effect("FixtureEntryPoint").Bytes());
  EXPECT_EQ(info.kind, 0x65464B54u);  // 'eFKT'
  EXPECT_EQ(info.name, "Fixture");
  EXPECT_EQ(info.category, "Tests");
  EXPECT_EQ(info.entry_point, "FixtureEntryPoint");
  EXPECT_EQ(info.pipl_version.major, 2);
  EXPECT_EQ(info.pipl_version.minor, 0);
  EXPECT_EQ(info.spec_version.major, 13);
  EXPECT_EQ(info.spec_version.minor, 2);
  EXPECT_EQ(info.effect_version, 0x00090001u);
  EXPECT_EQ(info.info_flags, 5);
  EXPECT_EQ(info.global_out_flags, 0x00080044u);
  EXPECT_EQ(info.global_out_flags2, 0u);
  EXPECT_EQ(info.match_name, "QFIX");
  EXPECT_EQ(info.reserved_info, 8u);
  EXPECT_EQ(info.properties.size(), 12u);
}

TEST(PiplReader, FindsPropertiesAtTheirPaddedOffsets) {
  // 16 header bytes, then data rounded up to 4; the info flags take 2 bytes but 4 places.
  const PiplInfo info = ParsePipl(PiplBytes::Effect("EntryPointFunc").Bytes());
  ASSERT_EQ(info.properties.size(), 12u);
  EXPECT_EQ(info.properties[0].offset, 10u + 16);
  EXPECT_EQ(info.properties[1].offset, 30u + 16);
  EXPECT_EQ(info.properties[7].key, FourCharCode("eINF"));
  EXPECT_EQ(info.properties[7].length, 2);
  EXPECT_EQ(info.properties[8].offset, info.properties[7].offset + 4 + 16);
}

TEST(PiplReader, SkipsPropertiesItDoesNotKnow) {
  PiplBytes pipl = PiplBytes::Effect("Entry");
  pipl.Pascal("mi64", "MacEntry");
  const PiplInfo info = ParsePipl(pipl.Bytes());
  EXPECT_EQ(info.entry_point, "Entry");
  EXPECT_EQ(info.properties.size(), 13u);
}

TEST(PiplReader, RefusesBytesShorterThanTheHeader) {
  EXPECT_TRUE(HasSubstr(ParseError({1, 0, 0, 0}), "truncated"));
}

TEST(PiplReader, RefusesAListThatDoesNotStartWithOne) {
  std::vector<uint8_t> bytes = PiplBytes::Effect("Entry").Bytes();
  bytes[0] = 2;
  EXPECT_TRUE(HasSubstr(ParseError(bytes), "16-bit value 1"));
}

TEST(PiplReader, RefusesATruncatedList) {
  std::vector<uint8_t> bytes = PiplBytes::Effect("Entry").Bytes();
  bytes.resize(bytes.size() - 6);
  EXPECT_TRUE(HasSubstr(ParseError(bytes), "runs past the end"));
}

TEST(PiplReader, RefusesACountLargerThanThePropertiesPresent) {
  EXPECT_TRUE(HasSubstr(ParseError(PiplBytes::Effect("Entry").Bytes(13)),
                        "property 13 of 13 at byte 266 runs past the end"));
}

TEST(PiplReader, RefusesBytesAfterTheLastCountedProperty) {
  EXPECT_TRUE(HasSubstr(ParseError(PiplBytes::Effect("Entry").Bytes(11)),
                        "20 bytes follow the last of the 11 properties"));
}

TEST(PiplReader, RefusesAPropertyLengthRunningPastTheEnd) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Raw("name", {3, 'a', 'b', 'c'}, 400);
  EXPECT_TRUE(HasSubstr(ParseError(pipl.Bytes()), "'name' at byte 30 has length 400"));
}

TEST(PiplReader, RefusesAVendorOtherThan8BIM) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Raw("name", {1, 'a', 0, 0}, 4, "ADBE");
  EXPECT_TRUE(HasSubstr(ParseError(pipl.Bytes()), "vendor 'ADBE'"));
}

TEST(PiplReader, RefusesAPascalStringLongerThanItsProperty) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Raw("name", {9, 'a', 'b', 'c'}, 4);
  EXPECT_TRUE(HasSubstr(ParseError(pipl.Bytes()), "runs past its length"));
}

TEST(PiplReader, RefusesAnEntryPointWithoutItsTerminatingNul) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Raw("8664", {'M', 'a', 'i', 'n'}, 4);
  EXPECT_TRUE(HasSubstr(ParseError(pipl.Bytes()), "not terminated"));
}

TEST(PiplReader, RefusesANumberPropertyOfTheWrongSize) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Raw("eVER", {1, 0}, 2);
  EXPECT_TRUE(HasSubstr(ParseError(pipl.Bytes()), "'eVER' at byte 30 has length 2, expected 4"));
}

TEST(PiplReader, RefusesAPropertyGivenTwice) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Pascal("name", "A").Pascal("name", "B");
  EXPECT_TRUE(HasSubstr(ParseError(pipl.Bytes()), "appears twice"));
}

TEST(PiplReader, RefusesAListWithoutAKind) {
  PiplBytes pipl;
  pipl.Pascal("name", "A");
  EXPECT_TRUE(HasSubstr(ParseError(pipl.Bytes()), "no 'kind'"));
}

TEST(EffectVersion, UnpacksTheVersionFields) {
  // 0x00090001 is version 1.2.0, stage develop, build 1.
  const EffectVersion version = DecodeEffectVersion(0x00090001);
  EXPECT_EQ(version.major, 1);
  EXPECT_EQ(version.minor, 2);
  EXPECT_EQ(version.fix, 0);
  EXPECT_EQ(version.stage, 0);
  EXPECT_EQ(version.build, 1);
  EXPECT_EQ(FormatEffectVersion(0x00090001), "1.2.0 develop, build 1");
}

TEST(EffectVersion, ReadsMajorVersionsAboveSevenFromTheHighBits) {
  // Major 9 = low bits 1 (bit 19) and high bits 1 (bit 26); fix 3, stage release, build 7.
  const EffectVersion version = DecodeEffectVersion(1u << 26 | 1u << 19 | 3u << 11 | 3u << 9 | 7);
  EXPECT_EQ(version.major, 9);
  EXPECT_EQ(version.fix, 3);
  EXPECT_EQ(version.stage, 3);
  EXPECT_EQ(version.build, 7);
}

TEST(OutFlagNames, NamesTheGlobalOutFlagsOfAnEffect) {
  EXPECT_EQ(OutFlagNames(0x00080044),
            (Names{"NON_PARAM_VARY", "USE_OUTPUT_EXTENT", "I_USE_SHUTTER_ANGLE"}));
}

TEST(OutFlagNames, ShowsUnnamedBitsInHexadecimal) {
  EXPECT_EQ(OutFlagNames(0x8), Names{"0x8"});
  EXPECT_EQ(OutFlag2Names(0x400), Names{"SUPPORTS_SMART_RENDER"});
}

}  // namespace
}  // namespace quorvel::headless
