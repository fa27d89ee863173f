// SPDX-License-Identifier: MIT
// The one header through which every other part of Quorvel sees the host interface.
//
// By default it declares the interface itself (ae_types.h, ae_records.h, ae_suites.h), under
// the published names and with the published layouts. Built with QUORVEL_AE_SDK_DIR, it
// includes the vendor's own headers instead, so the same code compiles against them.
#pragma once

#if defined(QUORVEL_USE_AE_SDK)

// The vendor's headers know Windows and macOS only. Elsewhere than macOS we build against
// their Windows branch, whose layouts are those of x86-64 Linux as well, and define what a
// Windows project of theirs would: their platform configuration first, then the symbols that
// select the branch in the headers that do not read it.
#if defined(_WIN32) || defined(__APPLE__)
#include "AEConfig.h"
#else
// AEConfig.h recognises Windows by _WIN32 alone; it is defined only while that file is read.
#define _WIN32 1
#include "AEConfig.h"
#undef _WIN32
#define QUORVEL_RESERVED_DEFINED_INT64
#define __int64 long long
#endif
#if defined(AE_OS_WIN)
#if !defined(_WINDOWS)
#define QUORVEL_RESERVED_DEFINED_WINDOWS
#define _WINDOWS 1
#endif
#if !defined(MSWindows)
#define MSWindows 1
#endif
#endif

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "Param_Utils.h"
#include "PrSDKAESupport.h"
#include "SPBasic.h"

// Only the vendor's headers needed these; our own code and the system's never see them.
#if defined(QUORVEL_RESERVED_DEFINED_WINDOWS)
#undef _WINDOWS
#undef QUORVEL_RESERVED_DEFINED_WINDOWS
#endif
#if defined(QUORVEL_RESERVED_DEFINED_INT64)
#undef __int64
#undef QUORVEL_RESERVED_DEFINED_INT64
#endif

#else
#include "hostapi/ae_records.h"
#include "hostapi/ae_suites.h"
#include "hostapi/ae_types.h"
#endif

#include "hostapi/layout_pins.h"
