// SPDX-License-Identifier: MIT
#include "host/pipl.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/expected_pipl.h"

namespace quorvel {
namespace {

using test_support::ExpectedProperty;
using test_support::Reversed;

uint32_t ReadLittleEndian32(const Pipl& pipl, std::size_t offset) {
  return static_cast<uint32_t>(pipl[offset]) | static_cast<uint32_t>(pipl[offset + 1]) << 8 |
         static_cast<uint32_t>(pipl[offset + 2]) << 16 |
         static_cast<uint32_t>(pipl[offset + 3]) << 24;
}

std::string ReadText(const Pipl& pipl, std::size_t offset, std::size_t length) {
  return std::string(reinterpret_cast<const char*>(pipl.data() + offset), length);
}

TEST(PiplResource, Is278BytesLong) {
  EXPECT_EQ(PiplResource().size(), 278u);
  EXPECT_EQ(kPiplSize, 278u);
}

TEST(PiplResource, IsResource16000InLanguage1033) {
  EXPECT_EQ(kPiplResourceId, 16000);
  EXPECT_EQ(kPiplResourceLanguage, 1033);
}

TEST(PiplResource, StartsWithFormatOneListVersionZeroAndTwelveProperties) {
  const Pipl& pipl = PiplResource();
  EXPECT_EQ(pipl[0], 1);
  EXPECT_EQ(pipl[1], 0);
  EXPECT_EQ(ReadLittleEndian32(pipl, 2), 0u);
  EXPECT_EQ(ReadLittleEndian32(pipl, 6), 12u);
}

TEST(PiplResource, StoresFourCharacterCodesReversed) {
  const Pipl& pipl = PiplResource();
  EXPECT_EQ(ReadText(pipl, 10, 4), "MIB8");
  EXPECT_EQ(ReadText(pipl, 14, 4), "dnik");
  EXPECT_EQ(ReadLittleEndian32(pipl, 10), 0x3842494Du);  // '8BIM'
  EXPECT_EQ(ReadLittleEndian32(pipl, 26), 0x65464B54u);  // 'eFKT'
}

TEST(PiplResource, EqualsTheResourceAssembledFromTheLayoutTable) {
  const Pipl& pipl = PiplResource();
  const std::vector<uint8_t> expected = test_support::ExpectedPiplBytes();
  ASSERT_EQ(expected.size(), test_support::kExpectedPiplSize);
  EXPECT_EQ(std::vector<uint8_t>(pipl.begin(), pipl.end()), expected);
}

class PiplProperty : public ::testing::TestWithParam<ExpectedProperty> {};

TEST_P(PiplProperty, HasVendorKeyIdLengthAndDataAtItsOffset) {
  const Pipl& pipl = PiplResource();
  const ExpectedProperty& property = GetParam();
  ASSERT_LE(property.offset + 16 + property.data.size(), pipl.size());
  EXPECT_EQ(ReadText(pipl, property.offset, 4), "MIB8");
  EXPECT_EQ(ReadText(pipl, property.offset + 4, 4), Reversed(property.key));
  EXPECT_EQ(ReadLittleEndian32(pipl, property.offset + 8), 0u);
  EXPECT_EQ(ReadLittleEndian32(pipl, property.offset + 12), property.length);
  const std::vector<uint8_t> data(
      pipl.begin() + static_cast<std::ptrdiff_t>(property.offset + 16),
      pipl.begin() + static_cast<std::ptrdiff_t>(property.offset + 16 + property.data.size()));
  EXPECT_EQ(data, property.data);
}

INSTANTIATE_TEST_SUITE_P(PiplResource, PiplProperty,
                         ::testing::ValuesIn(test_support::ExpectedProperties()),
                         [](const ::testing::TestParamInfo<ExpectedProperty>& param_info) {
                           return "Key_" + param_info.param.key;
                         });

}  // namespace
}  // namespace quorvel
