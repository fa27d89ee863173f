// SPDX-License-Identifier: MIT
#include "media/image/background.h"

namespace quorvel::media {

using headless::Over;
using headless::Premultiply;

PF_Pixel BackdropFor(const PF_Pixel& background, bool file_has_alpha) {
  const PF_Pixel premultiplied = Premultiply(background);
  if (file_has_alpha) return premultiplied;
  constexpr PF_Pixel kBlack{255, 0, 0, 0};
  return Over(premultiplied, kBlack);
}

}  // namespace quorvel::media
