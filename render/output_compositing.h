// SPDX-License-Identifier: MIT
// Puts the drawn box and the layer's own pixels together in the output, entirely through the
// host's pixel operations: the fill behind the border, the box world placed into the output,
// then the text over it (plainly, matted to the box or cut out of it).
#pragma once

#include "hostapi/host_api.h"
#include "render/matrix3.h"

namespace quorvel {

// Every step composites at full opacity, colour and alpha alike; the steps rewrite `xfer`.
PF_CompositeMode FullOpacityCompositeMode();

// Step 1 (border on only): the fill world behind the border, shifted by half the border width
// so that the fill's outline runs along the middle of the stroke. Straight alpha.
void CompositeFillBehindBorder(PF_InData* in_data, PF_CompositeMode& mode,
                               const PF_EffectWorld* fill_world, PF_EffectWorld* border_world,
                               double border_width);

// Step 2: the box world into the output through one placement matrix, or through two
// (shutter open, then shutter close) for the host to motion-blur between. Straight alpha.
void CompositeBoxIntoOutput(PF_InData* in_data, PF_CompositeMode& mode,
                            const PF_EffectWorld* box_world, const Matrix3* matrices,
                            A_long matrix_count, PF_EffectWorld* output);

// Step 3: the input layer over the output. Subtract (tested first, so it wins over Matte)
// multiplies the box's alpha by one minus the text's; Matte keeps the text only where the
// output (the box) has alpha. Throws PF_Err_BAD_CALLBACK_PARAM when the host has no
// "PF World Transform Suite".
void CompositeTextOverBox(PF_InData* in_data, PF_CompositeMode& mode,
                          const PF_EffectWorld* input_layer, bool matte_text, bool subtract_text,
                          PF_EffectWorld* output);

// One host rectangle transfer, premultiplied, with its own suite cache: the source rectangle
// of `source` goes to (0, 0) of `destination`. Returns the host's result.
PF_Err TransferLayer(PF_InData* in_data, const PF_EffectWorld* source, const PF_CompositeMode* mode,
                     const PF_MaskWorld* mask, const PF_Rect* source_rect,
                     PF_EffectWorld* destination);

}  // namespace quorvel
