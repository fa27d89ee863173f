// SPDX-License-Identifier: MIT
#include "headless/pixels/memory_budget.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <cstdio>

namespace quorvel::headless {
namespace {

std::atomic<uint64_t> budget{0};  // 0: the default
std::atomic<uint64_t> taken{0};

uint64_t PhysicalMemory() {
#if defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  return pages > 0 && page_size > 0
             ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size)
             : 0;
#endif
}

}  // namespace

uint64_t DefaultMemoryBudget() {
  static const uint64_t half = [] {
    const uint64_t physical = PhysicalMemory();
    return physical > 0 ? physical / 2 : uint64_t{4} << 30;
  }();
  return half;
}

void SetMemoryBudget(uint64_t bytes) {
  budget.store(bytes);
}

uint64_t MemoryBudget() {
  const uint64_t set = budget.load();
  return set != 0 ? set : DefaultMemoryBudget();
}

bool TakeFromMemoryBudget(uint64_t bytes) {
  const uint64_t limit = MemoryBudget();
  uint64_t current = taken.load();
  do {
    if (bytes > limit || current > limit - bytes) return false;
  } while (!taken.compare_exchange_weak(current, current + bytes));
  return true;
}

void GiveBackToMemoryBudget(uint64_t bytes) {
  taken.fetch_sub(bytes);
}

std::string ShownBytes(uint64_t bytes) {
  const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 4) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text,
                value == static_cast<double>(static_cast<uint64_t>(value)) ? "%.0f %s" : "%.1f %s",
                value, units[unit]);
  return text;
}

}  // namespace quorvel::headless
