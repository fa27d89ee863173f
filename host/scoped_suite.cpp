// SPDX-License-Identifier: MIT
#include "host/scoped_suite.h"

namespace quorvel {

void ReportErrorMessage(PF_InData* in_data, PF_OutData* out_data, const char* message) {
  if (out_data == nullptr) {
    return;
  }
  out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  if (in_data != nullptr && in_data->utils != nullptr && in_data->utils->ansi.sprintf != nullptr) {
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s", message);
  }
}

ScopedSuiteBase::ScopedSuiteBase(PF_InData* in_data, const char* name, int32_t version,
                                 PF_OutData* out_data)
    : in_data_(in_data), out_data_(out_data), name_(name), version_(version) {
  SPBasicSuite* basic = in_data_->pica_basicP;
  const SPErr error =
      basic != nullptr ? basic->AcquireSuite(name_, version_, &suite_) : kSPSuiteNotFoundError;
  if (error != kSPNoError) {
    suite_ = nullptr;
    ReportErrorMessage(in_data_, out_data_, "Not able to acquire AEFX Suite.");
    throw static_cast<PF_Err>(A_Err_MISSING_SUITE);
  }
}

ScopedSuiteBase::~ScopedSuiteBase() {
  if (suite_ == nullptr) {
    return;
  }
  if (in_data_->pica_basicP == nullptr) {
    ReportErrorMessage(in_data_, out_data_, "Not able to release AEFX Suite.");
    return;
  }
  in_data_->pica_basicP->ReleaseSuite(name_, version_);
}

}  // namespace quorvel
