// SPDX-License-Identifier: MIT
// The pixel services as suites and utility callbacks. Every slot is filled: the services the
// plug-in has no use for answer PF_Err_BAD_CALLBACK_PARAM rather than leave a null pointer.
#include <chrono>
#include <cstdint>
#include <string>

#include "headless/instance/call_accounting.h"
#include "headless/pixels/fill.h"
#include "headless/pixels/iterate.h"
#include "headless/pixels/transfer.h"
#include "headless/pixels/transform.h"
#include "headless/pixels/world.h"
#include "headless/suites/handles.h"
#include "headless/suites/suite_registry.h"

namespace quorvel::headless {
namespace {

template <typename Function>
struct Unsupported;

template <typename... Args>
struct Unsupported<PF_Err (*)(Args...)> {
  static PF_Err Call(Args...) {
    RecordCall([] { return std::string("unsupported pixel service"); });
    return PF_Err_BAD_CALLBACK_PARAM;
  }
};

template <typename Function>
constexpr void SetUnsupported(Function& slot) {
  slot = &Unsupported<Function>::Call;
}

// Adds the wall time of its life to one of the command's host-time accounts.
class HostTimeAccount {
 public:
  explicit HostTimeAccount(int64_t CallContext::*account)
      : call_(CurrentCall()), account_(account), start_(std::chrono::steady_clock::now()) {}
  ~HostTimeAccount() {
    if (call_ == nullptr) return;
    call_->*account_ += std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start_)
                            .count();
  }
  HostTimeAccount(const HostTimeAccount&) = delete;
  HostTimeAccount& operator=(const HostTimeAccount&) = delete;

 private:
  CallContext* call_;
  int64_t CallContext::*account_;
  std::chrono::steady_clock::time_point start_;
};

// A service whose wall time goes to one of the command's host-time accounts.
template <typename Signature, Signature Service, int64_t CallContext::*Account>
struct Timed;

template <typename... Args, PF_Err (*Service)(Args...), int64_t CallContext::*Account>
struct Timed<PF_Err (*)(Args...), Service, Account> {
  static PF_Err Call(Args... args) {
    const HostTimeAccount account(Account);
    return Service(args...);
  }
};

template <auto Service, int64_t CallContext::*Account>
constexpr auto TimedService() {
  return &Timed<decltype(Service), Service, Account>::Call;
}

constexpr auto kNewWorld = TimedService<&NewWorld, &CallContext::world_ns>();
constexpr auto kNewWorldWithFlags = TimedService<&NewWorldWithFlags, &CallContext::world_ns>();
constexpr auto kDisposeWorld = TimedService<&DisposeWorld, &CallContext::world_ns>();
constexpr auto kFill = TimedService<&Fill, &CallContext::world_ns>();
constexpr auto kIterate = TimedService<&Iterate, &CallContext::iterate_ns>();
constexpr auto kTransferRect = TimedService<&TransferRect, &CallContext::transfer_rect_ns>();
constexpr auto kTransformWorld = TimedService<&TransformWorld, &CallContext::transform_world_ns>();

constexpr PF_WorldSuite2 MakeWorldSuite() {
  PF_WorldSuite2 suite{};
  suite.PF_NewWorld = kNewWorld;
  suite.PF_DisposeWorld = kDisposeWorld;
  suite.PF_GetPixelFormat = GetPixelFormat;
  return suite;
}

constexpr PF_FillMatteSuite2 MakeFillMatteSuite() {
  PF_FillMatteSuite2 suite{};
  suite.fill = kFill;
  SetUnsupported(suite.fill16);
  SetUnsupported(suite.fill_float);
  SetUnsupported(suite.premultiply);
  SetUnsupported(suite.premultiply_color);
  SetUnsupported(suite.premultiply_color16);
  SetUnsupported(suite.premultiply_color_float);
  return suite;
}

constexpr PF_HandleSuite1 MakeHandleSuite() {
  PF_HandleSuite1 suite{};
  suite.host_new_handle = NewHandle;
  suite.host_lock_handle = LockHandle;
  suite.host_unlock_handle = UnlockHandle;
  suite.host_dispose_handle = DisposeHandle;
  suite.host_get_handle_size = GetHandleSize;
  suite.host_resize_handle = ResizeHandle;
  return suite;
}

constexpr PF_Iterate8Suite1 MakeIterate8Suite() {
  PF_Iterate8Suite1 suite{};
  suite.iterate = kIterate;
  SetUnsupported(suite.iterate_origin);
  SetUnsupported(suite.iterate_lut);
  SetUnsupported(suite.iterate_origin_non_clip_src);
  SetUnsupported(suite.iterate_generic);
  return suite;
}

constexpr PF_WorldTransformSuite1 MakeWorldTransformSuite() {
  PF_WorldTransformSuite1 suite{};
  SetUnsupported(suite.composite_rect);
  SetUnsupported(suite.blend);
  SetUnsupported(suite.convolve);
  SetUnsupported(suite.copy);
  SetUnsupported(suite.copy_hq);
  suite.transfer_rect = kTransferRect;
  suite.transform_world = kTransformWorld;
  return suite;
}

constexpr PF_WorldSuite2 kWorldSuite = MakeWorldSuite();
constexpr PF_FillMatteSuite2 kFillMatteSuite = MakeFillMatteSuite();
constexpr PF_HandleSuite1 kHandleSuite = MakeHandleSuite();
constexpr PF_Iterate8Suite1 kIterate8Suite = MakeIterate8Suite();
constexpr PF_WorldTransformSuite1 kWorldTransformSuite = MakeWorldTransformSuite();

}  // namespace

void RegisterPixelSuites(SuiteRegistry& registry) {
  registry.Register(kPFWorldSuite, kPFWorldSuiteVersion2, &kWorldSuite);
  registry.Register(kPFFillMatteSuite, kPFFillMatteSuiteVersion2, &kFillMatteSuite);
  registry.Register(kPFHandleSuite, kPFHandleSuiteVersion1, &kHandleSuite);
  registry.Register(kPFIterate8Suite, kPFIterate8SuiteVersion1, &kIterate8Suite);
  registry.Register(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, &kWorldTransformSuite);
}

// The pixel slots of the utility callbacks; the ANSI, colour, platform and application slots
// belong to other groups.
void FillPixelCallbacks(PF_UtilCallbacks& utils) {
  SetUnsupported(utils.begin_sampling);
  SetUnsupported(utils.subpixel_sample);
  SetUnsupported(utils.area_sample);
  SetUnsupported(utils.end_sampling);
  SetUnsupported(utils.composite_rect);
  SetUnsupported(utils.blend);
  SetUnsupported(utils.convolve);
  SetUnsupported(utils.copy);
  utils.fill = kFill;
  SetUnsupported(utils.gaussian_kernel);
  utils.iterate = kIterate;
  SetUnsupported(utils.premultiply);
  SetUnsupported(utils.premultiply_color);
  utils.new_world = kNewWorldWithFlags;
  utils.dispose_world = kDisposeWorld;
  SetUnsupported(utils.iterate_origin);
  SetUnsupported(utils.iterate_lut);
  utils.transfer_rect = kTransferRect;
  utils.transform_world = kTransformWorld;
  utils.host_new_handle = NewHandle;
  utils.host_lock_handle = LockHandle;
  utils.host_unlock_handle = UnlockHandle;
  utils.host_dispose_handle = DisposeHandle;
  utils.host_get_handle_size = GetHandleSize;
  SetUnsupported(utils.iterate_origin_non_clip_src);
  SetUnsupported(utils.iterate_generic);
  utils.host_resize_handle = ResizeHandle;
  SetUnsupported(utils.subpixel_sample16);
  SetUnsupported(utils.area_sample16);
  SetUnsupported(utils.fill16);
  SetUnsupported(utils.premultiply_color16);
  SetUnsupported(utils.iterate16);
  SetUnsupported(utils.iterate_origin16);
  SetUnsupported(utils.iterate_origin_non_clip_src16);
  utils.get_pixel_data8 = GetPixelData8;
  SetUnsupported(utils.get_pixel_data16);
}

}  // namespace quorvel::headless
