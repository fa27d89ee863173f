// SPDX-License-Identifier: MIT
#include "compose/render/frame_jobs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "headless/common/interruption.h"

namespace quorvel::compose {

int DefaultJobs() {
  const unsigned threads = std::thread::hardware_concurrency();
  return threads == 0 ? 1 : static_cast<int>(std::min(threads, 256u));
}

FrameJobsOutcome RunFrameJobs(const FrameRange& range, int jobs, const FrameJob& job,
                              bool stop_at_failure) {
  std::atomic<long long> next{range.first};
  std::atomic<bool> failed{false};
  std::atomic<A_long> done{0};
  std::mutex failures_mutex;
  FrameJobsOutcome outcome;

  const auto work = [&] {
    while (!failed.load() && !headless::InterruptionRequested()) {
      const long long taken = next.fetch_add(1);
      if (taken > range.last) return;
      const auto frame = static_cast<A_long>(taken);
      std::string message;
      try {
        message = job(frame);
      } catch (const FrameSkipped&) {
        continue;
      } catch (const std::exception& error) {
        message = error.what();
      } catch (...) {
        message = "an exception of unknown type";
      }
      if (message.empty()) {
        done.fetch_add(1);
        continue;
      }
      // A frame given up for a stop is no failure of its own.
      if (headless::InterruptionRequested()) return;
      if (stop_at_failure) failed.store(true);
      std::lock_guard<std::mutex> lock(failures_mutex);
      outcome.failures.push_back({frame, message});
    }
  };

  const int threads = static_cast<int>(std::clamp<long long>(jobs, 1, range.Count()));
  std::vector<std::thread> workers;
  try {
    for (int i = 1; i < threads; ++i) workers.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads than asked for still do every frame.
  }
  work();
  for (std::thread& worker : workers) worker.join();

  std::sort(outcome.failures.begin(), outcome.failures.end(),
            [](const FrameFailure& a, const FrameFailure& b) { return a.frame < b.frame; });
  outcome.done = done.load();
  outcome.interrupted = headless::InterruptionRequested() && outcome.done < range.Count();
  return outcome;
}

bool FrameOrder::WaitTurn(A_long frame) {
  std::unique_lock<std::mutex> lock(mutex_);
  // A stop comes from a signal handler, which cannot notify: look for it now and then.
  while (!turn_.wait_for(lock, std::chrono::milliseconds(50),
                         [&] { return abandoned_ || next_ == frame; })) {
    if (headless::InterruptionRequested()) return false;
  }
  return !abandoned_ && !headless::InterruptionRequested();
}

void FrameOrder::Passed() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++next_;
  }
  turn_.notify_all();
}

void FrameOrder::Abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
  }
  turn_.notify_all();
}

}  // namespace quorvel::compose
