// SPDX-License-Identifier: MIT
#include "host/about.h"

#include <cstddef>
#include <string>

#include "host/plugin_identity.h"
#include "host/suite_cache.h"

namespace quorvel {
namespace {

constexpr char kAboutFormat[] = "%s, v%d.%d\r%s";
// The effect's description, then the maker and where to find it, each line ended by a line feed.
constexpr char kAboutDescription[] =
    "Creates a shape behind text that updates automatically with the source text. \n"
    "Ostrevane\n"
    "https://ostrevane.example/quorvel\n";

constexpr std::size_t DecimalDigits(int value) {
  std::size_t digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

// "Quorvel" ", v" major "." minor "\r" description, and the terminating NUL.
constexpr std::size_t kAboutMessageSize =
    std::char_traits<char>::length(kEffectName) + 3 + DecimalDigits(kVersionMajor) + 1 +
    DecimalDigits(kVersionMinor) + 1 + std::char_traits<char>::length(kAboutDescription) + 1;
static_assert(kAboutMessageSize <= sizeof(PF_OutData::return_msg),
              "the about text must fit the host's message buffer");

}  // namespace

PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
  if (in_data->appl_id == kPremiereApplicationId) {
    return PF_Err_NONE;
  }
  SuiteCache suites(in_data->pica_basicP);
  suites.ANSISuite()->sprintf(out_data->return_msg, kAboutFormat, kEffectName, kVersionMajor,
                              kVersionMinor, kAboutDescription);
  return PF_Err_NONE;
}

}  // namespace quorvel
