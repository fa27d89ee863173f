// SPDX-License-Identifier: MIT
// Parameter set-up: the effect's 26 parameters, registered with the host in order.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel {

// Adds the parameters with add_param and sets num_params. The first failing add_param ends
// set-up with its result; the parameters added before it stay added and num_params is not set.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace quorvel
