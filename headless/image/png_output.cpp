// SPDX-License-Identifier: MIT
#include "headless/image/png_output.h"

#include <cstdint>
#include <string>

#include "headless/common/cairo_handles.h"
#include "headless/common/interruption.h"
#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

// The world in cairo's premultiplied 0xAARRGGBB words, flattened over the background if any.
CairoSurfacePtr ToSurface(const PF_EffectWorld& world, const std::optional<PF_Pixel>& background) {
  CairoSurfacePtr surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, world.width, world.height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return surface;
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  const PF_Pixel under = background ? Premultiply(*background) : PF_Pixel{0, 0, 0, 0};
  for (A_long y = 0; y < world.height; ++y) {
    const PF_Pixel* row = WorldRow(world, y);
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (A_long x = 0; x < world.width; ++x) {
      PF_Pixel p = row[x];
      if (background) {
        const unsigned rest = 255u - p.alpha;
        p = {static_cast<A_u_char>(p.alpha + MultiplyChannels(under.alpha, rest)),
             static_cast<A_u_char>(p.red + MultiplyChannels(under.red, rest)),
             static_cast<A_u_char>(p.green + MultiplyChannels(under.green, rest)),
             static_cast<A_u_char>(p.blue + MultiplyChannels(under.blue, rest))};
      }
      out[x] = static_cast<uint32_t>(p.alpha) << 24 | static_cast<uint32_t>(p.red) << 16 |
               static_cast<uint32_t>(p.green) << 8 | p.blue;
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  if (InterruptionRequested()) return CAIRO_STATUS_WRITE_ERROR;
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

FileStatus EncodePng(const PF_EffectWorld& world, const std::optional<PF_Pixel>& background,
                     std::string& bytes) {
  if (!IsUsableWorld(&world)) return FileStatus::Failure("the world has no usable pixels");
  const CairoSurfacePtr surface = ToSurface(world, background);
  cairo_status_t status = cairo_surface_status(surface.get());
  if (status == CAIRO_STATUS_SUCCESS) {
    bytes.clear();
    status = cairo_surface_write_to_png_stream(surface.get(), AppendBytes, &bytes);
  }
  if (status != CAIRO_STATUS_SUCCESS) {
    return FileStatus::Failure(std::string("cannot make the image: ") +
                               cairo_status_to_string(status));
  }
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
