// SPDX-License-Identifier: MIT
#include "headless/instance/host_callbacks.h"

#include <string>

#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"

namespace quorvel::headless {
namespace {

// Utility callbacks this host does not offer answer with an error, so that a plug-in calling
// one learns it at once instead of calling through a null pointer.
struct UnofferedUtilities {
  static PF_Err GetCallbackAddr(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_CallbackID,
                                PF_CallbackFunc* function) {
    if (function != nullptr) *function = nullptr;
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  static PF_Err App(PF_ProgPtr, A_long, ...) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err GetPlatformData(PF_ProgPtr, PF_PlatDataID, void*) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  static PF_Err RgbToHls(PF_ProgPtr, PF_Pixel*, PF_HLS_Pixel) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err HlsToRgb(PF_ProgPtr, PF_HLS_Pixel, PF_Pixel*) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err RgbToYiq(PF_ProgPtr, PF_Pixel*, PF_YIQ_Pixel) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err YiqToRgb(PF_ProgPtr, PF_YIQ_Pixel, PF_Pixel*) { return PF_Err_BAD_CALLBACK_PARAM; }
  static PF_Err PixelMeasure(PF_ProgPtr, PF_Pixel*, A_long*) { return PF_Err_BAD_CALLBACK_PARAM; }
};

}  // namespace

struct HostCallbacks {
  static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDef* def) {
    EffectInstance* instance = EffectInstance::FromEffectRef(effect_ref);
    CallContext* call = CurrentCall();
    if (call != nullptr) {
      call->Record("add_param " + std::to_string(index) + " id " +
                   (def != nullptr ? std::to_string(def->uu.id) : std::string("?")));
      if (const PF_Err fault = call->NextCall(FailingCall::kAddParam)) return fault;
    }
    if (instance == nullptr || def == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    // Parameters are registered during parameter set-up only.
    if (call == nullptr || call->command != PF_Cmd_PARAMS_SETUP) return PF_Err_BAD_CALLBACK_PARAM;
    return instance->AddParam(index, *def);
  }

  static PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                              A_long /*time_step*/, A_u_long time_scale, PF_ParamDef* param) {
    CallContext* call = CurrentCall();
    if (call != nullptr) {
      call->Record("checkout_param " + std::to_string(index) + " " + std::to_string(what_time));
      if (const PF_Err fault = call->NextCall(FailingCall::kCheckoutParam)) return fault;
    }
    const EffectInstance* instance = EffectInstance::FromEffectRef(effect_ref);
    if (instance == nullptr || param == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Err err = instance->CheckoutParam(index, what_time, time_scale, *param);
    if (err == PF_Err_NONE && call != nullptr) call->ledger.Add(HeldKind::kCheckedOutParam, +1);
    return err;
  }

  static PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    CallContext* call = CurrentCall();
    if (call != nullptr) {
      call->Record("checkin_param " +
                   (param != nullptr ? std::to_string(param->uu.id) : std::string("?")));
    }
    if (EffectInstance::FromEffectRef(effect_ref) == nullptr || param == nullptr) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (call != nullptr) {
      // A check-in with nothing checked out is recorded, not hidden.
      if (call->ledger.Held(HeldKind::kCheckedOutParam) <= 0) call->ledger.NoteUnbalancedRelease();
      call->ledger.Add(HeldKind::kCheckedOutParam, -1);
    }
    return PF_Err_NONE;
  }

  static PF_Err Abort(PF_ProgPtr) { return PF_Err_NONE; }
  static PF_Err Progress(PF_ProgPtr, A_long, A_long) { return PF_Err_NONE; }
};

void FillInteractCallbacks(PF_InteractCallbacks& inter) {
  inter.checkout_param = HostCallbacks::CheckoutParam;
  inter.checkin_param = HostCallbacks::CheckinParam;
  inter.add_param = HostCallbacks::AddParam;
  inter.abort = HostCallbacks::Abort;
  inter.progress = HostCallbacks::Progress;
}

void FillUnofferedUtilities(PF_UtilCallbacks& utils) {
  utils.get_callback_addr = UnofferedUtilities::GetCallbackAddr;
  utils.app = UnofferedUtilities::App;
  utils.get_platform_data = UnofferedUtilities::GetPlatformData;
  utils.colorCB = {UnofferedUtilities::RgbToHls,     UnofferedUtilities::HlsToRgb,
                   UnofferedUtilities::RgbToYiq,     UnofferedUtilities::YiqToRgb,
                   UnofferedUtilities::PixelMeasure, UnofferedUtilities::PixelMeasure,
                   UnofferedUtilities::PixelMeasure, UnofferedUtilities::PixelMeasure};
}

}  // namespace quorvel::headless
