// SPDX-License-Identifier: MIT
// Global set-up: what the plug-in tells the host about itself once, after loading.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel {

// Reports version and capability flags and, in Premiere Pro, the one pixel format the effect
// accepts. Never fails.
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace quorvel
