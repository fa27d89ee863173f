// SPDX-License-Identifier: MIT
#include "headless/text/layout_cache.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

namespace quorvel::headless {
namespace {

// Enough for the layouts of one frame of several layers, each at a few instants.
constexpr size_t kKeptLayouts = 16;

struct Entry {
  std::string key;
  std::shared_ptr<const LaidOutText> layout;
};

std::atomic<size_t> layouts_made{0};

std::mutex& CacheLock() {
  static std::mutex lock;
  return lock;
}

std::vector<Entry>& Entries() {  // the most recently used last
  static std::vector<Entry> entries;
  return entries;
}

}  // namespace

std::shared_ptr<const LaidOutText> CachedLayout(
    const std::string& key, const std::function<LaidOutText(bool& keep)>& lay_out) {
  {
    const std::lock_guard<std::mutex> lock(CacheLock());
    std::vector<Entry>& entries = Entries();
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const Entry& entry) { return entry.key == key; });
    if (found != entries.end()) {
      std::rotate(found, found + 1, entries.end());
      return entries.back().layout;
    }
  }
  bool keep = true;
  layouts_made.fetch_add(1);
  auto layout = std::make_shared<const LaidOutText>(lay_out(keep));
  if (!keep) return layout;
  const std::lock_guard<std::mutex> lock(CacheLock());
  std::vector<Entry>& entries = Entries();
  for (const Entry& entry : entries) {
    if (entry.key == key) return entry.layout;  // another thread laid it out meanwhile
  }
  if (entries.size() >= kKeptLayouts) entries.erase(entries.begin());
  entries.push_back({key, layout});
  return layout;
}

size_t LayoutsMade() {
  return layouts_made.load();
}

}  // namespace quorvel::headless
