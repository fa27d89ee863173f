// SPDX-License-Identifier: MIT
// Whether this build runs under a sanitizer: the one place that asks the compiler, for the few
// places that must act differently under one (as macros, for #if, and as constants).
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_ADDRESS_SANITIZER 1
#endif
#if defined(__SANITIZE_THREAD__)
#define QUORVEL_THREAD_SANITIZER 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer) && !defined(QUORVEL_ADDRESS_SANITIZER)
#define QUORVEL_ADDRESS_SANITIZER 1
#endif
#if __has_feature(thread_sanitizer) && !defined(QUORVEL_THREAD_SANITIZER)
#define QUORVEL_THREAD_SANITIZER 1
#endif
#endif

namespace quorvel::headless {

#if defined(QUORVEL_ADDRESS_SANITIZER)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#if defined(QUORVEL_THREAD_SANITIZER)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif

}  // namespace quorvel::headless
