// SPDX-License-Identifier: MIT
// "PF ANSI Suite" 1 and the ANSI utility callbacks: the C library, as the host lends it.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "headless/instance/call_context.h"
#include "headless/suites/suite_registry.h"

namespace quorvel::headless {
namespace {

// The plug-in passes no buffer sizes, so the host bounds each write by the largest buffer
// the interface hands out for it: sprintf goes into return_msg (PF_MAX_EFFECT_MSG_LEN + 1
// bytes), strcpy into a parameter name (PF_MAX_EFFECT_PARAM_NAME_LEN + 1 bytes). Longer
// results are cut and stay NUL-terminated.
constexpr size_t kSprintfLimit = PF_MAX_EFFECT_MSG_LEN + 1;
constexpr size_t kStrcpyLimit = PF_MAX_EFFECT_PARAM_NAME_LEN + 1;

void RecordCall(const char* entry) {
  if (CallContext* call = CurrentCall()) call->Record(entry);
}

int BoundedSprintf(A_char* destination, const A_char* format, ...) {
  RecordCall("sprintf");
  if (destination == nullptr || format == nullptr) return -1;
  va_list arguments;
  va_start(arguments, format);
  const int wanted = std::vsnprintf(destination, kSprintfLimit, format, arguments);
  va_end(arguments);
  if (wanted < 0) {
    destination[0] = '\0';
    return wanted;
  }
  // Like sprintf, report the characters actually written.
  return static_cast<size_t>(wanted) < kSprintfLimit ? wanted : static_cast<int>(kSprintfLimit - 1);
}

A_char* BoundedStrcpy(A_char* destination, const A_char* source) {
  RecordCall("strcpy");
  if (destination == nullptr) return destination;
  if (source == nullptr) {
    destination[0] = '\0';
    return destination;
  }
  const size_t length = strnlen(source, kStrcpyLimit - 1);
  std::memmove(destination, source, length);
  destination[length] = '\0';
  return destination;
}

// The C library's functions, as the host's own.
const PF_ANSICallbacksSuite1 kAnsiSuite = {[](A_FpLong x) { return std::atan(x); },
                                           [](A_FpLong y, A_FpLong x) { return std::atan2(y, x); },
                                           [](A_FpLong x) { return std::ceil(x); },
                                           [](A_FpLong x) { return std::cos(x); },
                                           [](A_FpLong x) { return std::exp(x); },
                                           [](A_FpLong x) { return std::fabs(x); },
                                           [](A_FpLong x) { return std::floor(x); },
                                           [](A_FpLong x, A_FpLong y) { return std::fmod(x, y); },
                                           [](A_FpLong x, A_FpLong y) { return std::hypot(x, y); },
                                           [](A_FpLong x) { return std::log(x); },
                                           [](A_FpLong x) { return std::log10(x); },
                                           [](A_FpLong x, A_FpLong y) { return std::pow(x, y); },
                                           [](A_FpLong x) { return std::sin(x); },
                                           [](A_FpLong x) { return std::sqrt(x); },
                                           [](A_FpLong x) { return std::tan(x); },
                                           BoundedSprintf,
                                           BoundedStrcpy,
                                           [](A_FpLong x) { return std::asin(x); },
                                           [](A_FpLong x) { return std::acos(x); }};

}  // namespace

void RegisterAnsiSuite(SuiteRegistry& registry) {
  registry.Register(kPFANSISuite, kPFANSISuiteVersion1, &kAnsiSuite);
}

void FillAnsiCallbacks(PF_ANSICallbacks& ansi) {
  ansi = {};
  ansi.atan = kAnsiSuite.atan;
  ansi.atan2 = kAnsiSuite.atan2;
  ansi.ceil = kAnsiSuite.ceil;
  ansi.cos = kAnsiSuite.cos;
  ansi.exp = kAnsiSuite.exp;
  ansi.fabs = kAnsiSuite.fabs;
  ansi.floor = kAnsiSuite.floor;
  ansi.fmod = kAnsiSuite.fmod;
  ansi.hypot = kAnsiSuite.hypot;
  ansi.log = kAnsiSuite.log;
  ansi.log10 = kAnsiSuite.log10;
  ansi.pow = kAnsiSuite.pow;
  ansi.sin = kAnsiSuite.sin;
  ansi.sqrt = kAnsiSuite.sqrt;
  ansi.tan = kAnsiSuite.tan;
  ansi.sprintf = kAnsiSuite.sprintf;
  ansi.strcpy = kAnsiSuite.strcpy;
  ansi.asin = kAnsiSuite.asin;
  ansi.acos = kAnsiSuite.acos;
}

}  // namespace quorvel::headless
