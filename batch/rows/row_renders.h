// SPDX-License-Identifier: MIT
// The rows of a batch set up for rendering one at a time, as their turn comes.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "compose/render/output_pattern.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/scene_file.h"

namespace quorvel::batch {

// What a row's turn needs: its scene read from the filled template and a session on it.
struct PreparedRow {
  compose::SceneFile scene;
  compose::OutputPattern output;
  std::unique_ptr<compose::SceneRenderer> session;
};

// Each row's render is set up when its first frame's turn comes and let go after its last, so
// that the rows in memory are those being rendered, however many the table has.
class RowRenders {
 public:
  struct Slot {
    std::mutex mutex;
    std::unique_ptr<PreparedRow> prepared;
    std::string error;
    A_long frames_over = 0;
  };

  using Prepare = std::function<std::unique_ptr<PreparedRow>(size_t row)>;
  RowRenders(A_long frames_per_row, Prepare prepare)
      : frames_per_row_(frames_per_row), prepare_(std::move(prepare)) {}

  // The row's render, set up on first use; a SceneError or RenderError of its set-up is thrown to
  // each of its frames.
  std::shared_ptr<Slot> Take(size_t row) {
    std::shared_ptr<Slot> slot;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      std::shared_ptr<Slot>& held = slots_[row];
      if (!held) held = std::make_shared<Slot>();
      slot = held;
    }
    const std::lock_guard<std::mutex> setting_up(slot->mutex);
    if (!slot->prepared && slot->error.empty()) {
      try {
        slot->prepared = prepare_(row);
      } catch (const std::exception& error) {
        slot->error = error.what();
      }
    }
    return slot;
  }

  // One more frame of the row is over; after its last the row is let go.
  void FrameOver(size_t row) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(row);
    if (found != slots_.end() && ++found->second->frames_over == frames_per_row_) {
      slots_.erase(found);
    }
  }

 private:
  A_long frames_per_row_;
  Prepare prepare_;
  std::mutex mutex_;
  std::map<size_t, std::shared_ptr<Slot>> slots_;
};

}  // namespace quorvel::batch
