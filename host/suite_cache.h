// SPDX-License-Identifier: MIT
// Per-operation, lazily filled access to the host suites that Quorvel uses.
#pragma once

#include <array>

#include "hostapi/host_api.h"

namespace quorvel {

// Acquires each suite the first time an operation asks for it and releases everything it
// acquired when the operation ends, on every path. A suite the host cannot give (an error, or
// success with a null pointer) is thrown as the integer PF_Err_BAD_CALLBACK_PARAM.
class SuiteCache {
 public:
  // Throws PF_Err_BAD_CALLBACK_PARAM when the host gave no basic suite.
  explicit SuiteCache(SPBasicSuite* basic_suite);
  ~SuiteCache();
  SuiteCache(const SuiteCache&) = delete;
  SuiteCache& operator=(const SuiteCache&) = delete;

  const AEGP_PFInterfaceSuite1* PFInterfaceSuite();      // "AEGP PF Interface Suite" 1
  const AEGP_LayerSuite5* LayerSuite11();                // "AEGP Layer Suite" 11
  const AEGP_LayerSuite7* LayerSuite13();                // "AEGP Layer Suite" 13
  const AEGP_CompSuite9* CompSuite();                    // "AEGP Comp Suite" 19
  const AEGP_TextLayerSuite1* TextLayerSuite();          // "AEGP Text Layer Suite" 1
  const PF_PathDataSuite1* PathDataSuite();              // "PF Path Data Suite" 1
  const PF_WorldTransformSuite1* WorldTransformSuite();  // "PF World Transform Suite" 1
  const PF_HandleSuite1* HandleSuite();                  // "PF Handle Suite" 2
  const PF_Iterate8Suite1* Iterate8Suite();              // "PF Iterate8 Suite" 1
  const PF_ANSICallbacksSuite1* ANSISuite();             // "PF ANSI Suite" 1

 private:
  enum Slot {
    kPFInterface,
    kLayer11,
    kLayer13,
    kComp,
    kTextLayer,
    kPathData,
    kWorldTransform,
    kHandle,
    kIterate8,
    kANSI,
    kSlotCount
  };
  const void* Get(Slot slot);

  SPBasicSuite* basic_suite_;
  std::array<const void*, kSlotCount> slots_{};
};

}  // namespace quorvel
