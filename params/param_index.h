// SPDX-License-Identifier: MIT
// Positions of the effect's parameters in the host's params array, and the popup values.
//
// The enumerations are unscoped, so that their values index the params array and compare with
// the host's 32-bit popup values as they are (params[ParamIndex::Shape]). Each lives in a
// namespace of its own and is named through its type, so the enumerators don't spill into
// quorvel (AnchorX::Center and AnchorY::Center are different values of different types).
#pragma once

#include <cstdint>

namespace quorvel {

namespace param_index {
// For parameters 1 to 26 the position is also the parameter's id.
enum ParamIndex : int32_t {
  InputLayer = 0,  // added by the host
  Shape,
  Roundness,
  ExpansionUniform,
  ExpansionWidth,
  ExpansionHeight,
  FillColor,
  FillOpacity,
  TransformGroupStart,
  Position,
  Rotation,
  UniformScale,
  ScaleWidth,
  ScaleHeight,
  SkewX,
  SkewY,
  AnchorPointX,
  AnchorPointY,
  TransformGroupEnd,
  MatteTextToFill,
  SubtractTextFromFill,
  BorderGroupStart,
  EnableBorder,
  BorderWidth,
  BorderColor,
  BorderOpacity,
  BorderGroupEnd,
  Count  // the number of parameters the host holds, the input layer included
};
}  // namespace param_index
using param_index::ParamIndex;

// Popup values; the host numbers popup choices from 1.
namespace shape_kind {
enum ShapeKind : int32_t { Auto = 1, Square, Circle };
}  // namespace shape_kind
using shape_kind::ShapeKind;

namespace anchor_x {
enum AnchorX : int32_t { Left = 1, Center, Right };
}  // namespace anchor_x
using anchor_x::AnchorX;

namespace anchor_y {
enum AnchorY : int32_t { Top = 1, Center, Bottom };
}  // namespace anchor_y
using anchor_y::AnchorY;

}  // namespace quorvel
