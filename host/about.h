// SPDX-License-Identifier: MIT
// The about command: the text the host shows for the effect.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel {

// Writes "Quorvel, v1.2", a carriage return and the description into return_msg. Premiere Pro
// shows its own about box, so there the record is left alone. Throws PF_Err_BAD_CALLBACK_PARAM
// when the host has no basic suite or no ANSI suite.
PF_Err About(PF_InData* in_data, PF_OutData* out_data);

}  // namespace quorvel
