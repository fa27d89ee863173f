// SPDX-License-Identifier: MIT
// The effect's display strings, numbered; parameter names, popup choices and check box labels
// are taken from here. The texts live in static storage, so the host may keep pointers to
// them (popup choices, check box labels) for the life of the library.
#pragma once

#include <array>
#include <cstdint>

namespace quorvel {

enum StringId : int32_t {
  kStringNone = 0,  // the terminating entry; its text is empty
  kStringName = 1,
  kStringDescription,
  kStringShape,
  kStringShapeChoices,
  kStringRoundness,
  kStringExpansionUniform,
  kStringExpansionWidth,
  kStringExpansionHeight,
  kStringFillColor,
  kStringFillOpacity,
  kStringTransformGroup,
  kStringPosition,
  kStringRotation,
  kStringUniformScale,
  kStringUniformScaleLabel,
  kStringScaleWidth,
  kStringScaleHeight,
  kStringSkewX,
  kStringSkewY,
  kStringAnchorPointX,
  kStringAnchorXChoices,
  kStringAnchorPointY,
  kStringAnchorYChoices,
  kStringMatteTextToFill,
  kStringMatteTextToFillLabel,
  kStringSubtractTextFromFill,
  kStringSubtractTextFromFillLabel,
  kStringBorderGroup,
  kStringEnableBorder,
  kStringEnableBorderLabel,
  kStringBorderWidth,
  kStringBorderColor,
  kStringBorderOpacity,
};

struct StringTableEntry {
  int32_t id;
  char text[256];  // NUL-terminated, at most 255 characters
};

struct StringTable {
  static constexpr int kEntryCount = 33;

  // The 33 entries in id order, then the terminating entry (id 0, empty text).
  static constexpr std::array<StringTableEntry, kEntryCount + 1> kEntries{{
      {kStringName, "Quorvel"},
      {kStringDescription, "Easy Quorvel."},
      {kStringShape, "Shape"},
      {kStringShapeChoices, "Auto|Square|Circle"},
      {kStringRoundness, "Roundness"},
      {kStringExpansionUniform, "Expansion Uniform"},
      {kStringExpansionWidth, "Expansion Width"},
      {kStringExpansionHeight, "Expansion Height"},
      {kStringFillColor, "Fill Color"},
      {kStringFillOpacity, "Fill Opacity"},
      {kStringTransformGroup, "Transformation Offsets"},
      {kStringPosition, "Position"},
      {kStringRotation, "Rotation"},
      {kStringUniformScale, "Uniform Scale"},
      {kStringUniformScaleLabel, ""},
      {kStringScaleWidth, "Scale Width"},
      {kStringScaleHeight, "Scale Height"},
      {kStringSkewX, "Skew X"},
      {kStringSkewY, "Skew Y"},
      {kStringAnchorPointX, "Anchor Point X"},
      {kStringAnchorXChoices, "Left|Center|Right"},
      {kStringAnchorPointY, "Anchor Point Y"},
      {kStringAnchorYChoices, "Top|Center|Bottom"},
      {kStringMatteTextToFill, "Matte Text to Fill"},
      {kStringMatteTextToFillLabel, ""},
      {kStringSubtractTextFromFill, "Subtract Text from Fill"},
      {kStringSubtractTextFromFillLabel, ""},
      {kStringBorderGroup, "Border Parameters"},
      {kStringEnableBorder, "Enable Border"},
      {kStringEnableBorderLabel, ""},
      {kStringBorderWidth, "Border Width"},
      {kStringBorderColor, "Border Color"},
      {kStringBorderOpacity, "Border Opacity"},
      {kStringNone, ""},
  }};

  // The text of an id; ids are their own positions (1-based), so this is a lookup, not a
  // search. An unknown id reads as the empty text of the terminating entry.
  static constexpr const char* Text(int32_t id) {
    return id >= 1 && id <= kEntryCount ? kEntries[static_cast<std::size_t>(id - 1)].text
                                        : kEntries.back().text;
  }
};

}  // namespace quorvel
