// SPDX-License-Identifier: MIT
#include "media/ycbcr/patch_blend.h"

// FFmpeg's frames are what is blended into: a build without its libraries has none.
#if QUORVEL_HAVE_FFMPEG

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include "headless/pixels/world.h"

namespace quorvel::media {
namespace {

// A pixel's coverage is its alpha × the opacity, in units of 1 / kWhole; it is taken to kShift
// fraction bits, as are the weights: every rounding but the last stays below a hundredth of a
// code value, and a pixel's sum stays within 32 bits (a chroma block's, at 12 bits, in 64).
constexpr int64_t kWhole = int64_t{255} * 255;
constexpr int kShift = 16;
constexpr int32_t kOne = 1 << kShift;

// Coverage in units of 1 / kOne, of a pixel (up to kOne) or of a block (up to its pixels × kOne).
int64_t FixedCoverage(int64_t alpha, int64_t opacity) {
  return (alpha * opacity * kOne + kWhole / 2) / kWhole;
}

struct Layout {
  int depth;           // bits a sample, 8 to 12
  int chroma_shift_x;  // log2 of the luma columns and rows a chroma sample spans
  int chroma_shift_y;
};

bool LayoutOf(int pixel_format, Layout& layout, std::string& why) {
  const AVPixFmtDescriptor* descriptor =
      av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pixel_format));
  if (descriptor == nullptr) {
    why = "frames in an unknown pixel format";
    return false;
  }
  const std::string refusal =
      std::string("frames in ") + descriptor->name +
      " are not planar Y'CbCr of 8 to 12 bits, without alpha, with chroma whole or halved";
  constexpr uint64_t kOtherKinds = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                                   AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM |
                                   AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_ALPHA |
                                   AV_PIX_FMT_FLAG_BE;  // samples are read in this machine's order
  if ((descriptor->flags & kOtherKinds) != 0 || (descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) == 0 ||
      descriptor->nb_components != 3 || descriptor->log2_chroma_w > 1 ||
      descriptor->log2_chroma_h > 1) {
    why = refusal;
    return false;
  }
  const int depth = descriptor->comp[0].depth;
  const int step = depth > 8 ? 2 : 1;
  for (int c = 0; c < 3; ++c) {
    const AVComponentDescriptor& component = descriptor->comp[c];
    if (component.plane != c || component.depth != depth || component.step != step ||
        component.offset != 0 || component.shift != 0 || depth < 8 || depth > 12) {
      why = refusal;
      return false;
    }
  }
  layout = {depth, descriptor->log2_chroma_w, descriptor->log2_chroma_h};
  return true;
}

// Kr and Kb, the weights of red and blue in luma.
bool LumaWeightsOf(ColourMatrix matrix, double& kr, double& kb) {
  switch (matrix) {
    case ColourMatrix::kBt601:
      kr = 0.299;
      kb = 0.114;
      return true;
    case ColourMatrix::kBt709:
      kr = 0.2126;
      kb = 0.0722;
      return true;
    case ColourMatrix::kBt2020:
      kr = 0.2627;
      kb = 0.0593;
      return true;
    case ColourMatrix::kSmpte240m:
      kr = 0.212;
      kb = 0.087;
      return true;
    case ColourMatrix::kFcc:
      kr = 0.30;
      kb = 0.11;
      return true;
    case ColourMatrix::kNone:
      break;
  }
  return false;
}

// One plane's arithmetic. Over a block of n = 2^log2_n pixels whose coverages sum to c (in units
// of 1 / kOne) and whose premultiplied colours sum to (r, g, b), a sample F becomes
//   (F · (n − c) + c · zero + gains · (r, g, b) · opacity / 255) / n,
// the mean of the pixels' (1 − a) · F + a · (zero + gains · straight colour).
struct Channel {
  int32_t zero = 0;  // code value of zero colour
  int32_t red = 0;   // code values a unit of premultiplied colour adds at the opacity, × kOne
  int32_t green = 0;
  int32_t blue = 0;
  int32_t most = 255;

  Channel(int zero_value, double gain, double weight_red, double weight_green, double weight_blue,
          int opacity, int depth)
      : zero(zero_value), most((1 << depth) - 1) {
    const double scale = gain * opacity / 255.0 * kOne;
    red = static_cast<int32_t>(std::lround(weight_red * scale));
    green = static_cast<int32_t>(std::lround(weight_green * scale));
    blue = static_cast<int32_t>(std::lround(weight_blue * scale));
  }

  // `Sum` is int32_t for one pixel, int64_t for a block (whose sums may pass 2^31 at 12 bits).
  template <typename Sum>
  Sum Blend(Sum frame, Sum coverage, int log2_n, Sum r, Sum g, Sum b) const {
    const int shift = kShift + log2_n;
    const Sum sum = frame * ((Sum{1} << shift) - coverage) + coverage * zero + red * r + green * g +
                    blue * b + (Sum{1} << (shift - 1));
    // Rounding may take a value a hair below zero; nothing else leaves the code range but
    // full-range chroma of pure blue or red (255.5 at 8 bits).
    if (sum <= 0) return 0;
    return std::min<Sum>(sum >> shift, most);
  }
};

// The part of the frame the patch covers, in luma samples: [left, right) × [top, bottom).
struct Span {
  A_long left, top, right, bottom;
};

template <typename Sample>
Sample* RowOf(const AVFrame& frame, int plane, A_long y) {
  return reinterpret_cast<Sample*>(frame.data[plane] +
                                   static_cast<std::ptrdiff_t>(y) * frame.linesize[plane]);
}

template <typename Sample>
void BlendLuma(const AVFrame& frame, const PF_EffectWorld& patch, const PatchPlacement& placement,
               const Span& span, const Channel& luma) {
  int32_t coverage[256];
  for (int alpha = 0; alpha < 256; ++alpha) {
    coverage[alpha] = static_cast<int32_t>(FixedCoverage(alpha, placement.opacity));
  }
  for (A_long y = span.top; y < span.bottom; ++y) {
    Sample* row = RowOf<Sample>(frame, 0, y);
    const PF_Pixel* source = headless::WorldRow(patch, y - placement.y) + (span.left - placement.x);
    for (A_long x = span.left; x < span.right; ++x) {
      const PF_Pixel& pixel = source[x - span.left];
      if (pixel.alpha == 0) continue;
      // Wholly covered, the frame's value has no weight: it is replaced. (Telling that case
      // apart costs more, on captions' antialiased edges, than the multiplication it saves.)
      row[x] = static_cast<Sample>(luma.Blend<int32_t>(row[x], coverage[pixel.alpha], 0, pixel.red,
                                                       pixel.green, pixel.blue));
    }
  }
}

// Chroma row by row: the patch's pixels summed into the chroma columns they fall in, then each
// chroma sample that any of them covers blended with its block's sums.
template <typename Sample>
void BlendChroma(const AVFrame& frame, const PF_EffectWorld& patch, const PatchPlacement& placement,
                 const Span& span, const Layout& layout, const Channel& cb, const Channel& cr) {
  const int shift_x = layout.chroma_shift_x;
  const int shift_y = layout.chroma_shift_y;
  const A_long first_column = span.left >> shift_x;
  const A_long columns = ((span.right - 1) >> shift_x) - first_column + 1;
  struct Sums {
    int32_t alpha, red, green, blue;
  };
  std::vector<Sums> sums(static_cast<size_t>(columns));
  for (A_long chroma_y = span.top >> shift_y; chroma_y <= (span.bottom - 1) >> shift_y;
       ++chroma_y) {
    const A_long block_top = chroma_y << shift_y;
    const A_long block_bottom = std::min<A_long>((chroma_y + 1) << shift_y, frame.height);
    std::fill(sums.begin(), sums.end(), Sums{0, 0, 0, 0});
    for (A_long y = std::max(block_top, span.top); y < std::min(block_bottom, span.bottom); ++y) {
      const PF_Pixel* source =
          headless::WorldRow(patch, y - placement.y) + (span.left - placement.x);
      for (A_long x = span.left; x < span.right; ++x) {
        const PF_Pixel& pixel = source[x - span.left];
        Sums& column = sums[static_cast<size_t>((x >> shift_x) - first_column)];
        column.alpha += pixel.alpha;
        column.red += pixel.red;
        column.green += pixel.green;
        column.blue += pixel.blue;
      }
    }
    Sample* cb_row = RowOf<Sample>(frame, 1, chroma_y);
    Sample* cr_row = RowOf<Sample>(frame, 2, chroma_y);
    for (A_long column = 0; column < columns; ++column) {
      const Sums& sum = sums[static_cast<size_t>(column)];
      if (sum.alpha == 0) continue;
      const A_long chroma_x = first_column + column;
      const A_long block_left = chroma_x << shift_x;
      const A_long block_right = std::min<A_long>((chroma_x + 1) << shift_x, frame.width);
      // A block cut by the frame's edge is the pixels it has: 1, 2 or 4.
      const int log2_n = (block_bottom - block_top - 1) + (block_right - block_left - 1);
      const int64_t covered = FixedCoverage(sum.alpha, placement.opacity);
      cb_row[chroma_x] = static_cast<Sample>(
          cb.Blend<int64_t>(cb_row[chroma_x], covered, log2_n, sum.red, sum.green, sum.blue));
      cr_row[chroma_x] = static_cast<Sample>(
          cr.Blend<int64_t>(cr_row[chroma_x], covered, log2_n, sum.red, sum.green, sum.blue));
    }
  }
}

template <typename Sample>
void Blend(const AVFrame& frame, const PF_EffectWorld& patch, const PatchPlacement& placement,
           const Span& span, const Layout& layout, const YcbcrColour& colour, double kr,
           double kb) {
  const double kg = 1 - kr - kb;
  // Limited range: black at 16, white at 235, chroma 128 ± 112, times 2^(depth − 8); full range:
  // 0 to 2^depth − 1, chroma about 2^(depth − 1). The gains are per unit of 8-bit colour.
  const int unit = 1 << (layout.depth - 8);
  const double full = static_cast<double>((1 << layout.depth) - 1) / 255;
  const double luma_gain = colour.full_range ? full : 219.0 * unit / 255;
  const double chroma_gain = colour.full_range ? full : 224.0 * unit / 255;
  const int luma_zero = colour.full_range ? 0 : 16 * unit;
  const int chroma_zero = 1 << (layout.depth - 1);
  const int opacity = placement.opacity;
  const Channel luma(luma_zero, luma_gain, kr, kg, kb, opacity, layout.depth);
  const double cb_scale = 1 / (2 * (1 - kb));
  const double cr_scale = 1 / (2 * (1 - kr));
  const Channel cb(chroma_zero, chroma_gain, -kr * cb_scale, -kg * cb_scale, 0.5, opacity,
                   layout.depth);
  const Channel cr(chroma_zero, chroma_gain, 0.5, -kg * cr_scale, -kb * cr_scale, opacity,
                   layout.depth);
  BlendLuma<Sample>(frame, patch, placement, span, luma);
  BlendChroma<Sample>(frame, patch, placement, span, layout, cb, cr);
}

bool Understand(int pixel_format, const YcbcrColour& colour, Layout& layout, double& kr, double& kb,
                std::string& why) {
  if (!LayoutOf(pixel_format, layout, why)) return false;
  if (!LumaWeightsOf(colour.matrix, kr, kb)) {
    why = "frames read as RGB have no luma and chroma to blend into";
    return false;
  }
  return true;
}

}  // namespace

bool CanBlendPatch(int pixel_format, const YcbcrColour& colour, std::string& why) {
  Layout layout{};
  double kr = 0;
  double kb = 0;
  return Understand(pixel_format, colour, layout, kr, kb, why);
}

bool BlendPatch(AVFrame& frame, const YcbcrColour& colour, const PF_EffectWorld& patch,
                const PatchPlacement& placement, std::string& why) {
  Layout layout{};
  double kr = 0;
  double kb = 0;
  if (!Understand(frame.format, colour, layout, kr, kb, why)) return false;
  // Far placements and sizes are clipped in 64 bits, where they cannot overflow.
  const auto clip = [](int64_t at, int64_t size, int64_t limit, A_long& from, A_long& to) {
    from = static_cast<A_long>(std::clamp<int64_t>(at, 0, limit));
    to = static_cast<A_long>(std::clamp<int64_t>(at + size, 0, limit));
  };
  Span span{};
  clip(placement.x, patch.width, frame.width, span.left, span.right);
  clip(placement.y, patch.height, frame.height, span.top, span.bottom);
  if (span.left >= span.right || span.top >= span.bottom || placement.opacity == 0) return true;
  if (av_frame_make_writable(&frame) < 0) {
    why = "no memory for a copy of the frame to write into";
    return false;
  }
  if (layout.depth == 8) {
    Blend<uint8_t>(frame, patch, placement, span, layout, colour, kr, kb);
  } else {
    Blend<uint16_t>(frame, patch, placement, span, layout, colour, kr, kb);
  }
  return true;
}

}  // namespace quorvel::media

#else

namespace quorvel::media {

bool CanBlendPatch(int, const YcbcrColour&, std::string& why) {
  why = "this build has no FFmpeg's libraries, and so no decoded frames";
  return false;
}

bool BlendPatch(AVFrame&, const YcbcrColour& colour, const PF_EffectWorld&, const PatchPlacement&,
                std::string& why) {
  return CanBlendPatch(0, colour, why);
}

}  // namespace quorvel::media

#endif
