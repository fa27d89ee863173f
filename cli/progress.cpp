// SPDX-License-Identifier: MIT
#include "cli/progress.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/json_progress.h"

namespace quorvel::cli {
namespace {

constexpr int kDefaultColumns = 80;
constexpr int kSmallestBar = 5;

// "0:07", "12:40", "1:02:03".
std::string ShownDuration(double seconds) {
  // Clamped first: a stalled rate can give an estimate past what a long long holds.
  const long long whole = std::llround(std::clamp(seconds, 0.0, 1e9));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

int TerminalColumns() {
#if defined(_WIN32)
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    return info.srWindow.Right - info.srWindow.Left + 1;
  }
#else
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  if (const char* columns = std::getenv("COLUMNS")) {
    const int value = std::atoi(columns);
    if (value > 0) return value;
  }
  return kDefaultColumns;
}

Progress::Progress(std::ostream& stream, bool terminal, A_long total, int columns)
    : stream_(stream),
      terminal_(terminal),
      total_(total),
      columns_(columns),
      start_(std::chrono::steady_clock::now()) {}

void Progress::FrameDone(A_long frame, const std::string& detail) {
  ItemDone("frame " + std::to_string(frame), detail);
}

double Progress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::RowOver() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++rows_over_;
}

void Progress::ItemDone(const std::string& item, const std::string& detail,
                        std::optional<size_t> row) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++done_;
  if (json_) {
    ProgressReport report{done_, total_, Seconds(), item, detail, row, std::nullopt};
    if (rows_total_) report.rows = std::make_pair(rows_over_, *rows_total_);
    stream_ << ProgressJsonLine(report);
    stream_.flush();
    return;
  }
  if (terminal_) {
    DrawBar();
    return;
  }
  stream_ << item << " (" << done_ << "/" << total_ << "): " << detail << "\n";
  stream_.flush();
}

std::string Progress::Line(double seconds) const {
  const double rate = seconds > 0 ? done_ / seconds : 0;
  char figures[96];
  std::snprintf(figures, sizeof figures, " %d/%d  %.1f fps", done_, total_, rate);
  std::string tail = figures;
  if (rate > 0 && done_ < total_) tail += "  " + ShownDuration((total_ - done_) / rate) + " left";
  // One column spare: a line as wide as the terminal wraps on some of them.
  const int room = std::max(columns_ - 1, 1);
  const int bar = room - static_cast<int>(tail.size()) - 2;
  if (bar < kSmallestBar) return tail.substr(0, static_cast<size_t>(room));
  const int filled =
      total_ > 0 ? static_cast<int>(static_cast<long long>(done_) * bar / total_) : bar;
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(bar - filled), '.') + "]" + tail;
}

void Progress::DrawBar() {
  // Carriage return and erase-to-end redraw the line in place.
  stream_ << "\r" << Line(Seconds()) << "\x1b[K";
  stream_.flush();
  drawn_ = true;
}

void Progress::Message(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (json_) {
    stream_ << MessageJsonLine(line);
    stream_.flush();
    return;
  }
  if (terminal_ && drawn_) {
    stream_ << "\r" << line << "\x1b[K\n";
    DrawBar();
    return;
  }
  stream_ << line << "\n";
  stream_.flush();
}

void Progress::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (drawn_) stream_ << "\n";
  stream_.flush();
  drawn_ = false;
}

}  // namespace quorvel::cli
