// SPDX-License-Identifier: MIT
// One host suite held for the span of a command.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel {

// Acquires at construction and releases at destruction. A refused acquisition shows the
// host's error message (when out_data is given) and is thrown as A_Err_MISSING_SUITE. An
// acquisition that succeeds with a null pointer is kept as it is: callers must check get().
class ScopedSuiteBase {
 public:
  ScopedSuiteBase(PF_InData* in_data, const char* name, int32_t version, PF_OutData* out_data);
  ~ScopedSuiteBase();
  ScopedSuiteBase(const ScopedSuiteBase&) = delete;
  ScopedSuiteBase& operator=(const ScopedSuiteBase&) = delete;

 protected:
  const void* suite_ = nullptr;

 private:
  PF_InData* in_data_;
  PF_OutData* out_data_;
  const char* name_;
  int32_t version_;
};

template <typename Suite>
class ScopedSuite : public ScopedSuiteBase {
 public:
  ScopedSuite(PF_InData* in_data, const char* name, int32_t version, PF_OutData* out_data)
      : ScopedSuiteBase(in_data, name, version, out_data) {}
  const Suite* get() const { return static_cast<const Suite*>(suite_); }
};

// Writes a message for the host to show, with the flag that makes it show it.
void ReportErrorMessage(PF_InData* in_data, PF_OutData* out_data, const char* message);

}  // namespace quorvel
