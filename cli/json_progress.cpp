// SPDX-License-Identifier: MIT
#include "cli/json_progress.h"

#include <cmath>

#include "compose/document/json_place.h"

namespace quorvel::cli {

using compose::Json;

namespace {

std::string Line(const Json& object) {
  // A value that is not UTF-8 (a file name) must not stop the report.
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string ProgressJsonLine(const ProgressReport& report) {
  const double rate = report.seconds > 0 ? report.done / report.seconds : 0;
  Json line = {{"done", report.done}, {"total", report.total}};
  // Rounded: more digits say nothing and make the lines longer.
  line["fps"] = std::round(rate * 100) / 100;
  if (rate > 0) {
    const double left = (report.total - report.done) / rate;
    line["seconds_left"] = std::round(left * 100) / 100;
  } else {
    line["seconds_left"] = nullptr;
  }
  if (report.row) line["row"] = *report.row + 1;
  if (report.rows) {
    line["rows_done"] = report.rows->first;
    line["rows_total"] = report.rows->second;
  }
  line["item"] = report.item;
  line["detail"] = report.detail;
  return Line(line);
}

std::string MessageJsonLine(const std::string& message) {
  return Line(Json{{"message", message}});
}

}  // namespace quorvel::cli
