// SPDX-License-Identifier: MIT
// Who the plug-in is to the host. Global set-up, the about text and the PiPL all read these,
// so the version and flags the host sees at load time and at set-up cannot drift apart.
#pragma once

#include <cstdint>

#include "hostapi/host_api.h"

namespace quorvel {

inline constexpr char kEffectName[] = "Quorvel";
inline constexpr char kEffectCategory[] = "Ostrevane";
inline constexpr char kEffectMatchName[] = "KQZV";
inline constexpr char kEntryPointName[] = "EntryPointFunc";

// Packed as the host packs versions: bits 19-21 major, 15-18 minor, 11-14 fix, 9-10 stage,
// 0-8 build. This is 1.2.0, stage 0, build 1.
inline constexpr uint32_t kMyVersion = 0x00090001;
inline constexpr int kVersionMajor = static_cast<int>((kMyVersion >> 19) & 0x7u);
inline constexpr int kVersionMinor = static_cast<int>((kMyVersion >> 15) & 0xFu);
static_assert(kVersionMajor == 1 && kVersionMinor == 2, "the effect is version 1.2");

// The output follows the layer's text (no parameter), stays within the output extent and
// samples the shutter-open and shutter-close instants.
inline constexpr uint32_t kGlobalOutFlags =
    PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_I_USE_SHUTTER_ANGLE;
static_assert(kGlobalOutFlags == 0x00080044u, "global out flags");
inline constexpr uint32_t kGlobalOutFlags2 = 0;

// appl_id of Premiere Pro, the four characters "PrMr".
inline constexpr int32_t kPremiereApplicationId = 0x50724d72;

}  // namespace quorvel
