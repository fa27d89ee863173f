// SPDX-License-Identifier: MIT
#include "render/shape_rasterizer.h"

#include <cairo.h>

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

#include "host/suite_cache.h"

namespace quorvel {
namespace {

// The decimal constants the shapes have always been drawn with; π is deliberately not the
// full double-precision value, so that edges land on the same sub-pixel positions.
constexpr double kPi = 3.14159265359;
constexpr double kMinusHalfPi = -1.570796326795;
constexpr double kHalfPi = 1.570796326795;
constexpr double kThreeHalvesPi = 4.712388980385;
constexpr double kTwoPi = 6.28318530718;
constexpr double kFourPi = 12.56637061436;
constexpr double kByteToUnit = 0.00392156862745098;

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};

// cairo keeps each pixel as one native-endian word (alpha in the top byte); the world keeps the
// bytes alpha, red, green, blue in memory order, that is the word in big-endian order.
constexpr uint32_t InWorldByteOrder(uint32_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return word;
#else
  return (word >> 24) | ((word >> 8) & 0x0000FF00u) | ((word << 8) & 0x00FF0000u) | (word << 24);
#endif
}

// Whole words in and out, which compilers turn into vector byte shuffles; storing the four bytes
// one by one kept them from it and cost several times the memory's own speed. Where the loader
// can pick a function's variant at start-up, a variant with 32-byte shuffles is built as well.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void ConvertRow(const unsigned char* __restrict source, unsigned char* __restrict destination,
                A_long width) {
  for (A_long x = 0; x < width; ++x) {
    uint32_t word;
    std::memcpy(&word, source + 4 * static_cast<std::ptrdiff_t>(x), sizeof word);
    word = InWorldByteOrder(word);
    std::memcpy(destination + 4 * static_cast<std::ptrdiff_t>(x), &word, sizeof word);
  }
}

#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void ConvertRowInPlace(unsigned char* row, A_long width) {
  for (A_long x = 0; x < width; ++x) {
    uint32_t word;
    std::memcpy(&word, row + 4 * static_cast<std::ptrdiff_t>(x), sizeof word);
    word = InWorldByteOrder(word);
    std::memcpy(row + 4 * static_cast<std::ptrdiff_t>(x), &word, sizeof word);
  }
}

// The host memory of one pass. The size gate asks for as many bytes as the drawing needs and is
// never locked: a host that refuses it is saying the pass is too large for it. The staging cell
// is the pass's 4-byte transfer cell. Released in that order, each unlocked then disposed.
class PassMemory {
 public:
  PassMemory(const PF_HandleSuite1* handles, A_long width, A_long height) : handles_(handles) {
    // Both sides are at most kMaxSurfaceSide here, so the product fits in 64 bits.
    const A_u_longlong gate_size =
        static_cast<A_u_longlong>(width) * static_cast<A_u_longlong>(height) * 4u;
    gate_ = handles_->host_new_handle(gate_size);
    if (gate_ == nullptr) {
      return;
    }
    cell_ = handles_->host_new_handle(4);
    if (cell_ != nullptr) {
      cell_memory_ = handles_->host_lock_handle(cell_);
    }
  }
  ~PassMemory() {
    if (gate_ != nullptr) {
      handles_->host_unlock_handle(gate_);
      handles_->host_dispose_handle(gate_);
    }
    if (cell_ != nullptr) {
      if (cell_memory_ != nullptr) {
        handles_->host_unlock_handle(cell_);
      }
      handles_->host_dispose_handle(cell_);
    }
  }
  PassMemory(const PassMemory&) = delete;
  PassMemory& operator=(const PassMemory&) = delete;

  bool granted() const { return cell_memory_ != nullptr; }
  void* cell() const { return cell_memory_; }

 private:
  const PF_HandleSuite1* handles_;
  PF_Handle gate_ = nullptr;
  PF_Handle cell_ = nullptr;
  void* cell_memory_ = nullptr;
};

// cairo takes colours in double precision, but the values have always gone through single
// precision first. Values beyond single precision's range (which cairo clamps to 0..1 anyway)
// are clamped before the conversion, which would otherwise be undefined.
double ThroughSinglePrecision(double value) {
  if (std::isnan(value)) {
    return value;
  }
  const double clamped = value > FLT_MAX
                             ? static_cast<double>(FLT_MAX)
                             : (value < -FLT_MAX ? -static_cast<double>(FLT_MAX) : value);
  return static_cast<double>(static_cast<float>(clamped));
}

void SetSourceColor(cairo_t* context, PF_Pixel color, double opacity) {
  cairo_set_source_rgba(context, ThroughSinglePrecision(color.red * kByteToUnit),
                        ThroughSinglePrecision(color.green * kByteToUnit),
                        ThroughSinglePrecision(color.blue * kByteToUnit),
                        ThroughSinglePrecision(opacity));
}

bool IsDrawable(const PF_EffectWorld* world) {
  return world != nullptr && world->width >= 1 && world->height >= 1 &&
         world->width <= kMaxSurfaceSide && world->height <= kMaxSurfaceSide;
}

// Draws one pass into `world` with cairo and copies the result in. Returns false when the pass
// was skipped: the host refused its memory or the world's pixels, or cairo could not make the
// surface. The cairo objects and the host memory are gone when it returns.
// The address of the world's pixels from the host, or null when it gives none.
unsigned char* WorldPixels(PF_InData* in_data, PF_EffectWorld* world, PF_Err& error) {
  PF_Pixel8* pixels = nullptr;
  error = PF_Err_BAD_CALLBACK_PARAM;
  if (in_data->utils != nullptr && in_data->utils->get_pixel_data8 != nullptr) {
    error = in_data->utils->get_pixel_data8(world, nullptr, &pixels);
  }
  if (error == PF_Err_NONE && pixels == nullptr) {
    error = PF_Err_BAD_CALLBACK_PARAM;
  }
  return error == PF_Err_NONE ? reinterpret_cast<unsigned char*>(pixels) : nullptr;
}

// The image cairo draws the pass into. The world's own pixels serve when cairo can address
// them (they arrive cleared, as a new surface would be); the world copy then runs in place, and
// no second image of the box's size is made, filled with zeros or moved. A world whose rows
// cairo cannot address gets a surface of its own.
std::unique_ptr<cairo_surface_t, SurfaceDeleter> PassSurface(unsigned char* world_pixels,
                                                             const PF_EffectWorld& world) {
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(cairo_image_surface_create_for_data(
      world_pixels, CAIRO_FORMAT_ARGB32, world.width, world.height, world.rowbytes));
  if (cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS) {
    return surface;
  }
  surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, world.width, world.height));
  return surface;
}

// Draws one pass into `world` with cairo and copies the result in. Returns false when the pass
// was skipped: the host refused its memory or the world's pixels, or cairo could not make the
// surface. The cairo objects and the host memory are gone when it returns.
template <typename PaintShape>
bool DrawPass(PF_InData* in_data, const PF_HandleSuite1* handles, PF_EffectWorld* world,
              PF_Pixel color, double opacity, PaintShape paint_shape) {
  if (!IsDrawable(world)) {
    return false;
  }
  PassMemory memory(handles, world->width, world->height);
  if (!memory.granted()) {
    return false;
  }
  PF_Err error = PF_Err_NONE;
  unsigned char* world_pixels = WorldPixels(in_data, world, error);
  if (world_pixels == nullptr) {
    return false;
  }
  const std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface =
      PassSurface(world_pixels, *world);
  const std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(surface.get()));
  SetSourceColor(context.get(), color, opacity);
  paint_shape(context.get());
  // cairo may defer drawing until its pixels are read directly.
  cairo_surface_flush(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  if (data == nullptr) {
    return false;  // a surface in an error state has no pixels
  }
  return CopySurfaceToWorld(in_data, world, memory.cell(), data,
                            cairo_image_surface_get_stride(surface.get())) == PF_Err_NONE;
}

PF_Err ColorPass(PF_InData* in_data, SuiteCache& suites, PF_EffectWorld* world, PF_Pixel color) {
  ColorContext context{color};
  return suites.Iterate8Suite()->iterate(in_data, 0, world->height, nullptr, nullptr, &context,
                                         SetPixelColor, world);
}

// Fill pass, then border pass. When the fill's colour pass fails, the border is still drawn
// but not recoloured, and the fill's error is the result.
template <typename PaintFill, typename PaintBorder>
PF_Err DrawShape(PF_InData* in_data, PF_EffectWorld* fill_world, PF_EffectWorld* border_world,
                 PF_Pixel fill_color, double fill_opacity, bool border_enabled,
                 PF_Pixel border_color, double border_opacity, PaintFill paint_fill,
                 PaintBorder paint_border) {
  SuiteCache suites(in_data->pica_basicP);
  const PF_HandleSuite1* handles = suites.HandleSuite();

  PF_Err fill_error = PF_Err_NONE;
  if (DrawPass(in_data, handles, fill_world, fill_color, fill_opacity, paint_fill)) {
    fill_error = ColorPass(in_data, suites, fill_world, fill_color);
  }
  if (!border_enabled) {
    return fill_error;
  }
  const bool border_drawn =
      DrawPass(in_data, handles, border_world, border_color, border_opacity, paint_border);
  if (!border_drawn || fill_error != PF_Err_NONE) {
    return fill_error;
  }
  return ColorPass(in_data, suites, border_world, border_color);
}

void SquareOutline(cairo_t* context, double x, double y, double width, double height) {
  cairo_move_to(context, x, y);
  cairo_line_to(context, x + width, y);
  cairo_rel_line_to(context, 0, height);
  cairo_rel_line_to(context, -width, 0);
  cairo_close_path(context);
}

// Corners in the order top-right, bottom-right, bottom-left, top-left, each arc clockwise on
// screen; cairo joins them with straight edges.
void RoundedOutline(cairo_t* context, double left, double top, double right, double bottom,
                    double radius) {
  cairo_new_sub_path(context);
  cairo_arc(context, right - radius, top + radius, radius, kMinusHalfPi, 0);
  cairo_arc(context, right - radius, bottom - radius, radius, 0, kHalfPi);
  cairo_arc(context, left + radius, bottom - radius, radius, kHalfPi, kPi);
  cairo_arc(context, left + radius, top + radius, radius, kPi, kThreeHalvesPi);
  cairo_close_path(context);
}

}  // namespace

PF_Err DrawBox(PF_InData* in_data, PF_EffectWorld* fill_world, PF_EffectWorld* border_world,
               PF_Pixel fill_color, double fill_opacity, double roundness_factor,
               bool border_enabled, double border_width, PF_Pixel border_color,
               double border_opacity, const TextBounds* bounds) {
  const double w = bounds->width;
  const double h = bounds->height;
  const double b = border_width / 2;
  const bool square_corners = roundness_factor == 0.0;

  // The rounded fill takes its size from the fill world, everything else from the bounds.
  auto paint_fill = [&](cairo_t* context) {
    if (square_corners) {
      SquareOutline(context, 0, 0, w, h);
    } else {
      const double world_width = fill_world->width;
      const double world_height = fill_world->height;
      RoundedOutline(context, 0, 0, world_width, world_height, world_height / roundness_factor);
    }
    cairo_fill(context);
  };
  // The fill's outline moved by half the border width, so the stroke's outer edge touches
  // the border world's edges.
  auto paint_border = [&](cairo_t* context) {
    if (square_corners) {
      SquareOutline(context, b, b, w, h);
    } else {
      RoundedOutline(context, b, b, w + b, h + b, h / roundness_factor);
    }
    cairo_set_line_width(context, border_width);
    cairo_stroke(context);
  };
  return DrawShape(in_data, fill_world, border_world, fill_color, fill_opacity, border_enabled,
                   border_color, border_opacity, paint_fill, paint_border);
}

PF_Err DrawCircle(PF_InData* in_data, PF_EffectWorld* fill_world, PF_EffectWorld* border_world,
                  PF_Pixel fill_color, double fill_opacity, bool border_enabled,
                  double border_width, PF_Pixel border_color, double border_opacity,
                  const TextBounds* bounds) {
  const double w = bounds->width;

  auto paint_fill = [&](cairo_t* context) {
    cairo_arc(context, w / 2, w / 2, w / 2, 0, kTwoPi);
    cairo_fill(context);
  };
  // Two full turns and no close: the stroke has no seam where the arc starts and ends.
  auto paint_border = [&](cairo_t* context) {
    const double centre_x = border_world->width / 2.0;
    const double centre_y = border_world->height / 2.0;
    cairo_arc(context, centre_x, centre_y, w / 2, 0, kFourPi);
    cairo_set_line_width(context, border_width);
    cairo_stroke(context);
  };
  return DrawShape(in_data, fill_world, border_world, fill_color, fill_opacity, border_enabled,
                   border_color, border_opacity, paint_fill, paint_border);
}

// The staging cell belongs to the pass's host memory; the conversion itself stages each word in
// a register, which gives the world the same bytes without a host round trip per pixel. The
// surface may be the world's own pixels (same address and row step): each word is then read
// before it is rewritten.
PF_Err CopySurfaceToWorld(PF_InData* in_data, PF_EffectWorld* world, void* /*staging_cell*/,
                          const unsigned char* surface_data, int surface_stride) {
  PF_Err error = PF_Err_NONE;
  unsigned char* world_bytes = WorldPixels(in_data, world, error);
  if (world_bytes == nullptr) {
    return error;
  }
  const bool in_place = world_bytes == surface_data && surface_stride == world->rowbytes;
  for (A_long y = 0; y < world->height; ++y) {
    unsigned char* row = world_bytes + static_cast<std::ptrdiff_t>(y) * world->rowbytes;
    if (in_place) {
      ConvertRowInPlace(row, world->width);
    } else {
      ConvertRow(surface_data + static_cast<std::ptrdiff_t>(y) * surface_stride, row, world->width);
    }
  }
  return PF_Err_NONE;
}

PF_Err SetPixelColor(void* refcon, A_long /*x*/, A_long /*y*/, PF_Pixel* /*in*/, PF_Pixel* out) {
  if (refcon == nullptr || out == nullptr) {
    return PF_Err_NONE;
  }
  const PF_Pixel& color = static_cast<const ColorContext*>(refcon)->color;
  out->red = color.red;
  out->green = color.green;
  out->blue = color.blue;
  return PF_Err_NONE;
}

}  // namespace quorvel
