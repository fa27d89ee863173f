// SPDX-License-Identifier: MIT
// Handles: blocks of host memory the plug-in asks for by size ("PF Handle Suite", version value
// 2, and the handle callbacks of utils). A PF_Handle points at the block's current address.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel::headless {

// The largest handle this host gives; larger requests get no handle rather than an abort.
inline constexpr A_HandleSize kMaxHandleSize = A_HandleSize{1} << 32;

// A new zero-filled handle, or null (size over kMaxHandleSize, out of memory, or a fault the
// test asked for). Counted as held until disposed of.
PF_Handle NewHandle(A_HandleSize size);
// The block's address, or null for a handle that is not live.
void* LockHandle(PF_Handle handle);
void UnlockHandle(PF_Handle handle);
// Frees a live handle; anything else is noted as an unbalanced release and otherwise ignored.
void DisposeHandle(PF_Handle handle);
// The size asked for, or 0 for a handle that is not live.
A_HandleSize GetHandleSize(PF_Handle handle);
// Gives the handle a new size, keeping its contents (new bytes are zero). A locked handle is
// refused (PF_Err_BAD_CALLBACK_PARAM), since its memory may move; a size over kMaxHandleSize
// or a failed allocation is PF_Err_OUT_OF_MEMORY and leaves the handle as it was.
PF_Err ResizeHandle(A_HandleSize new_size, PF_Handle* handle);

}  // namespace quorvel::headless
