// SPDX-License-Identifier: MIT
#include "render/output_compositing.h"

#include <vector>

#include "host/suite_cache.h"

namespace quorvel {
namespace {

// The world transform's matrices always map source pixels to destination pixels.
constexpr PF_Boolean kSourceToDestination = 1;

}  // namespace

PF_CompositeMode FullOpacityCompositeMode() {
  PF_CompositeMode mode{};
  mode.opacity = 255;
  mode.rgb_only = 0;
  return mode;
}

void CompositeFillBehindBorder(PF_InData* in_data, PF_CompositeMode& mode,
                               const PF_EffectWorld* fill_world, PF_EffectWorld* border_world,
                               double border_width) {
  Matrix3 placement{};
  Matrix3Identity(placement);
  Matrix3Translate(placement, border_width / 2, border_width / 2);
  const PF_FloatMatrix host_matrix = ToHostMatrix(placement);

  mode.xfer = PF_Xfer_BEHIND;
  in_data->utils->transform_world(in_data->effect_ref, in_data->quality, PF_MF_Alpha_STRAIGHT,
                                  in_data->field, fill_world, &mode, nullptr, &host_matrix, 1,
                                  kSourceToDestination, &border_world->extent_hint, border_world);
}

void CompositeBoxIntoOutput(PF_InData* in_data, PF_CompositeMode& mode,
                            const PF_EffectWorld* box_world, const Matrix3* matrices,
                            A_long matrix_count, PF_EffectWorld* output) {
  std::vector<PF_FloatMatrix> host_matrices;
  host_matrices.reserve(static_cast<size_t>(matrix_count));
  for (A_long index = 0; index < matrix_count; ++index) {
    host_matrices.push_back(ToHostMatrix(matrices[index]));
  }

  mode.xfer = PF_Xfer_IN_FRONT;
  in_data->utils->transform_world(in_data->effect_ref, in_data->quality, PF_MF_Alpha_STRAIGHT,
                                  in_data->field, box_world, &mode, nullptr, host_matrices.data(),
                                  matrix_count, kSourceToDestination, &output->extent_hint, output);
}

void CompositeTextOverBox(PF_InData* in_data, PF_CompositeMode& mode,
                          const PF_EffectWorld* input_layer, bool matte_text, bool subtract_text,
                          PF_EffectWorld* output) {
  PF_MaskWorld box_mask{};
  const PF_MaskWorld* mask = nullptr;
  if (subtract_text) {
    mode.xfer = PF_Xfer_MULTIPLY_NOT_ALPHA;
  } else {
    mode.xfer = PF_Xfer_IN_FRONT;
    if (matte_text) {
      // The output as it stands after step 2 holds exactly the placed box.
      box_mask.mask = *output;
      box_mask.offset = PF_Point{0, 0};
      box_mask.what_is_mask = PF_MaskFlag_NONE;
      mask = &box_mask;
    }
  }
  TransferLayer(in_data, input_layer, &mode, mask, &output->extent_hint, output);
}

PF_Err TransferLayer(PF_InData* in_data, const PF_EffectWorld* source, const PF_CompositeMode* mode,
                     const PF_MaskWorld* mask, const PF_Rect* source_rect,
                     PF_EffectWorld* destination) {
  SuiteCache suites(in_data->pica_basicP);
  return suites.WorldTransformSuite()->transfer_rect(
      in_data->effect_ref, in_data->quality, PF_MF_Alpha_PREMUL, in_data->field, source_rect,
      source, mode, mask, 0, 0, destination);
}

}  // namespace quorvel
