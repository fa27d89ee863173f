// SPDX-License-Identifier: MIT
#include "headless/suite_registry.h"

namespace quorvel::headless {

void RegisterLayerSuites(SuiteRegistry&) {}

}  // namespace quorvel::headless
