// SPDX-License-Identifier: MIT
#include "headless/pixels/background.h"

namespace quorvel::headless {

PF_Pixel BackdropFor(const PF_Pixel& background, bool file_has_alpha) {
  const PF_Pixel premultiplied = Premultiply(background);
  if (file_has_alpha) return premultiplied;
  constexpr PF_Pixel kBlack{255, 0, 0, 0};
  return Over(premultiplied, kBlack);
}

}  // namespace quorvel::headless
