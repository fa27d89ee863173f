// SPDX-License-Identifier: MIT
// The box measured from a real font's outlines, against the ink that pango reports for the
// same text: vertex bounds can only lie inside the ink (curves bulge past their vertices,
// never the reverse) and, for ordinary glyphs, within a few pixels of it.
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/unit/text_layer_fixture.h"
#include "text/text_bounds.h"

namespace quorvel {
namespace {

struct InkRect {
  double left, top, right, bottom;
};

// pango's ink rectangle of the text laid out as the host lays out its text layers: unhinted,
// unrounded, the font's absolute size in pixels, the layout's top-left at the layer position.
InkRect PangoInk(const headless::TextLayer& layer, const std::string& text) {
  // The thread's default font map lives as long as the program, like the host's own.
  PangoFontMap* font_map = pango_cairo_font_map_get_default();
  PangoContext* context = pango_font_map_create_context(font_map);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, options);
  pango_context_set_round_glyph_positions(context, FALSE);
  PangoLayout* layout = pango_layout_new(context);
  PangoFontDescription* font = pango_font_description_from_string(layer.font_style.c_str());
  pango_font_description_set_family(font, layer.font_family.c_str());
  pango_font_description_set_absolute_size(font, layer.font_size * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, text.c_str(), -1);
  PangoRectangle ink{};
  pango_layout_get_extents(layout, &ink, nullptr);
  pango_font_description_free(font);
  g_object_unref(layout);
  cairo_font_options_destroy(options);
  g_object_unref(context);

  const headless::Point2 origin = headless::Interpolate(layer.position, 0);
  const double scale = PANGO_SCALE;
  return {origin.x + ink.x / scale, origin.y + ink.y / scale,
          origin.x + (ink.x + ink.width) / scale, origin.y + (ink.y + ink.height) / scale};
}

class RealTextBoundsTest : public test_support::TextLayerTest {};

TEST_F(RealTextBoundsTest, LieInsideThePangoInkAndWithinAFewPixelsOfIt) {
  // The comparison is with pango's layout; the FreeType text layer lays out on its own.
  const char* backend = std::getenv("QUORVEL_TEXT_BACKEND");
  if (backend != nullptr && std::string(backend) == "freetype") GTEST_SKIP();

  for (const std::string text : {"Quorvel", "boxes\nbehind text", "HOLD"}) {
    SCOPED_TRACE(text);
    Layer().text = text;
    Layer().font_size = 80;
    Layer().position = headless::Point2{40.25, 30.5};

    TextBounds bounds;
    A_long motion_blur = 0;
    double uniform = 0, width = 0, height = 0, border = 0;
    MeasureTextBounds(&in_data_, motion_blur, ShapeKind::Auto, bounds, false, uniform, width,
                      height, border);
    const InkRect ink = PangoInk(Layer(), text);

    constexpr double kRounding = 0.01;  // pango's extents are whole 1/1024 pixels
    EXPECT_GE(bounds.left, ink.left - kRounding);
    EXPECT_GE(bounds.top, ink.top - kRounding);
    EXPECT_LE(bounds.right, ink.right + kRounding);
    EXPECT_LE(bounds.bottom, ink.bottom + kRounding);
    constexpr double kFewPixels = 3;
    EXPECT_LE(bounds.left - ink.left, kFewPixels);
    EXPECT_LE(bounds.top - ink.top, kFewPixels);
    EXPECT_LE(ink.right - bounds.right, kFewPixels);
    EXPECT_LE(ink.bottom - bounds.bottom, kFewPixels);
  }
  EXPECT_TRUE(Held().Empty()) << Held().Describe();
}

}  // namespace
}  // namespace quorvel
