// SPDX-License-Identifier: MIT
#include "media/image/png_input.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "headless/common/cairo_handles.h"

namespace quorvel::media {

using headless::CairoSurfacePtr;

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

cairo_status_t ReadFromFile(void* closure, unsigned char* data, unsigned int length) {
  return std::fread(data, 1, length, static_cast<std::FILE*>(closure)) == length
             ? CAIRO_STATUS_SUCCESS
             : CAIRO_STATUS_READ_ERROR;
}

}  // namespace

PngImage ReadPng(const std::filesystem::path& path) {
  const std::string name = "'" + path.string() + "'";
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "rb"));
  if (!file) return {FileStatus::Failure("cannot open " + name), std::nullopt};

  const CairoSurfacePtr surface(
      cairo_image_surface_create_from_png_stream(ReadFromFile, file.get()));
  const cairo_status_t status = cairo_surface_status(surface.get());
  if (status != CAIRO_STATUS_SUCCESS) {
    return {FileStatus::Failure("cannot read " + name + ": " + cairo_status_to_string(status)),
            std::nullopt};
  }
  const cairo_format_t format = cairo_image_surface_get_format(surface.get());
  if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) {
    return {FileStatus::Failure("cannot read " + name + ": not 8 bits per channel"), std::nullopt};
  }
  const int width = cairo_image_surface_get_width(surface.get());
  const int height = cairo_image_surface_get_height(surface.get());
  if (width > PF_MAX_WORLD_WIDTH || height > PF_MAX_WORLD_HEIGHT) {
    return {FileStatus::Failure(name + " is larger than a world can be"), std::nullopt};
  }

  PngImage image;
  try {
    image.world.emplace(width, height);
  } catch (const std::bad_alloc&) {
    return {FileStatus::Failure("no memory for " + name), std::nullopt};
  }
  const bool opaque = format == CAIRO_FORMAT_RGB24;
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < height; ++y) {
    const auto* row =
        reinterpret_cast<const uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      const uint32_t word = row[x];
      image.world->At(x, y) = {opaque ? A_u_char{255} : static_cast<A_u_char>(word >> 24),
                               static_cast<A_u_char>(word >> 16), static_cast<A_u_char>(word >> 8),
                               static_cast<A_u_char>(word)};
    }
  }
  return image;
}

}  // namespace quorvel::media
