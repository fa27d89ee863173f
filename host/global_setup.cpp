// SPDX-License-Identifier: MIT
#include "host/global_setup.h"

#include "host/plugin_identity.h"

namespace quorvel {
namespace {

// Premiere Pro's pixel format suite, held for the registration only. Unlike SuiteCache and
// ScopedSuite a missing suite is not an error here: the effect then simply registers nothing.
class PixelFormatSuiteLease {
 public:
  explicit PixelFormatSuiteLease(SPBasicSuite* basic_suite) : basic_suite_(basic_suite) {
    if (basic_suite_ == nullptr) {
      return;
    }
    const void* suite = nullptr;
    if (basic_suite_->AcquireSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, &suite) ==
        kSPNoError) {
      suite_ = static_cast<const PF_PixelFormatSuite1*>(suite);
    }
  }
  // A success without a table counts as no suite, as in SuiteCache: nothing to release.
  ~PixelFormatSuiteLease() {
    if (suite_ != nullptr) {
      basic_suite_->ReleaseSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1);
    }
  }
  PixelFormatSuiteLease(const PixelFormatSuiteLease&) = delete;
  PixelFormatSuiteLease& operator=(const PixelFormatSuiteLease&) = delete;

  const PF_PixelFormatSuite1* get() const { return suite_; }

 private:
  SPBasicSuite* basic_suite_;
  const PF_PixelFormatSuite1* suite_ = nullptr;
};

}  // namespace

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
  out_data->my_version = kMyVersion;
  out_data->out_flags = static_cast<PF_OutFlags>(kGlobalOutFlags);
  out_data->out_flags2 = static_cast<PF_OutFlags2>(kGlobalOutFlags2);

  if (in_data->appl_id == kPremiereApplicationId) {
    const PixelFormatSuiteLease lease(in_data->pica_basicP);
    if (lease.get() != nullptr) {
      // The results are not examined: there is nothing the effect could do differently.
      lease.get()->ClearSupportedPixelFormats(in_data->effect_ref);
      lease.get()->AddSupportedPixelFormat(in_data->effect_ref, PrPixelFormat_BGRA_4444_8u);
    }
  }
  return PF_Err_NONE;
}

}  // namespace quorvel
