// SPDX-License-Identifier: MIT
// A range of frames worked on by several threads, each frame its own job.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "compose/scene/frame_range.h"

namespace quorvel::compose {

struct FrameFailure {
  A_long frame;
  std::string message;
};

struct FrameJobsOutcome {
  A_long done = 0;
  std::vector<FrameFailure> failures;  // by frame number
  bool interrupted = false;            // a stop was requested before every frame was done
};

// Does one frame; returns an empty string on success, else what went wrong. An exception
// escaping it counts as that frame's failure, but FrameSkipped, which a job throws for a frame
// it gives up because another frame failed, counts as neither done nor failed.
using FrameJob = std::function<std::string(A_long frame)>;
struct FrameSkipped {};

// Lets frames rendered on several threads pass one at a time in order of frame number, as an
// encoder takes them: a thread waits for its frame's turn, and the run stops waiting for good
// when a frame is abandoned or a stop is requested.
class FrameOrder {
 public:
  explicit FrameOrder(A_long first) : next_(first) {}

  // Waits for the frame's turn; false when it will not come.
  bool WaitTurn(A_long frame);
  // The frame has passed: the next one's turn.
  void Passed();
  // No frame after this one will pass.
  void Abandon();

 private:
  std::mutex mutex_;
  std::condition_variable turn_;
  A_long next_;
  bool abandoned_ = false;
};

// A frame's turn in a FrameOrder, held from the start of its job: unless it has passed, its end
// (a failure returned, an exception from the render, the hand-over or anything between)
// abandons the order, so that no later frame waits for a turn that will not come.
class FrameTurn {
 public:
  FrameTurn(FrameOrder& order, A_long frame) : order_(order), frame_(frame) {}
  ~FrameTurn() {
    if (!passed_) order_.Abandon();
  }
  FrameTurn(const FrameTurn&) = delete;
  FrameTurn& operator=(const FrameTurn&) = delete;

  // Waits for the turn; false when it will not come.
  bool Wait() { return order_.WaitTurn(frame_); }
  // The frame has passed: the next one's turn.
  void Passed() {
    passed_ = true;
    order_.Passed();
  }

 private:
  FrameOrder& order_;
  A_long frame_;
  bool passed_ = false;
};

// Runs `job` for every frame of the range, in order of frame number, on `jobs` threads. No new
// frame is taken once one has failed (unless `stop_at_failure` is false, when every frame is
// tried) or a stop is requested (see interrupt.h); frames already
// taken run to their end, which after a stop comes within a moment (the host gives up its
// work), and a frame that fails after a stop counts as interrupted.
FrameJobsOutcome RunFrameJobs(const FrameRange& range, int jobs, const FrameJob& job,
                              bool stop_at_failure = true);

// The default number of threads: the machine's hardware threads, at least 1.
int DefaultJobs();

}  // namespace quorvel::compose
