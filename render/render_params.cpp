// SPDX-License-Identifier: MIT
#include "render/render_params.h"

#include <array>

#include "text/text_outline_query.h"

namespace quorvel {
namespace {

constexpr double kFixedOne = 65536.0;
constexpr double kPercent = 0.01;
constexpr double kSkewPerUnit = 0.1;

// The transform parameters, in the order in which they are checked out and back in.
constexpr std::array<ParamIndex, 6> kTransformParams = {
    ParamIndex::Position,    ParamIndex::Rotation, ParamIndex::ScaleWidth,
    ParamIndex::ScaleHeight, ParamIndex::SkewX,    ParamIndex::SkewY};

// The six transform parameters checked out at one time, checked back in (in the same order)
// when it ends. A refused checkout reads as zero and is not checked in: the host never lent
// that parameter, and handing it back would release something it does not hold.
class CheckedOutTransform {
 public:
  CheckedOutTransform(PF_InData* in_data, A_long time) : in_data_(in_data) {
    for (size_t i = 0; i < kTransformParams.size(); ++i) {
      const PF_Err err =
          in_data_->inter.checkout_param(in_data_->effect_ref, kTransformParams[i], time,
                                         in_data_->time_step, in_data_->time_scale, &records_[i]);
      checked_out_[i] = err == PF_Err_NONE;
      if (!checked_out_[i]) records_[i] = PF_ParamDef{};
    }
  }
  ~CheckedOutTransform() {
    for (size_t i = 0; i < records_.size(); ++i) {
      if (checked_out_[i]) in_data_->inter.checkin_param(in_data_->effect_ref, &records_[i]);
    }
  }
  CheckedOutTransform(const CheckedOutTransform&) = delete;
  CheckedOutTransform& operator=(const CheckedOutTransform&) = delete;

  TransformSample Sample() const {
    TransformSample sample{};
    sample.position_x = records_[0].u.td.x_value / kFixedOne;
    sample.position_y = records_[0].u.td.y_value / kFixedOne;
    sample.rotation = records_[1].u.ad.value / kFixedOne;
    sample.scale_x = records_[2].u.fs_d.value * kPercent;
    sample.scale_y = records_[3].u.fs_d.value * kPercent;
    sample.skew_x = records_[4].u.fs_d.value * kSkewPerUnit;
    sample.skew_y = records_[5].u.fs_d.value * kSkewPerUnit;
    return sample;
  }

 private:
  PF_InData* in_data_;
  std::array<PF_ParamDef, kTransformParams.size()> records_{};
  std::array<bool, kTransformParams.size()> checked_out_{};
};

TransformSample SampleTransformAt(PF_InData* in_data, A_long time) {
  const CheckedOutTransform checked_out(in_data, time);
  return checked_out.Sample();
}

}  // namespace

void ReadRenderParams(PF_InData* in_data, PF_ParamDef* params[], RenderParams& render_params) {
  const ShutterInstants instants = ComputeShutterInstants(*in_data);
  render_params.open_sample = SampleTransformAt(in_data, instants.open);
  render_params.close_sample = SampleTransformAt(in_data, instants.close);

  render_params.uniform_scale = params[ParamIndex::UniformScale]->u.bd.value;
  if (render_params.uniform_scale != 0) {
    render_params.open_sample.scale_y = render_params.open_sample.scale_x;
    render_params.close_sample.scale_y = render_params.close_sample.scale_x;
  }
  render_params.anchor_x = static_cast<AnchorX>(params[ParamIndex::AnchorPointX]->u.pd.value);
  render_params.anchor_y = static_cast<AnchorY>(params[ParamIndex::AnchorPointY]->u.pd.value);
  render_params.shape = static_cast<ShapeKind>(params[ParamIndex::Shape]->u.pd.value);
  const double roundness = params[ParamIndex::Roundness]->u.fs_d.value;
  render_params.input_layer = params[ParamIndex::InputLayer]->u.ld;
  render_params.fill_opacity = params[ParamIndex::FillOpacity]->u.fs_d.value * kPercent;
  render_params.expansion_uniform = params[ParamIndex::ExpansionUniform]->u.fs_d.value;
  render_params.expansion_width = params[ParamIndex::ExpansionWidth]->u.fs_d.value;
  render_params.expansion_height = params[ParamIndex::ExpansionHeight]->u.fs_d.value;
  render_params.matte_text = params[ParamIndex::MatteTextToFill]->u.bd.value;
  render_params.subtract_text = params[ParamIndex::SubtractTextFromFill]->u.bd.value;
  render_params.border_enabled = params[ParamIndex::EnableBorder]->u.bd.value;
  render_params.border_width = params[ParamIndex::BorderWidth]->u.fs_d.value;
  render_params.border_opacity = params[ParamIndex::BorderOpacity]->u.fs_d.value * kPercent;
  render_params.roundness_factor = RemapRoundness(roundness);
  render_params.fill_color = params[ParamIndex::FillColor]->u.cd.value;
  render_params.border_color = params[ParamIndex::BorderColor]->u.cd.value;
}

}  // namespace quorvel
