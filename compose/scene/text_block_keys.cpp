// SPDX-License-Identifier: MIT
#include "compose/scene/text_block_keys.h"

namespace quorvel::compose {
namespace {

// As wide as the widest coordinate a scene may give.
constexpr double kMaxTextWidth = 100000;

}  // namespace

void ReadTextBlockKeys(const ObjectReader& reader, headless::TextLayer& layer) {
  if (auto markup = reader.Find("markup")) layer.markup = ReadBool(*markup);
  if (auto width = reader.Find("width")) layer.width = ReadNumber(*width, 0, kMaxTextWidth);
  if (auto balanced = reader.Find("balanced")) layer.balanced = ReadBool(*balanced);
}

}  // namespace quorvel::compose
