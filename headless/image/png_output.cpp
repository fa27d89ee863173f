// SPDX-License-Identifier: MIT
#include "headless/image/png_output.h"

#include <spng.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "headless/common/interruption.h"
#include "headless/common/owned.h"
#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

using SpngContextPtr = Owned<spng_ctx, spng_ctx_free>;
struct FreeBuffer {
  void operator()(void* buffer) const { std::free(buffer); }
};

// zlib's fastest level with no row filter: frames are mostly flat colour, which deflate finds
// by itself, at a fifth of the time of filtered level 6 and about 1.4 times the size.
constexpr int kCompressionLevel = 1;

// The world's pixels flattened over the background, if any, as the PNG stores them: straight
// (unpremultiplied, as cairo's PNG writer rounds it) red, green, blue and alpha, or red,
// green and blue alone when every pixel is opaque.
std::vector<unsigned char> PngPixels(const PF_EffectWorld& world,
                                     const std::optional<PF_Pixel>& background, bool& opaque) {
  const size_t pixel_count = static_cast<size_t>(world.width) * static_cast<size_t>(world.height);
  if (background && background->alpha == 255) {
    // Over an opaque background every pixel is opaque: red, green and blue in one pass.
    opaque = true;
    const PF_Pixel under = *background;
    std::vector<unsigned char> pixels(pixel_count * 3);
    unsigned char* out = pixels.data();
    for (A_long y = 0; y < world.height; ++y) {
      const PF_Pixel* row = WorldRow(world, y);
      for (A_long x = 0; x < world.width; ++x) {
        const PF_Pixel p =
            row[x].alpha == 255 ? row[x] : (row[x].alpha == 0 ? under : Over(row[x], under));
        out[0] = p.red;
        out[1] = p.green;
        out[2] = p.blue;
        out += 3;
      }
    }
    return pixels;
  }
  const PF_Pixel under = background ? Premultiply(*background) : PF_Pixel{0, 0, 0, 0};
  const auto flattened = [&](const PF_Pixel& p) { return background ? Over(p, under) : p; };
  opaque = true;
  for (A_long y = 0; y < world.height && opaque; ++y) {
    const PF_Pixel* row = WorldRow(world, y);
    for (A_long x = 0; x < world.width; ++x) {
      if (flattened(row[x]).alpha != 255) {
        opaque = false;
        break;
      }
    }
  }
  const size_t channels = opaque ? 3 : 4;
  std::vector<unsigned char> pixels(pixel_count * channels);
  unsigned char* out = pixels.data();
  for (A_long y = 0; y < world.height; ++y) {
    const PF_Pixel* row = WorldRow(world, y);
    for (A_long x = 0; x < world.width; ++x) {
      const PF_Pixel p = flattened(row[x]);
      if (opaque) {
        *out++ = p.red;
        *out++ = p.green;
        *out++ = p.blue;
      } else {
        const PF_Pixel straight = Unpremultiply(p);
        *out++ = straight.red;
        *out++ = straight.green;
        *out++ = straight.blue;
        *out++ = straight.alpha;
      }
    }
  }
  return pixels;
}

}  // namespace

FileStatus EncodePng(const PF_EffectWorld& world, const std::optional<PF_Pixel>& background,
                     std::string& bytes) {
  if (!IsUsableWorld(&world)) return FileStatus::Failure("the world has no usable pixels");
  bool opaque = true;
  std::vector<unsigned char> pixels;
  try {
    pixels = PngPixels(world, background, opaque);
  } catch (const std::bad_alloc&) {
    return FileStatus::Failure("cannot make the image: out of memory");
  }
  if (InterruptionRequested()) return FileStatus::Failure("interrupted");
  const SpngContextPtr context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (context == nullptr) return FileStatus::Failure("cannot make the image: out of memory");
  spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel);
  spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_NONE);
  spng_ihdr header{};
  header.width = static_cast<uint32_t>(world.width);
  header.height = static_cast<uint32_t>(world.height);
  header.bit_depth = 8;
  header.color_type = opaque ? SPNG_COLOR_TYPE_TRUECOLOR : SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  int error = spng_set_ihdr(context.get(), &header);
  if (error == 0) {
    error = spng_encode_image(context.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG,
                              SPNG_ENCODE_FINALIZE);
  }
  size_t length = 0;
  const std::unique_ptr<void, FreeBuffer> encoded(
      error == 0 ? spng_get_png_buffer(context.get(), &length, &error) : nullptr);
  if (error != 0 || encoded == nullptr) {
    return FileStatus::Failure(std::string("cannot make the image: ") + spng_strerror(error));
  }
  bytes.assign(static_cast<const char*>(encoded.get()), length);
  return {};
}

FileStatus WritePng(const PF_EffectWorld& world, const std::filesystem::path& path,
                    const std::optional<PF_Pixel>& background) {
  OutputTarget target;
  if (FileStatus resolved = ResolveOutput(path, target); !resolved) return resolved;
  std::string bytes;
  if (FileStatus encoded = EncodePng(world, background, bytes); !encoded) return encoded;
  return WriteOutput(target, bytes);
}

}  // namespace quorvel::headless
