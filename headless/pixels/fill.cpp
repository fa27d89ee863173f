// SPDX-License-Identifier: MIT
#include "headless/pixels/fill.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "headless/instance/call_accounting.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {

PF_Rect ClipRect(const PF_Rect& rect, A_long width, A_long height) {
  PF_Rect clipped{std::max<A_long>(rect.left, 0), std::max<A_long>(rect.top, 0),
                  std::min(rect.right, width), std::min(rect.bottom, height)};
  if (IsEmptyRect(clipped)) clipped = PF_Rect{0, 0, 0, 0};
  return clipped;
}

PF_Err Fill(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* rect, PF_EffectWorld* world) {
  RecordCall([&] {
    return std::string("fill") + (color == nullptr ? " transparent" : " colour") +
           (rect == nullptr ? " whole" : " rect");
  });
  if (!IsUsableWorld(world)) return PF_Err_BAD_CALLBACK_PARAM;

  const PF_Pixel fill_color = color != nullptr ? *color : PF_Pixel{0, 0, 0, 0};
  const PF_Rect area =
      ClipRect(rect != nullptr ? *rect : PF_Rect{0, 0, world->width, world->height}, world->width,
               world->height);
  // A colour whose four bytes are equal (transparent black above all) is a plain byte fill.
  const bool bytewise = fill_color.alpha == fill_color.red && fill_color.red == fill_color.green &&
                        fill_color.green == fill_color.blue;
  for (A_long y = area.top; y < area.bottom; ++y) {
    PF_Pixel* row = WorldRow(*world, y);
    if (bytewise) {
      std::memset(row + area.left, fill_color.alpha,
                  static_cast<size_t>(area.right - area.left) * sizeof(PF_Pixel));
    } else {
      std::fill(row + area.left, row + area.right, fill_color);
    }
  }
  return PF_Err_NONE;
}

}  // namespace quorvel::headless
