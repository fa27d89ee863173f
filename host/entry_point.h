// SPDX-License-Identifier: MIT
// The one function the host calls: every command of every effect instance comes through it.
#pragma once

#include "hostapi/host_api.h"

#if defined(_WIN32)
#define QUORVEL_EXPORT __declspec(dllexport)
#else
#define QUORVEL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QUORVEL_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data,
                                                PF_OutData* out_data, PF_ParamDef* params[],
                                                PF_LayerDef* output, void* extra);
