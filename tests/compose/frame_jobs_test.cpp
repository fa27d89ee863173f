// SPDX-License-Identifier: MIT
// Frames rendered on several threads and passed one at a time in order, as a video's encoder
// takes them: whatever fails in one frame's job, the others stop waiting for it.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "compose/render/frame_jobs.h"
#include "headless/common/interruption.h"

namespace quorvel::compose {
namespace {

// Where the failing frame's job goes wrong.
enum class Fault { kRenderThrows, kHandOverThrows, kHandOverFails, kThrowsAfterPassing };

struct OrderedRun {
  FrameJobsOutcome outcome;
  std::vector<A_long> passed;  // in the order the frames passed
  bool hung = false;
};

// Forty frames on four threads, each passing through its turn as RenderVideo passes frames to
// the encoder. A run still going after ten seconds is hung: a stop request frees it (a turn
// stops waiting for it) so that the test fails instead of blocking.
OrderedRun RunInOrder(A_long failing, Fault fault) {
  OrderedRun run;
  FrameOrder order(0);
  const auto job = [&](A_long frame) {
    FrameTurn turn(order, frame);
    const bool fails = frame == failing;
    if (fails) {
      // Long enough for every other thread to have taken a later frame and to wait for its turn.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (fault == Fault::kRenderThrows) throw std::runtime_error("render failed");
    }
    if (!turn.Wait()) throw FrameSkipped{};
    if (fails && fault == Fault::kHandOverThrows) throw std::runtime_error("hand-over threw");
    if (fails && fault == Fault::kHandOverFails) return std::string("hand-over failed");
    run.passed.push_back(frame);  // one frame at a time: its turn is held
    turn.Passed();
    if (fails && fault == Fault::kThrowsAfterPassing) throw std::runtime_error("progress threw");
    return std::string();
  };
  std::future<FrameJobsOutcome> outcome = std::async(std::launch::async, [&] {
    return RunFrameJobs(FrameRange{0, 39}, 4, job);
  });
  if (outcome.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
    run.hung = true;
    headless::RequestInterruption();
  }
  run.outcome = outcome.get();
  headless::ClearInterruption();
  return run;
}

TEST(FrameTurn, AFrameThatFailsAnywhereLetsTheOthersEndAndNoLaterFramePasses) {
  const struct {
    const char* what;
    Fault fault;
    const char* message;
    A_long last_passed;  // the frames before it (and it) pass, in order
  } cases[] = {
      {"render throws", Fault::kRenderThrows, "render failed", 4},
      {"hand-over throws", Fault::kHandOverThrows, "hand-over threw", 4},
      {"hand-over fails", Fault::kHandOverFails, "hand-over failed", 4},
      {"throws after passing", Fault::kThrowsAfterPassing, "progress threw", 5},
  };
  for (const auto& c : cases) {
    const OrderedRun run = RunInOrder(5, c.fault);
    EXPECT_FALSE(run.hung) << c.what;
    ASSERT_EQ(run.outcome.failures.size(), 1u) << c.what;
    EXPECT_EQ(run.outcome.failures[0].frame, 5) << c.what;
    EXPECT_EQ(run.outcome.failures[0].message, c.message) << c.what;
    EXPECT_FALSE(run.outcome.interrupted) << c.what;
    // Frames taken before the failure was seen may still pass after a frame that passed.
    ASSERT_GE(run.passed.size(), static_cast<size_t>(c.last_passed) + 1) << c.what;
    for (size_t i = 0; i < run.passed.size(); ++i) {
      EXPECT_EQ(run.passed[i], static_cast<A_long>(i)) << c.what;
    }
    if (c.fault != Fault::kThrowsAfterPassing) {
      EXPECT_EQ(run.passed.size(), static_cast<size_t>(c.last_passed) + 1) << c.what;
    }
  }
}

}  // namespace
}  // namespace quorvel::compose
