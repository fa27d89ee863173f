// SPDX-License-Identifier: MIT
#include "params/string_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "params/param_index.h"

namespace quorvel {
namespace {

const std::vector<std::string>& DocumentedTexts() {
  static const std::vector<std::string> texts = {
      "Quorvel",
      "Easy Quorvel.",
      "Shape",
      "Auto|Square|Circle",
      "Roundness",
      "Expansion Uniform",
      "Expansion Width",
      "Expansion Height",
      "Fill Color",
      "Fill Opacity",
      "Transformation Offsets",
      "Position",
      "Rotation",
      "Uniform Scale",
      "",
      "Scale Width",
      "Scale Height",
      "Skew X",
      "Skew Y",
      "Anchor Point X",
      "Left|Center|Right",
      "Anchor Point Y",
      "Top|Center|Bottom",
      "Matte Text to Fill",
      "",
      "Subtract Text from Fill",
      "",
      "Border Parameters",
      "Enable Border",
      "",
      "Border Width",
      "Border Color",
      "Border Opacity",
  };
  return texts;
}

TEST(StringTable, HoldsTheThirtyThreeTextsInIdOrderThenAnEmptyTerminator) {
  const auto& entries = StringTable::kEntries;
  ASSERT_EQ(entries.size(), 34u);
  for (std::size_t index = 0; index < DocumentedTexts().size(); ++index) {
    EXPECT_EQ(entries[index].id, static_cast<int32_t>(index + 1));
    EXPECT_EQ(std::string(entries[index].text), DocumentedTexts()[index]) << "id " << index + 1;
  }
  EXPECT_EQ(entries[33].id, 0);
  EXPECT_STREQ(entries[33].text, "");
}

TEST(StringTable, TextFieldsHold256Bytes) {
  EXPECT_EQ(sizeof(StringTableEntry::text), 256u);
}

TEST(StringTable, LooksTextsUpById) {
  for (int32_t id = 1; id <= 33; ++id) {
    EXPECT_EQ(std::string(StringTable::Text(id)),
              DocumentedTexts()[static_cast<std::size_t>(id - 1)]);
  }
}

TEST(StringTable, UnknownIdsReadAsEmptyText) {
  EXPECT_STREQ(StringTable::Text(0), "");
  EXPECT_STREQ(StringTable::Text(34), "");
  EXPECT_STREQ(StringTable::Text(-1), "");
}

TEST(ParamIndexValues, FollowTheHostsParamsArray) {
  EXPECT_EQ(ParamIndex::InputLayer, 0);
  EXPECT_EQ(ParamIndex::Shape, 1);
  EXPECT_EQ(ParamIndex::FillOpacity, 7);
  EXPECT_EQ(ParamIndex::TransformGroupStart, 8);
  EXPECT_EQ(ParamIndex::Position, 9);
  EXPECT_EQ(ParamIndex::SkewY, 15);
  EXPECT_EQ(ParamIndex::AnchorPointY, 17);
  EXPECT_EQ(ParamIndex::TransformGroupEnd, 18);
  EXPECT_EQ(ParamIndex::SubtractTextFromFill, 20);
  EXPECT_EQ(ParamIndex::BorderGroupStart, 21);
  EXPECT_EQ(ParamIndex::BorderOpacity, 25);
  EXPECT_EQ(ParamIndex::BorderGroupEnd, 26);
  EXPECT_EQ(ParamIndex::Count, 27);
}

TEST(PopupValues, CountFromOne) {
  EXPECT_EQ(ShapeKind::Auto, 1);
  EXPECT_EQ(ShapeKind::Square, 2);
  EXPECT_EQ(ShapeKind::Circle, 3);
  EXPECT_EQ(AnchorX::Left, 1);
  EXPECT_EQ(AnchorX::Center, 2);
  EXPECT_EQ(AnchorX::Right, 3);
  EXPECT_EQ(AnchorY::Top, 1);
  EXPECT_EQ(AnchorY::Center, 2);
  EXPECT_EQ(AnchorY::Bottom, 3);
}

}  // namespace
}  // namespace quorvel
