// SPDX-License-Identifier: MIT
#include "headless/suite_registry.h"

namespace quorvel::headless {

void RegisterPixelSuites(SuiteRegistry&) {}
void FillPixelCallbacks(PF_UtilCallbacks&) {}

}  // namespace quorvel::headless
