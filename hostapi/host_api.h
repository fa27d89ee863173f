// SPDX-License-Identifier: MIT
// The one header through which every other part of Quorvel sees the host interface.
//
// By default it declares the interface itself (ae_types.h, ae_records.h, ae_suites.h), under
// the published names and with the published layouts. Built with QUORVEL_AE_SDK_DIR, it
// includes the vendor's own headers instead, so the same code compiles against them.
#pragma once

#if defined(QUORVEL_USE_AE_SDK)
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "Param_Utils.h"
#include "PrSDKAESupport.h"
#include "SPBasic.h"
#else
#include "hostapi/ae_records.h"
#include "hostapi/ae_suites.h"
#include "hostapi/ae_types.h"
#endif
