// SPDX-License-Identifier: MIT
// Owning pointers for the C libraries' objects: Owned<T, Release> frees its object with the
// library's own release function when it goes out of scope.
#pragma once

#include <memory>

namespace quorvel::headless {

template <typename T, auto Release>
struct ReleaseWith {
  void operator()(T* object) const {
    if (object != nullptr) static_cast<void>(Release(object));
  }
};

template <typename T, auto Release>
using Owned = std::unique_ptr<T, ReleaseWith<T, Release>>;

}  // namespace quorvel::headless
