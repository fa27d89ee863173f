// SPDX-License-Identifier: MIT
#include "host/entry_point.h"

#include <new>

#include "host/about.h"
#include "host/global_setup.h"
#include "params/params_setup.h"
#include "render/render_driver.h"

namespace quorvel {
namespace {

PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output) {
  switch (cmd) {
    case PF_Cmd_ABOUT:
      return About(in_data, out_data);
    case PF_Cmd_GLOBAL_SETUP:
      return GlobalSetup(in_data, out_data);
    case PF_Cmd_PARAMS_SETUP:
      return ParamsSetup(in_data, out_data);
    case PF_Cmd_RENDER:
      return Render(in_data, out_data, params, output);
    default:
      return PF_Err_NONE;
  }
}

}  // namespace
}  // namespace quorvel

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* /*extra*/) {
  // Handlers report a failure by throwing the host error code; no exception may cross into
  // the host, which is C and cannot unwind C++ frames.
  try {
    return quorvel::Dispatch(cmd, in_data, out_data, params, output);
  } catch (PF_Err error) {
    return error;
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  } catch (...) {
    // The interface has no code for an unexpected failure inside a plug-in; this one says
    // the command failed for an internal reason, not because of the host's input or memory.
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}
