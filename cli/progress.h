// SPDX-License-Identifier: MIT
// Progress of a run of frames on the error stream: a bar redrawn in place on a terminal, a
// plain line per frame otherwise (logs, pipes, CI), or a JSON object a line for a program.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "hostapi/host_api.h"

namespace quorvel::cli {

// The width of the terminal behind standard error (COLUMNS, else 80, when it cannot be asked).
int TerminalColumns();

class Progress {
 public:
  // On a terminal the bar fits `columns`, with frames per second and the time left.
  Progress(std::ostream& stream, bool terminal, A_long total, int columns = TerminalColumns());
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // From then on each line is a JSON object (json_progress.h), messages too.
  void ReportAsJson() { json_ = true; }
  // A batch's rows: their count, and how many are over, as JSON lines report them.
  void CountRows(size_t total) { rows_total_ = total; }
  void RowOver();

  // Called from any thread as each frame is done; `detail` says what became of it.
  void FrameDone(A_long frame, const std::string& detail);
  // The same for a piece of work named otherwise ("row 3"), of a batch's row (from 0) if any.
  void ItemDone(const std::string& item, const std::string& detail,
                std::optional<size_t> row = std::nullopt);
  // A line of its own (a warning) between the progress lines, from any thread; on a terminal
  // above the bar, which is drawn again under it.
  void Message(const std::string& line);
  // Ends the bar's line; nothing when nothing was drawn.
  void Finish();
  // The bar's line after `seconds`, fitting the columns.
  std::string Line(double seconds) const;

 private:
  void DrawBar();
  double Seconds() const;

  std::mutex mutex_;
  std::ostream& stream_;
  bool terminal_;
  A_long total_;
  int columns_;
  A_long done_ = 0;
  bool drawn_ = false;
  bool json_ = false;
  std::optional<size_t> rows_total_;
  size_t rows_over_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace quorvel::cli
