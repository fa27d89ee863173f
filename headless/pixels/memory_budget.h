// SPDX-License-Identifier: MIT
// The memory all of the host's worlds may take at once, shared by every job: past it a world
// is refused, as a host short of memory refuses one, instead of exhausting the machine.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quorvel::headless {

// Half of the machine's physical memory (4 GiB when it cannot be read).
uint64_t DefaultMemoryBudget();
// The budget from now on, in bytes; 0 puts back the default.
void SetMemoryBudget(uint64_t bytes);
uint64_t MemoryBudget();

// Takes `bytes` from the budget; false, taking nothing, when they do not fit.
bool TakeFromMemoryBudget(uint64_t bytes);
void GiveBackToMemoryBudget(uint64_t bytes);

// "12 GiB", "512 MiB", "640 KiB": sizes as messages show them.
std::string ShownBytes(uint64_t bytes);

// A world the host itself needed and could not have within the budget.
class MemoryBudgetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quorvel::headless
