// SPDX-License-Identifier: MIT
#include "cli/progress.h"

#include <cstdio>

namespace quorvel::cli {
namespace {

constexpr int kBarWidth = 30;

}  // namespace

Progress::Progress(std::ostream& stream, bool terminal, A_long total)
    : stream_(stream),
      terminal_(terminal),
      total_(total),
      start_(std::chrono::steady_clock::now()) {}

void Progress::FrameDone(A_long frame, const std::string& detail) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++done_;
  if (terminal_) {
    DrawBar(frame);
    return;
  }
  stream_ << "frame " << frame << " (" << done_ << "/" << total_ << "): " << detail << "\n";
  stream_.flush();
}

void Progress::DrawBar(A_long frame) {
  const int filled =
      total_ > 0 ? static_cast<int>(static_cast<long long>(done_) * kBarWidth / total_) : kBarWidth;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.1f", seconds > 0 ? done_ / seconds : 0.0);
  // Carriage return and erase-to-end redraw the line in place.
  stream_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
          << std::string(static_cast<size_t>(kBarWidth - filled), '.') << "] " << done_ << "/"
          << total_ << " frames, " << rate << " frames/s, last " << frame << "\x1b[K";
  stream_.flush();
  drawn_ = true;
}

void Progress::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (drawn_) stream_ << "\n";
  stream_.flush();
  drawn_ = false;
}

}  // namespace quorvel::cli
