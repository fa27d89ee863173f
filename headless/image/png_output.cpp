// SPDX-License-Identifier: MIT
#include "headless/image/png_output.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <system_error>

#include "headless/common/cairo_handles.h"
#include "headless/pixels/composite.h"
#include "headless/pixels/world.h"

namespace quorvel::headless {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

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

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
  return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length
             ? CAIRO_STATUS_SUCCESS
             : CAIRO_STATUS_WRITE_ERROR;
}

// A name in the same folder (so that the rename stays on one file system) that no other
// writer picks.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  return path.parent_path() /
         ("." + path.filename().string() + "." + std::to_string(random()) + ".partial");
}

}  // namespace

FileStatus WritePng(const PF_EffectWorld& world, const std::filesystem::path& path,
                    const std::optional<PF_Pixel>& background) {
  if (!IsUsableWorld(&world)) return FileStatus::Failure("the world has no usable pixels");
  if (!path.has_filename()) return FileStatus::Failure("'" + path.string() + "' names no file");

  const CairoSurfacePtr surface = ToSurface(world, background);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    return FileStatus::Failure(std::string("cannot make the image: ") +
                               cairo_status_to_string(cairo_surface_status(surface.get())));
  }

  const std::filesystem::path temporary = TemporaryPathFor(path);
  File file(std::fopen(temporary.string().c_str(), "wb"));
  if (!file) {
    // The file the user named, and why: the temporary beside it is this writer's own affair.
    const std::error_code reason(errno, std::generic_category());
    return FileStatus::Failure("cannot write '" + path.string() + "': " + reason.message());
  }
  const cairo_status_t written =
      cairo_surface_write_to_png_stream(surface.get(), WriteToFile, file.get());
  const bool closed = std::fclose(file.release()) == 0;

  std::error_code error;
  if (written != CAIRO_STATUS_SUCCESS || !closed) {
    std::filesystem::remove(temporary, error);
    return FileStatus::Failure("cannot write '" + path.string() + "': " +
                               (written != CAIRO_STATUS_SUCCESS ? cairo_status_to_string(written)
                                                                : "the file did not close"));
  }
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return FileStatus::Failure("cannot write '" + path.string() + "': " + error.message());
  }
  return {};
}

}  // namespace quorvel::headless
