// SPDX-License-Identifier: MIT
// The callbacks of PF_InData that reach the instance through effect_ref: checkout_param,
// checkin_param, add_param, abort and progress; and the utility callbacks this host does not
// offer, which answer with an error.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel::headless {

void FillInteractCallbacks(PF_InteractCallbacks& inter);
void FillUnofferedUtilities(PF_UtilCallbacks& utils);

}  // namespace quorvel::headless
