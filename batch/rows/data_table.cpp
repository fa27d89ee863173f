// SPDX-License-Identifier: MIT
#include "batch/rows/data_table.h"

#include <algorithm>
#include <cctype>

#include "batch/rows/csv_table.h"
#include "batch/rows/json_rows.h"

namespace quorvel::batch {

std::optional<size_t> DataTable::ColumnIndex(const std::string& name) const {
  const auto found = std::find(columns.begin(), columns.end(), name);
  if (found == columns.end()) return std::nullopt;
  return static_cast<size_t>(found - columns.begin());
}

std::string DataTable::RowPlace(size_t row) const {
  const std::string line = rows[row].line > 0 ? ":" + std::to_string(rows[row].line) : "";
  return file + line + " (row " + std::to_string(row + 1) + ")";
}

DataTable ParseDataTable(const std::string& text, const std::string& file) {
  std::string extension = file.substr(std::min(file.rfind('.'), file.size()));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".json") return ParseJsonRows(text, file, JsonRowLayout::kList);
  if (extension == ".jsonl" || extension == ".ndjson") {
    return ParseJsonRows(text, file, JsonRowLayout::kLines);
  }
  return ParseCsv(text, file);
}

}  // namespace quorvel::batch
