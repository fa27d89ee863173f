// SPDX-License-Identifier: MIT
#include "headless/suites/suite_registry.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"

namespace quorvel::headless {
namespace {

std::string SuiteLabel(const char* name, int32_t version) {
  return std::string(name) + " " + std::to_string(version);
}

// The Premiere Pro pixel format table exists only in Premiere Pro; After Effects answers the
// same name with a different table, so an instance posing as After Effects is refused it.
bool OfferedToCurrentCall(const char* name, int32_t version) {
  if (std::strcmp(name, kPFPixelFormatSuite) != 0 || version != kPFPixelFormatSuiteVersion1) {
    return true;
  }
  const CallContext* call = CurrentCall();
  return call != nullptr && call->instance != nullptr &&
         call->instance->options().application == kApplicationPremierePro;
}

SPErr AcquireSuite(const char* name, int32_t version, const void** suite) {
  if (suite == nullptr) return kSPBadParameterError;
  *suite = nullptr;
  if (name == nullptr) return kSPBadParameterError;

  CallContext* call = CurrentCall();
  if (call != nullptr) call->Record("AcquireSuite " + SuiteLabel(name, version));

  const void* table = SuiteRegistry::Host().Find(name, version);
  if (table == nullptr || !OfferedToCurrentCall(name, version)) return kSPSuiteNotFoundError;

  if (call != nullptr && call->faults != nullptr) {
    if (const auto fault = call->faults->SuiteFault(name, version)) {
      return *fault == SuiteFaultMode::kError ? kSPSuiteNotFoundError : kSPNoError;
    }
  }
  *suite = table;
  if (call != nullptr) {
    call->ledger.Add(HeldKind::kSuite, +1);
    call->CountSuite(name, version, +1);
  }
  return kSPNoError;
}

SPErr ReleaseSuite(const char* name, int32_t version) {
  if (name == nullptr) return kSPBadParameterError;
  CallContext* call = CurrentCall();
  if (call != nullptr) {
    call->Record("ReleaseSuite " + SuiteLabel(name, version));
    // Counted even for a suite the host does not know, so that an over-release shows.
    call->ledger.Add(HeldKind::kSuite, -1);
    if (call->CountSuite(name, version, -1) <= 0) call->ledger.NoteUnbalancedRelease();
  }
  return SuiteRegistry::Host().Find(name, version) != nullptr ? kSPNoError : kSPSuiteNotFoundError;
}

SPBoolean IsEqual(const char* token1, const char* token2) {
  if (token1 == nullptr || token2 == nullptr) return 0;
  return std::strcmp(token1, token2) == 0 ? 1 : 0;
}

SPErr AllocateBlock(size_t size, void** block) {
  if (block == nullptr) return kSPBadParameterError;
  *block = std::malloc(size == 0 ? 1 : size);
  return *block != nullptr ? kSPNoError : kSPOutOfMemoryError;
}

SPErr FreeBlock(void* block) {
  std::free(block);
  return kSPNoError;
}

SPErr ReallocateBlock(void* block, size_t new_size, void** new_block) {
  if (new_block == nullptr) return kSPBadParameterError;
  void* grown = std::realloc(block, new_size == 0 ? 1 : new_size);
  if (grown == nullptr) return kSPOutOfMemoryError;
  *new_block = grown;
  return kSPNoError;
}

SPErr Undefined() {
  return kSPUnimplementedError;
}

}  // namespace

const SuiteRegistry& SuiteRegistry::Host() {
  // A function-local static is built once, and safely when several threads ask first.
  static const SuiteRegistry registry = [] {
    SuiteRegistry built;
    RegisterAnsiSuite(built);
    RegisterPixelFormatSuite(built);
    RegisterLayerSuites(built);
    RegisterPixelSuites(built);
    return built;
  }();
  return registry;
}

void SuiteRegistry::Register(const char* name, int32_t version, const void* table) {
  for (auto& entry : entries_) {
    if (entry.version == version && entry.name == name) {
      entry.table = table;
      return;
    }
  }
  entries_.push_back({name, version, table});
}

const void* SuiteRegistry::Find(const char* name, int32_t version) const {
  if (name == nullptr) return nullptr;
  for (const auto& entry : entries_) {
    if (entry.version == version && entry.name == name) return entry.table;
  }
  return nullptr;
}

SPBasicSuite* HostBasicSuite() {
  static SPBasicSuite suite = {AcquireSuite, ReleaseSuite,    IsEqual,  AllocateBlock,
                               FreeBlock,    ReallocateBlock, Undefined};
  return &suite;
}

}  // namespace quorvel::headless
