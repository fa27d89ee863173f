// SPDX-License-Identifier: MIT
// The suites the headless host offers, by name and version, and the host's SPBasicSuite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/host_api.h"

namespace quorvel::headless {

class SuiteRegistry {
 public:
  // The registry of every suite the host implements, built once.
  static const SuiteRegistry& Host();

  void Register(const char* name, int32_t version, const void* table);
  const void* Find(const char* name, int32_t version) const;

 private:
  struct Entry {
    std::string name;
    int32_t version;
    const void* table;
  };
  std::vector<Entry> entries_;
};

// Each group of host services registers its own suites (one function per source file).
void RegisterAnsiSuite(SuiteRegistry& registry);         // "PF ANSI Suite" 1
void RegisterPixelFormatSuite(SuiteRegistry& registry);  // "PF Pixel Format Suite" 1
void RegisterLayerSuites(
    SuiteRegistry& registry);  // PF Interface, Layer, Comp, Text Layer, Path Data
void RegisterPixelSuites(
    SuiteRegistry& registry);  // World, Fill Matte, Handle, Iterate8, World Transform

// The host's basic suite: answers from SuiteRegistry::Host(), applies the current command's
// suite faults, counts acquisitions in its ledger and records them in its log.
SPBasicSuite* HostBasicSuite();

// Utility callbacks filled in by the groups that implement them.
void FillAnsiCallbacks(PF_ANSICallbacks& ansi);
void FillPixelCallbacks(PF_UtilCallbacks& utils);  // iterate, fill, transform_world, handles, ...

}  // namespace quorvel::headless
