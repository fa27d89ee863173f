// SPDX-License-Identifier: MIT
#include "host/suite_cache.h"

namespace quorvel {
namespace {

struct SuiteId {
  const char* name;
  int32_t version;
};

// Indexed by SuiteCache::Slot; the release order at the end of an operation follows it.
constexpr SuiteId kSuiteIds[] = {
    {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1},
    {kAEGPLayerSuite, kAEGPLayerSuiteVersion5},
    {kAEGPLayerSuite, kAEGPLayerSuiteVersion7},
    {kAEGPCompSuite, kAEGPCompSuiteVersion9},
    {kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1},
    {kPFPathDataSuite, kPFPathDataSuiteVersion1},
    {kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1},
    {kPFHandleSuite, kPFHandleSuiteVersion1},
    {kPFIterate8Suite, kPFIterate8SuiteVersion1},
    {kPFANSISuite, kPFANSISuiteVersion1},
};

}  // namespace

SuiteCache::SuiteCache(SPBasicSuite* basic_suite) : basic_suite_(basic_suite) {
  if (basic_suite_ == nullptr) {
    throw static_cast<PF_Err>(PF_Err_BAD_CALLBACK_PARAM);
  }
}

SuiteCache::~SuiteCache() {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (slots_[slot] != nullptr) {
      basic_suite_->ReleaseSuite(kSuiteIds[slot].name, kSuiteIds[slot].version);
    }
  }
}

const void* SuiteCache::Get(Slot slot) {
  if (slots_[slot] == nullptr) {
    const void* suite = nullptr;
    const SPErr error =
        basic_suite_->AcquireSuite(kSuiteIds[slot].name, kSuiteIds[slot].version, &suite);
    if (error != kSPNoError || suite == nullptr) {
      throw static_cast<PF_Err>(PF_Err_BAD_CALLBACK_PARAM);
    }
    slots_[slot] = suite;
  }
  return slots_[slot];
}

const AEGP_PFInterfaceSuite1* SuiteCache::PFInterfaceSuite() {
  return static_cast<const AEGP_PFInterfaceSuite1*>(Get(kPFInterface));
}
const AEGP_LayerSuite5* SuiteCache::LayerSuite11() {
  return static_cast<const AEGP_LayerSuite5*>(Get(kLayer11));
}
const AEGP_LayerSuite7* SuiteCache::LayerSuite13() {
  return static_cast<const AEGP_LayerSuite7*>(Get(kLayer13));
}
const AEGP_CompSuite9* SuiteCache::CompSuite() {
  return static_cast<const AEGP_CompSuite9*>(Get(kComp));
}
const AEGP_TextLayerSuite1* SuiteCache::TextLayerSuite() {
  return static_cast<const AEGP_TextLayerSuite1*>(Get(kTextLayer));
}
const PF_PathDataSuite1* SuiteCache::PathDataSuite() {
  return static_cast<const PF_PathDataSuite1*>(Get(kPathData));
}
const PF_WorldTransformSuite1* SuiteCache::WorldTransformSuite() {
  return static_cast<const PF_WorldTransformSuite1*>(Get(kWorldTransform));
}
const PF_HandleSuite1* SuiteCache::HandleSuite() {
  return static_cast<const PF_HandleSuite1*>(Get(kHandle));
}
const PF_Iterate8Suite1* SuiteCache::Iterate8Suite() {
  return static_cast<const PF_Iterate8Suite1*>(Get(kIterate8));
}
const PF_ANSICallbacksSuite1* SuiteCache::ANSISuite() {
  return static_cast<const PF_ANSICallbacksSuite1*>(Get(kANSI));
}

}  // namespace quorvel
