// SPDX-License-Identifier: MIT
// "PF Pixel Format Suite" 1, the Premiere Pro table: an effect lists the pixel formats it
// accepts during global set-up. Offered only to instances that run as Premiere Pro
// (HostBasicSuite refuses it otherwise).
#include <cstdio>

#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"
#include "headless/suites/suite_registry.h"

namespace quorvel::headless {

struct PixelFormatCallbacks {
  static PF_Err Add(PF_ProgPtr effect_ref, PrPixelFormat format) {
    char entry[64];
    std::snprintf(entry, sizeof entry, "AddSupportedPixelFormat 0x%08x",
                  static_cast<unsigned>(format));
    if (CallContext* call = CurrentCall()) call->Record(entry);
    EffectInstance* instance = EffectInstance::FromEffectRef(effect_ref);
    if (instance == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    instance->AddSupportedPixelFormat(format);
    return PF_Err_NONE;
  }

  static PF_Err Clear(PF_ProgPtr effect_ref) {
    if (CallContext* call = CurrentCall()) call->Record("ClearSupportedPixelFormats");
    EffectInstance* instance = EffectInstance::FromEffectRef(effect_ref);
    if (instance == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    instance->ClearSupportedPixelFormats();
    return PF_Err_NONE;
  }

  // Worlds of other pixel formats and colour conversions: not offered by this host.
  static PF_Err NewWorld(PF_ProgPtr, A_u_long, A_u_long, PF_NewWorldFlags, PrPixelFormat,
                         PF_EffectWorld*) {
    return PF_Err_INVALID_CALLBACK;
  }
  static PF_Err DisposeWorld(PF_ProgPtr, PF_EffectWorld*) { return PF_Err_INVALID_CALLBACK; }
  static PF_Err GetPixelFormat(PF_EffectWorld*, PrPixelFormat*) { return PF_Err_INVALID_CALLBACK; }
  static PF_Err GetBlack(const PrPixelFormat, void*) { return PF_Err_INVALID_CALLBACK; }
  static PF_Err GetWhite(const PrPixelFormat, void*) { return PF_Err_INVALID_CALLBACK; }
  static PF_Err ConvertColor(const PrPixelFormat, const float, const float, const float,
                             const float, void*) {
    return PF_Err_INVALID_CALLBACK;
  }
};

namespace {
const PF_PixelFormatSuite1 kPixelFormatSuite = {PixelFormatCallbacks::Add,
                                                PixelFormatCallbacks::Clear,
                                                PixelFormatCallbacks::NewWorld,
                                                PixelFormatCallbacks::DisposeWorld,
                                                PixelFormatCallbacks::GetPixelFormat,
                                                PixelFormatCallbacks::GetBlack,
                                                PixelFormatCallbacks::GetWhite,
                                                PixelFormatCallbacks::ConvertColor};
}  // namespace

void RegisterPixelFormatSuite(SuiteRegistry& registry) {
  registry.Register(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, &kPixelFormatSuite);
}

}  // namespace quorvel::headless
