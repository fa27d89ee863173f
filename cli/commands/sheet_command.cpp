// SPDX-License-Identifier: MIT
#include "cli/commands/sheet_command.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "cli/cli_error.h"
#include "cli/frame_report.h"
#include "cli/output_path.h"
#include "cli/progress.h"
#include "compose/render/frame_jobs.h"
#include "compose/render/output_pattern.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"
#include "headless/common/cairo_handles.h"
#include "headless/composition/frame_render.h"
#include "headless/pixels/memory_budget.h"
#include "headless/pixels/world.h"
#include "headless/text/freetype_text.h"
#include "media/image/png_output.h"
#if QUORVEL_HAVE_PANGO
#include "headless/common/pango_handles.h"
#endif

namespace quorvel::cli {

using compose::CheckedOutput;
using compose::CheckFramesInScene;
using compose::DefaultJobs;
using compose::DefaultModulePath;
using compose::FrameJobsOutcome;
using compose::FrameRange;
using compose::LoadSceneFile;
using compose::ReportSceneWarnings;
using compose::RunFrameJobs;
using compose::SceneFile;
using compose::SceneRenderer;

namespace {

constexpr int kMargin = 16;
constexpr int kGap = 12;
constexpr int kLabelHeight = 28;
constexpr int kCheckerSize = 8;
constexpr double kSheetGrey = 0x1b / 255.0;
constexpr double kLabelGrey = 0xc8 / 255.0;

struct SheetLayout {
  int columns = 1;
  int rows = 1;
  int cell_width = 1;
  int cell_height = 1;
  int width = 1;
  int height = 1;

  int CellX(int cell) const { return kMargin + (cell % columns) * (cell_width + kGap); }
  int CellY(int cell) const {
    return kMargin + (cell / columns) * (cell_height + kLabelHeight + kGap);
  }
};

SheetLayout LayOut(A_long frame_width, A_long frame_height, A_long count, int columns) {
  SheetLayout layout;
  const double scale = std::min(1.0, static_cast<double>(kSheetCellWidth) / frame_width);
  layout.cell_width = std::max(1, static_cast<int>(std::lround(frame_width * scale)));
  layout.cell_height = std::max(1, static_cast<int>(std::lround(frame_height * scale)));
  layout.columns = static_cast<int>(std::min<A_long>(columns, count));
  layout.rows = static_cast<int>((count + layout.columns - 1) / layout.columns);
  // In 64 bits: a thousand columns of wide cells must be refused, not wrapped.
  const int64_t width = int64_t{2} * kMargin +
                        static_cast<int64_t>(layout.columns) * layout.cell_width +
                        static_cast<int64_t>(layout.columns - 1) * kGap;
  const int64_t height = int64_t{2} * kMargin +
                         static_cast<int64_t>(layout.rows) * (layout.cell_height + kLabelHeight) +
                         static_cast<int64_t>(layout.rows - 1) * kGap;
  if (width > PF_MAX_WORLD_WIDTH || height > PF_MAX_WORLD_HEIGHT) {
    throw CliError("a sheet of " + std::to_string(count) + " frames in " +
                   std::to_string(layout.columns) + " columns would be " + std::to_string(width) +
                   "x" + std::to_string(height) + " pixels, more than " +
                   std::to_string(PF_MAX_WORLD_WIDTH) + "x" + std::to_string(PF_MAX_WORLD_HEIGHT) +
                   "; ask for fewer frames or other --columns");
  }
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  return layout;
}

// A world's premultiplied pixels as cairo's premultiplied 0xAARRGGBB words.
headless::CairoSurfacePtr ToSurface(const PF_EffectWorld& world) {
  headless::CairoSurfacePtr surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, world.width, world.height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    throw CliError("cannot make an image of " + std::to_string(world.width) + "x" +
                   std::to_string(world.height) + " pixels");
  }
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (A_long y = 0; y < world.height; ++y) {
    const PF_Pixel* row = headless::WorldRow(world, y);
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (A_long x = 0; x < world.width; ++x) {
      const PF_Pixel& p = row[x];
      out[x] = static_cast<uint32_t>(p.alpha) << 24 | static_cast<uint32_t>(p.red) << 16 |
               static_cast<uint32_t>(p.green) << 8 | p.blue;
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

// The sheet, opaque, as a world for WritePng.
headless::OwnedWorld ToWorld(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  headless::OwnedWorld world(width, height);
  for (int y = 0; y < height; ++y) {
    const auto* in =
        reinterpret_cast<const uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    PF_Pixel* row = headless::WorldRow(world.world(), y);
    for (int x = 0; x < width; ++x) {
      const uint32_t word = in[x];
      row[x] = PF_Pixel{static_cast<A_u_char>(word >> 24), static_cast<A_u_char>(word >> 16),
                        static_cast<A_u_char>(word >> 8), static_cast<A_u_char>(word)};
    }
  }
  return world;
}

double Unit(A_u_char channel) {
  return channel / 255.0;
}

// The squares that show where a frame is see-through.
void PaintChecker(cairo_t* cairo, int width, int height) {
  cairo_set_source_rgb(cairo, 0.4, 0.4, 0.4);
  cairo_paint(cairo);
  cairo_set_source_rgb(cairo, 0.6, 0.6, 0.6);
  for (int y = 0; y < height; y += kCheckerSize) {
    for (int x = (y / kCheckerSize) % 2 * kCheckerSize; x < width; x += 2 * kCheckerSize) {
      cairo_rectangle(cairo, x, y, kCheckerSize, kCheckerSize);
    }
  }
  cairo_fill(cairo);
}

// One frame over the composition's background, scaled to a cell.
headless::CairoSurfacePtr Thumbnail(const PF_EffectWorld& frame, const SheetLayout& layout,
                                    PF_Pixel background) {
  const headless::CairoSurfacePtr image = ToSurface(frame);
  headless::CairoSurfacePtr cell(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout.cell_width, layout.cell_height));
  const headless::CairoPtr cairo(cairo_create(cell.get()));
  if (background.alpha < 255) PaintChecker(cairo.get(), layout.cell_width, layout.cell_height);
  cairo_set_source_rgba(cairo.get(), Unit(background.red), Unit(background.green),
                        Unit(background.blue), Unit(background.alpha));
  cairo_paint(cairo.get());
  cairo_scale(cairo.get(), static_cast<double>(layout.cell_width) / frame.width,
              static_cast<double>(layout.cell_height) / frame.height);
  cairo_set_source_surface(cairo.get(), image.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cairo.get()), CAIRO_FILTER_GOOD);
  cairo_paint(cairo.get());
  return cell;
}

#if QUORVEL_HAVE_PANGO
void DrawLabels(cairo_t* cairo, const SheetLayout& layout, const FrameRange& range) {
  const headless::PangoLayoutPtr text(pango_cairo_create_layout(cairo));
  const headless::PangoFontDescriptionPtr font(pango_font_description_from_string("DejaVu Sans"));
  pango_font_description_set_absolute_size(font.get(), 14 * PANGO_SCALE);
  pango_layout_set_font_description(text.get(), font.get());
  cairo_set_source_rgb(cairo, kLabelGrey, kLabelGrey, kLabelGrey);
  for (A_long frame = range.first; frame <= range.last; ++frame) {
    const int cell = static_cast<int>(frame - range.first);
    pango_layout_set_text(text.get(), ("frame " + std::to_string(frame)).c_str(), -1);
    cairo_move_to(cairo, layout.CellX(cell), layout.CellY(cell) + layout.cell_height + 6);
    pango_cairo_show_layout(cairo, text.get());
  }
}
#else
// Without pango the labels are laid out by the host's FreeType text layer.
void DrawLabels(cairo_t* cairo, const SheetLayout& layout, const FrameRange& range) {
  headless::TextLayer label;
  label.font_size = 14;
  cairo_set_source_rgb(cairo, kLabelGrey, kLabelGrey, kLabelGrey);
  for (A_long frame = range.first; frame <= range.last; ++frame) {
    const int cell = static_cast<int>(frame - range.first);
    const headless::Point2 origin{static_cast<double>(layout.CellX(cell)),
                                  static_cast<double>(layout.CellY(cell) + layout.cell_height + 6)};
    cairo_new_path(cairo);
    if (headless::AppendFreeTypeTextPath(cairo, label, "frame " + std::to_string(frame), origin)) {
      cairo_fill(cairo);
    }
  }
}
#endif

}  // namespace

int RunSheet(const Invocation& invocation, Console& console) {
  if (OutputFormatOf(invocation.output)) {
    throw UsageError(std::filesystem::path(invocation.output).filename().string() +
                     ": a sheet is one image; name a .png");
  }
  const SceneFile scene_file = LoadSceneFile(invocation.scene, invocation.overrides);
  ReportSceneWarnings(scene_file, invocation.strict, console.err);
  if (invocation.max_memory) headless::SetMemoryBudget(*invocation.max_memory);
  const FrameRange range = CheckFramesInScene(scene_file, *invocation.frames);
  const std::filesystem::path path = invocation.output;
  CheckedOutput(path);

  SceneRenderer session(invocation.module.empty() ? DefaultModulePath() : invocation.module,
                        scene_file);
  const headless::Composition& composition = scene_file.composition;
  const int columns = invocation.columns.value_or(
      static_cast<int>(std::ceil(std::sqrt(static_cast<double>(range.Count())))));
  const SheetLayout layout =
      LayOut(headless::DownsampledSize(composition.width, scene_file.options.downsample_x),
             headless::DownsampledSize(composition.height, scene_file.options.downsample_y),
             range.Count(), columns);

  const headless::CairoSurfacePtr sheet(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout.width, layout.height));
  const headless::CairoPtr sheet_cairo(cairo_create(sheet.get()));
  if (cairo_status(sheet_cairo.get()) != CAIRO_STATUS_SUCCESS) {
    throw CliError("cannot make a sheet of " + std::to_string(layout.width) + "x" +
                   std::to_string(layout.height) + " pixels");
  }
  cairo_set_source_rgb(sheet_cairo.get(), kSheetGrey, kSheetGrey, kSheetGrey);
  cairo_paint(sheet_cairo.get());
  std::mutex sheet_mutex;

  Progress progress(console.err, console.err_is_terminal, range.Count());
  if (invocation.progress_json) progress.ReportAsJson();

  const FrameJobsOutcome outcome =
      RunFrameJobs(range, invocation.jobs.value_or(DefaultJobs()), [&](A_long frame) {
        const headless::OwnedWorld image = session.RenderChecked(frame);
        const headless::CairoSurfacePtr cell =
            Thumbnail(image.world(), layout, composition.background);
        const int index = static_cast<int>(frame - range.first);
        {
          std::lock_guard<std::mutex> lock(sheet_mutex);
          cairo_set_source_surface(sheet_cairo.get(), cell.get(), layout.CellX(index),
                                   layout.CellY(index));
          cairo_paint(sheet_cairo.get());
        }
        progress.FrameDone(frame, "on the sheet");
        return std::string();
      });
  progress.Finish();
  const int exit_code = ReportFrameJobs(outcome, range.Count(), console);
  if (exit_code != kExitSuccess) return exit_code;

  DrawLabels(sheet_cairo.get(), layout, range);
  const headless::OwnedWorld world = ToWorld(sheet.get());
  const media::FileStatus written = media::WritePng(world.world(), path);
  if (!written) throw CliError(written.message);
  if (IsStandardOutput(invocation.output)) return kExitSuccess;
  console.out << "wrote " << path.string() << " (" << range.Count() << " frames, " << layout.width
              << "x" << layout.height << ")\n";
  return kExitSuccess;
}

}  // namespace quorvel::cli
