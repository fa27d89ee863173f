// SPDX-License-Identifier: MIT
#include "headless/pixels/composite.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "headless/pixels/fill.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

inline PF_Pixel Scaled(const PF_Pixel& pixel, unsigned factor) {
  return {MultiplyChannels(pixel.alpha, factor), MultiplyChannels(pixel.red, factor),
          MultiplyChannels(pixel.green, factor), MultiplyChannels(pixel.blue, factor)};
}

inline A_u_char SumClamped(unsigned x, unsigned y) {
  return static_cast<A_u_char>(std::min(x + y, 255u));
}

// Premultiplied sums stay within 255 for valid pixels; the clamp keeps invalid ones (colour
// above alpha) from wrapping.
inline PF_Pixel Sum(const PF_Pixel& a, const PF_Pixel& b) {
  return {SumClamped(a.alpha, b.alpha), SumClamped(a.red, b.red), SumClamped(a.green, b.green),
          SumClamped(a.blue, b.blue)};
}

template <PF_TransferMode kMode>
PF_Pixel Combine(const PF_Pixel& source, unsigned coverage, const PF_Pixel& dest) {
  if constexpr (kMode == PF_Xfer_COPY) {
    return Sum(Scaled(source, coverage), Scaled(dest, 255 - coverage));
  } else if constexpr (kMode == PF_Xfer_BEHIND) {
    return Sum(dest, Scaled(Scaled(source, coverage), 255u - dest.alpha));
  } else if constexpr (kMode == PF_Xfer_IN_FRONT) {
    const PF_Pixel covered = Scaled(source, coverage);
    return Sum(covered, Scaled(dest, 255u - covered.alpha));
  } else if constexpr (kMode == PF_Xfer_MULTIPLY_ALPHA) {
    return Scaled(dest, 255 - coverage + MultiplyChannels(source.alpha, coverage));
  } else {
    static_assert(kMode == PF_Xfer_MULTIPLY_NOT_ALPHA, "a supported transfer mode");
    return Scaled(dest, 255u - MultiplyChannels(source.alpha, coverage));
  }
}

bool IsZero(const PF_Pixel& pixel) {
  return (pixel.alpha | pixel.red | pixel.green | pixel.blue) == 0;
}

// coverage is null for a uniform coverage of opacity.
template <PF_TransferMode kMode>
void CombineRows(const Layer& layer, const A_u_char* coverage, A_u_char opacity,
                 bool straight_destination, PF_EffectWorld& dst) {
  const PF_Rect& bounds = layer.bounds;
  const PF_Pixel* source = layer.pixels.data();
  if constexpr (kMode == PF_Xfer_IN_FRONT) {
    if (coverage == nullptr && opacity == 255 && !straight_destination) {
      // Full coverage over premultiplied pixels: d = s + d·(1 − s.alpha). A transparent source
      // gives d back exactly, so the loop needs no test per pixel and vectorises.
      for (A_long y = bounds.top; y < bounds.bottom; ++y) {
        PF_Pixel* row = WorldRow(dst, y);
        for (A_long x = bounds.left; x < bounds.right; ++x, ++source) {
          row[x] = Sum(*source, Scaled(row[x], 255u - source->alpha));
        }
      }
      return;
    }
  }
  for (A_long y = bounds.top; y < bounds.bottom; ++y) {
    PF_Pixel* row = WorldRow(dst, y);
    for (A_long x = bounds.left; x < bounds.right; ++x, ++source) {
      const unsigned c = coverage != nullptr ? *coverage++ : opacity;
      // Without coverage every mode leaves the destination as it is, and so does a source
      // that is all zero in the modes that keep the destination under transparency.
      if (c == 0 || (TransparentSourceKeepsDestination(kMode) && IsZero(*source))) continue;
      if (straight_destination) {
        row[x] = Unpremultiply(Combine<kMode>(*source, c, Premultiply(row[x])));
      } else {
        row[x] = Combine<kMode>(*source, c, row[x]);
      }
    }
  }
}

// The source's coverage at every pixel of bounds: opacity times the mask's alpha.
void MaskCoverage(const PF_MaskWorld& mask, A_u_char opacity, const PF_Rect& bounds,
                  std::vector<A_u_char>& coverage) {
  const PF_EffectWorld& world = mask.mask;
  const bool inverted = (mask.what_is_mask & PF_MaskFlag_INVERTED) != 0;
  auto out = coverage.begin();
  for (A_long y = bounds.top; y < bounds.bottom; ++y) {
    const int64_t mask_y = static_cast<int64_t>(y) - mask.offset.v;
    const bool row_inside = mask_y >= 0 && mask_y < world.height;
    const PF_Pixel* row = row_inside ? WorldRow(world, static_cast<A_long>(mask_y)) : nullptr;
    for (A_long x = bounds.left; x < bounds.right; ++x) {
      const int64_t mask_x = static_cast<int64_t>(x) - mask.offset.h;
      const unsigned alpha =
          row != nullptr && mask_x >= 0 && mask_x < world.width ? row[mask_x].alpha : 0u;
      *out++ = MultiplyChannels(opacity, inverted ? 255 - alpha : alpha);
    }
  }
}

}  // namespace

PF_Pixel Premultiply(const PF_Pixel& straight) {
  return {straight.alpha, MultiplyChannels(straight.red, straight.alpha),
          MultiplyChannels(straight.green, straight.alpha),
          MultiplyChannels(straight.blue, straight.alpha)};
}

PF_Pixel Unpremultiply(const PF_Pixel& premultiplied) {
  const unsigned alpha = premultiplied.alpha;
  if (alpha == 0) return PF_Pixel{0, 0, 0, 0};
  const auto channel = [alpha](unsigned value) {
    return static_cast<A_u_char>(std::min((value * 255 + alpha / 2) / alpha, 255u));
  };
  return {premultiplied.alpha, channel(premultiplied.red), channel(premultiplied.green),
          channel(premultiplied.blue)};
}

bool HasStraightDestination(PF_ModeFlags mode_flags, const PF_EffectWorld& dst) {
  return mode_flags == PF_MF_Alpha_STRAIGHT && IsPluginWorld(dst);
}

bool IsSupportedTransferMode(PF_TransferMode mode) {
  return mode == PF_Xfer_COPY || mode == PF_Xfer_BEHIND || mode == PF_Xfer_IN_FRONT ||
         mode == PF_Xfer_MULTIPLY_ALPHA || mode == PF_Xfer_MULTIPLY_NOT_ALPHA;
}

PF_Err CheckMask(const PF_MaskWorld* mask) {
  if (mask == nullptr) return PF_Err_NONE;
  if (!IsUsableWorld(&mask->mask)) return PF_Err_BAD_CALLBACK_PARAM;
  if ((mask->what_is_mask & ~PF_MaskFlag_INVERTED) != 0) return PF_Err_BAD_CALLBACK_PARAM;
  return PF_Err_NONE;
}

PF_Err CheckComposite(PF_ModeFlags mode_flags, const PF_CompositeMode* mode,
                      const PF_MaskWorld* mask) {
  if (mode_flags != PF_MF_Alpha_PREMUL && mode_flags != PF_MF_Alpha_STRAIGHT) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (mode == nullptr || !IsSupportedTransferMode(mode->xfer) || mode->rgb_only != 0) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return CheckMask(mask);
}

PF_Err CompositeLayer(const Layer& layer, PF_TransferMode mode, A_u_char opacity,
                      const PF_MaskWorld* mask, bool straight_destination, PF_EffectWorld& dst) {
  const PF_Rect& bounds = layer.bounds;
  if (IsEmptyRect(bounds)) return PF_Err_NONE;
  const size_t width = static_cast<size_t>(bounds.right - bounds.left);
  const size_t height = static_cast<size_t>(bounds.bottom - bounds.top);

  std::vector<A_u_char> coverage;
  if (mask != nullptr) {
    try {
      coverage.resize(width * height);
    } catch (const std::bad_alloc&) {
      return PF_Err_OUT_OF_MEMORY;
    }
    MaskCoverage(*mask, opacity, bounds, coverage);
  }

  const A_u_char* covered = mask != nullptr ? coverage.data() : nullptr;
  switch (mode) {
    case PF_Xfer_COPY:
      CombineRows<PF_Xfer_COPY>(layer, covered, opacity, straight_destination, dst);
      break;
    case PF_Xfer_BEHIND:
      CombineRows<PF_Xfer_BEHIND>(layer, covered, opacity, straight_destination, dst);
      break;
    case PF_Xfer_IN_FRONT:
      CombineRows<PF_Xfer_IN_FRONT>(layer, covered, opacity, straight_destination, dst);
      break;
    case PF_Xfer_MULTIPLY_ALPHA:
      CombineRows<PF_Xfer_MULTIPLY_ALPHA>(layer, covered, opacity, straight_destination, dst);
      break;
    case PF_Xfer_MULTIPLY_NOT_ALPHA:
      CombineRows<PF_Xfer_MULTIPLY_NOT_ALPHA>(layer, covered, opacity, straight_destination, dst);
      break;
    default:
      return PF_Err_BAD_CALLBACK_PARAM;
  }
  return PF_Err_NONE;
}

}  // namespace quorvel::headless
