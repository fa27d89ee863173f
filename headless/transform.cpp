// SPDX-License-Identifier: MIT
#include "headless/transform.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "headless/call_accounting.h"
#include "headless/composite.h"
#include "headless/fill.h"
#include "headless/world.h"

namespace quorvel::headless {
namespace {

// Below this a placement squeezes the source to nothing visible.
constexpr double kMinDeterminant = 1e-12;

// x' = a·x + b·y + c, y' = d·x + e·y + f.
struct Affine {
  double a, b, c, d, e, f;
};

bool IsFinite(const Affine& m) {
  return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d) &&
         std::isfinite(m.e) && std::isfinite(m.f);
}

// Finite, with the third column of an affine matrix (0, 0, 1).
bool IsAffineMatrix(const PF_FloatMatrix& matrix) {
  for (const auto& row : matrix.mat) {
    for (const double value : row) {
      if (!std::isfinite(value)) return false;
    }
  }
  return matrix.mat[0][2] == 0.0 && matrix.mat[1][2] == 0.0 && matrix.mat[2][2] == 1.0;
}

Affine FromRowVectorMatrix(const PF_FloatMatrix& m) {
  return {m.mat[0][0], m.mat[1][0], m.mat[2][0], m.mat[0][1], m.mat[1][1], m.mat[2][1]};
}

std::optional<Affine> Inverse(const Affine& m) {
  const double det = m.a * m.e - m.b * m.d;
  if (!std::isfinite(det) || std::fabs(det) < kMinDeterminant) return std::nullopt;
  Affine inverse{m.e / det, -m.b / det, 0.0, -m.d / det, m.a / det, 0.0};
  inverse.c = -(inverse.a * m.c + inverse.b * m.f);
  inverse.f = -(inverse.d * m.c + inverse.e * m.f);
  if (!IsFinite(inverse)) return std::nullopt;
  return inverse;
}

// The matrix at fraction t (0..1) of the path through the list, element by element. Equal
// neighbours give exactly that matrix back.
PF_FloatMatrix PathPoint(const PF_FloatMatrix* matrices, A_long count, double t) {
  const double position = t * static_cast<double>(count - 1);
  const A_long segment = std::min(static_cast<A_long>(position), count - 2);
  const double fraction = position - static_cast<double>(segment);
  const PF_FloatMatrix& from = matrices[segment];
  const PF_FloatMatrix& to = matrices[segment + 1];
  PF_FloatMatrix point{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      const double start = from.mat[row][column];
      point.mat[row][column] = start + (to.mat[row][column] - start) * fraction;
    }
  }
  return point;
}

// One placement of the source: the map back from destination to source, and the destination
// pixels it can reach (inside the region).
struct Placement {
  Affine to_source;
  PF_Rect reach;
};

std::optional<Placement> Place(const PF_FloatMatrix& matrix, bool src2dst,
                               const PF_EffectWorld& src, const PF_Rect& region) {
  const Affine given = FromRowVectorMatrix(matrix);
  const std::optional<Affine> inverse = Inverse(given);
  if (!inverse) return std::nullopt;
  const Affine& to_dest = src2dst ? given : *inverse;
  const Affine& to_source = src2dst ? *inverse : given;

  const double width = src.width;
  const double height = src.height;
  const double corners[4][2] = {{0, 0}, {width, 0}, {0, height}, {width, height}};
  double min_x = INFINITY, min_y = INFINITY, max_x = -INFINITY, max_y = -INFINITY;
  for (const auto& corner : corners) {
    const double x = to_dest.a * corner[0] + to_dest.b * corner[1] + to_dest.c;
    const double y = to_dest.d * corner[0] + to_dest.e * corner[1] + to_dest.f;
    if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
    min_x = std::min(min_x, x);
    max_x = std::max(max_x, x);
    min_y = std::min(min_y, y);
    max_y = std::max(max_y, y);
  }
  // One pixel more each way for the filter's footprint; clamped in double before converting,
  // as the corners may lie anywhere.
  const auto clamp = [](double value, A_long low, A_long high) {
    return static_cast<A_long>(
        std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
  };
  const PF_Rect reach{clamp(std::floor(min_x) - 1, region.left, region.right),
                      clamp(std::floor(min_y) - 1, region.top, region.bottom),
                      clamp(std::ceil(max_x) + 1, region.left, region.right),
                      clamp(std::ceil(max_y) + 1, region.top, region.bottom)};
  if (IsEmptyRect(reach)) return std::nullopt;
  return Placement{to_source, reach};
}

PF_Rect Union(const PF_Rect& a, const PF_Rect& b) {
  if (IsEmptyRect(a)) return b;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

using PixmanImage = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;

PixmanImage MakeImage(int width, int height, uint32_t* bits) {
  return PixmanImage(pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, bits,
                                              width * static_cast<int>(sizeof(uint32_t))),
                     &pixman_image_unref);
}

// The source as premultiplied pixman pixels (0xAARRGGBB words).
void CopySource(const PF_EffectWorld& src, bool straight, std::vector<uint32_t>& words) {
  auto out = words.begin();
  for (A_long y = 0; y < src.height; ++y) {
    const PF_Pixel* row = WorldRow(src, y);
    for (A_long x = 0; x < src.width; ++x) {
      const PF_Pixel p = straight ? Premultiply(row[x]) : row[x];
      *out++ = static_cast<uint32_t>(p.alpha) << 24 | static_cast<uint32_t>(p.red) << 16 |
               static_cast<uint32_t>(p.green) << 8 | p.blue;
    }
  }
}

// Resamples the source into scratch over the placement's reach and adds it to the sums
// (four per pixel of the layer's bounds, alpha, red, green, blue).
void AddPlacement(pixman_image_t* source, const Placement& placement, const PF_Rect& bounds,
                  std::vector<uint32_t>& scratch, std::vector<uint16_t>& sums) {
  const PF_Rect& reach = placement.reach;
  const int width = reach.right - reach.left;
  const int height = reach.bottom - reach.top;
  // Scratch pixel (u, v) is destination pixel (u + reach.left, v + reach.top); pixman samples
  // the source at to_source of each scratch pixel's centre.
  const Affine& m = placement.to_source;
  const double left = reach.left;
  const double top = reach.top;
  pixman_f_transform to_source{};
  to_source.m[0][0] = m.a;
  to_source.m[0][1] = m.b;
  to_source.m[0][2] = m.a * left + m.b * top + m.c;
  to_source.m[1][0] = m.d;
  to_source.m[1][1] = m.e;
  to_source.m[1][2] = m.d * left + m.e * top + m.f;
  to_source.m[2][2] = 1.0;
  pixman_transform fixed;
  // Beyond pixman's 16.16 range the placement is too far out to draw.
  if (!pixman_transform_from_pixman_f_transform(&fixed, &to_source)) return;
  if (!pixman_image_set_transform(source, &fixed)) return;

  scratch.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  const PixmanImage target = MakeImage(width, height, scratch.data());
  if (!target) return;
  pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, target.get(), 0, 0, 0, 0, 0, 0, width,
                           height);

  const size_t bounds_width = static_cast<size_t>(bounds.right - bounds.left);
  const uint32_t* word = scratch.data();
  for (A_long y = reach.top; y < reach.bottom; ++y) {
    uint16_t* sum = sums.data() + 4 * (static_cast<size_t>(y - bounds.top) * bounds_width +
                                       static_cast<size_t>(reach.left - bounds.left));
    for (int u = 0; u < width; ++u, ++word, sum += 4) {
      sum[0] = static_cast<uint16_t>(sum[0] + (*word >> 24));
      sum[1] = static_cast<uint16_t>(sum[1] + ((*word >> 16) & 0xFF));
      sum[2] = static_cast<uint16_t>(sum[2] + ((*word >> 8) & 0xFF));
      sum[3] = static_cast<uint16_t>(sum[3] + (*word & 0xFF));
    }
  }
}

PF_Err Resample(const PF_EffectWorld& src, bool straight, PF_Quality quality,
                const std::vector<std::optional<Placement>>& placements, Layer& layer) {
  const size_t pixel_count = static_cast<size_t>(layer.bounds.right - layer.bounds.left) *
                             static_cast<size_t>(layer.bounds.bottom - layer.bounds.top);
  std::vector<uint32_t> source_words;
  std::vector<uint32_t> scratch;
  std::vector<uint16_t> sums;
  try {
    source_words.resize(static_cast<size_t>(src.width) * static_cast<size_t>(src.height));
    sums.resize(4 * pixel_count);
    layer.pixels.resize(pixel_count);
    size_t largest_reach = 0;
    for (const auto& placement : placements) {
      if (!placement) continue;
      const PF_Rect& reach = placement->reach;
      largest_reach = std::max(largest_reach, static_cast<size_t>(reach.right - reach.left) *
                                                  static_cast<size_t>(reach.bottom - reach.top));
    }
    scratch.reserve(largest_reach);
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }

  CopySource(src, straight, source_words);
  const PixmanImage source = MakeImage(src.width, src.height, source_words.data());
  if (!source) return PF_Err_OUT_OF_MEMORY;
  pixman_image_set_filter(source.get(),
                          quality == PF_Quality_LO ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR,
                          nullptr, 0);
  pixman_image_set_repeat(source.get(), PIXMAN_REPEAT_NONE);
  for (const auto& placement : placements) {
    if (placement) AddPlacement(source.get(), *placement, layer.bounds, scratch, sums);
  }

  // Placements that drew nothing count as transparent in the average.
  const unsigned count = static_cast<unsigned>(placements.size());
  const auto average = [count](uint16_t sum) {
    return static_cast<A_u_char>((sum + count / 2) / count);
  };
  const uint16_t* sum = sums.data();
  for (PF_Pixel& pixel : layer.pixels) {
    pixel = {average(sum[0]), average(sum[1]), average(sum[2]), average(sum[3])};
    sum += 4;
  }
  return PF_Err_NONE;
}

}  // namespace

PF_Err TransformWorld(PF_ProgPtr, PF_Quality quality, PF_ModeFlags mode_flags, PF_Field,
                      const PF_EffectWorld* src_world, const PF_CompositeMode* comp_mode,
                      const PF_MaskWorld* mask_world, const PF_FloatMatrix* matrices,
                      A_long num_matrices, PF_Boolean src2dst, const PF_Rect* dest_rect,
                      PF_EffectWorld* dst_world) {
  RecordCall([&] {
    return "transform_world xfer=" +
           (comp_mode != nullptr ? std::to_string(comp_mode->xfer) : "?") +
           " flags=" + std::to_string(mode_flags) +
           " mask=" + (mask_world != nullptr ? "yes" : "no") +
           " matrices=" + std::to_string(num_matrices);
  });
  if (!IsUsableWorld(src_world) || !IsUsableWorld(dst_world)) return PF_Err_BAD_CALLBACK_PARAM;
  if (matrices == nullptr || num_matrices < 1 || num_matrices > kMaxTransformMatrices) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (const PF_Err err = CheckComposite(mode_flags, comp_mode, mask_world)) return err;
  for (A_long i = 0; i < num_matrices; ++i) {
    if (!IsAffineMatrix(matrices[i])) return PF_Err_BAD_CALLBACK_PARAM;
  }

  const PF_Rect whole{0, 0, dst_world->width, dst_world->height};
  const PF_Rect region =
      ClipRect(dest_rect != nullptr ? *dest_rect : whole, dst_world->width, dst_world->height);
  if (IsEmptyRect(region)) return PF_Err_NONE;

  const int sample_count = num_matrices == 1 ? 1 : kMotionBlurSamples;
  std::vector<std::optional<Placement>> placements;
  PF_Rect reach{};
  try {
    placements.reserve(static_cast<size_t>(sample_count));
    for (int i = 0; i < sample_count; ++i) {
      const double t = (i + 0.5) / sample_count;
      const PF_FloatMatrix matrix =
          num_matrices == 1 ? matrices[0] : PathPoint(matrices, num_matrices, t);
      placements.push_back(Place(matrix, src2dst != 0, *src_world, region));
      if (placements.back()) reach = Union(reach, placements.back()->reach);
    }
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }

  Layer layer;
  // Where the source lands is enough, unless a transparent source changes the destination.
  layer.bounds = TransparentSourceKeepsDestination(comp_mode->xfer) ? reach : region;
  if (IsEmptyRect(layer.bounds)) return PF_Err_NONE;
  if (const PF_Err err =
          Resample(*src_world, mode_flags == PF_MF_Alpha_STRAIGHT, quality, placements, layer)) {
    return err;
  }
  return CompositeLayer(layer, comp_mode->xfer, comp_mode->opacity, mask_world, *dst_world);
}

}  // namespace quorvel::headless
