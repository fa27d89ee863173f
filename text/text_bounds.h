// SPDX-License-Identifier: MIT
// Measures the text outlines of the effect's layer into the box to be drawn behind them.
#pragma once

#include "hostapi/host_api.h"
#include "params/param_index.h"
#include "text/text_outline_query.h"

namespace quorvel {

// One measurement of the text box. Doubles are pixels at render resolution in the layer's own
// coordinate space. Every field starts at zero.
struct TextBounds {
  double left = 0;
  double right = 0;
  double top = 0;
  double bottom = 0;
  double width = 0;     // text width plus expansion; the larger side for Square and Circle
  double height = 0;    // text height plus expansion; the larger side for Square and Circle
  double growth_x = 0;  // 0, or minus the amount by which squaring widened the box
  double growth_y = 0;  // 0, or minus the amount by which squaring heightened the box
  A_long pixel_width = 0;
  A_long pixel_height = 0;
  bool wider = false;  // text plus expansion strictly wider than tall, before squaring
};

// Keeps the smallest and largest vertex coordinates of a walk in a record's left, right, top
// and bottom. The first vertex of the walk sets all four; later ones only widen them.
class TextBoundsAccumulator final : public VertexSink {
 public:
  explicit TextBoundsAccumulator(TextBounds& bounds) : bounds_(bounds) {}
  void Vertex(double x, double y, bool first) override;

 private:
  TextBounds& bounds_;
};

// A host downsample ratio as a factor: numerator and denominator each converted to single
// precision and divided in single precision, then widened (1/3 gives 0.3333333432674408). A
// zero denominator, which no ratio can have, counts as full resolution (factor 1).
double DownsampleFactor(const PF_RationalScale& ratio);

// The ceiling of a size as a 32-bit count of whole pixels. A value outside the 32-bit range,
// or NaN, gives -2147483648, which every caller reads as "nothing to draw".
A_long WholePixels(double size);

// A whole-pixel count multiplied by a downsample factor and truncated toward zero. A product
// outside the 32-bit range gives -2147483648, as WholePixels does.
A_long ScaleWholePixels(A_long pixels, double factor);

// Measures the layer's text at the shutter-open instant (at_shutter_open) or the shutter-close
// instant into `bounds`, which is cleared first. The four referenced values are the
// full-resolution values of Expansion Uniform, Expansion Width, Expansion Height and Border
// Width. The shutter-close measurement limits the border width to the box's larger side and
// writes all four back at render resolution; the shutter-open measurement leaves them alone.
// Throws PF_Err_BAD_CALLBACK_PARAM when a host suite is missing.
void MeasureTextBounds(PF_InData* in_data, A_long& motion_blur_flag, ShapeKind shape,
                       TextBounds& bounds, bool at_shutter_open, double& expansion_uniform,
                       double& expansion_width, double& expansion_height, double& border_width);

}  // namespace quorvel
