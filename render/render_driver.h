// SPDX-License-Identifier: MIT
// The render command: one frame from the host's records to the output world.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel {

PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);

}  // namespace quorvel
