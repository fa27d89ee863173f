// SPDX-License-Identifier: MIT
// "Did you mean" hints: how far names are apart and which one is near enough to suggest.
#include "compose/document/nearest_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::compose {
namespace {

using Names = std::vector<std::string>;

const Names kCompositionKeys = {"width",      "height",      "fps",           "duration",
                                "background", "motion_blur", "shutter_angle", "shutter_phase"};

TEST(EditDistance, CountsASwapOfNeighboursAsOneEdit) {
  EXPECT_EQ(EditDistance("widht", "width"), 1u);
}

TEST(EditDistance, CountsInsertionsDeletionsAndSubstitutions) {
  EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
  EXPECT_EQ(EditDistance("", "fps"), 3u);
  EXPECT_EQ(EditDistance("fps", ""), 3u);
}

TEST(EditDistance, IgnoresLetterCase) {
  EXPECT_EQ(EditDistance("fill color", "Fill Color"), 0u);
}

TEST(NearestNames, SuggestsTheNameOneTypoAway) {
  EXPECT_EQ(NearestNames("widht", kCompositionKeys), Names{"width"});
  EXPECT_EQ(NearestNames("shutter_angel", kCompositionKeys), Names{"shutter_angle"});
}

TEST(NearestNames, SuggestsNothingWhenNoNameIsNear) {
  EXPECT_EQ(NearestNames("colour_space", kCompositionKeys), Names{});
  EXPECT_EQ(NearestNames("size", kCompositionKeys), Names{});
}

TEST(NearestNames, DoesNotSuggestAShortNameReplacedWhole) {
  EXPECT_EQ(NearestNames("x", {"t", "v"}), Names{});
}

TEST(NearestNames, PrefersTheNearerOfTwoNames) {
  EXPECT_EQ(NearestNames("Scale Heigth", {"Scale Width", "Scale Height"}), Names{"Scale Height"});
}

TEST(NearestNames, GivesEquallyNearNamesInTheirOrder) {
  EXPECT_EQ(NearestNames("--frams", {"--frame", "--frames", "--jobs"}),
            (Names{"--frame", "--frames"}));
}

TEST(SuggestionOr, FallsBackToTheTextGiven) {
  EXPECT_EQ(SuggestionOr("widht", kCompositionKeys, "; the keys are ..."),
            "; did you mean \"width\"?");
  EXPECT_EQ(SuggestionOr("zzz", kCompositionKeys, "; the keys are ..."), "; the keys are ...");
  EXPECT_EQ(SuggestionOr("Skew Z", {"Skew X", "Skew Y"}, ""),
            "; did you mean \"Skew X\" or \"Skew Y\"?");
}

}  // namespace
}  // namespace quorvel::compose
