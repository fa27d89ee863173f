// SPDX-License-Identifier: MIT
// What a host service does with the command in progress on its thread, if any: count what the
// plug-in now holds, apply the faults the test asked for, and record the call.
#pragma once

#include <string>
#include <utility>

#include "headless/instance/call_context.h"

namespace quorvel::headless {

inline void CountHeld(HeldKind kind, int delta) {
  if (CallContext* call = CurrentCall()) call->ledger.Add(kind, delta);
}

// A release of something the plug-in does not hold (unknown, or released already).
inline void NoteUnbalancedRelease() {
  if (CallContext* call = CurrentCall()) call->ledger.NoteUnbalancedRelease();
}

// Keeps why a world was refused, when it is the command's first refusal.
inline void NoteWorldRefusal(const WorldRefusal& refusal) {
  CallContext* call = CurrentCall();
  if (call != nullptr && !call->world_refusal) call->world_refusal = refusal;
}

// Counts one call of that kind; the error it must fail with, or PF_Err_NONE.
inline PF_Err InjectedFault(FailingCall kind) {
  CallContext* call = CurrentCall();
  return call != nullptr ? call->NextCall(kind) : PF_Err_NONE;
}

// Records the entry that make_entry() builds, built only when a log is listening.
template <typename MakeEntry>
void RecordCall(MakeEntry&& make_entry) {
  CallContext* call = CurrentCall();
  if (call != nullptr && call->log != nullptr) call->Record(std::forward<MakeEntry>(make_entry)());
}

}  // namespace quorvel::headless
