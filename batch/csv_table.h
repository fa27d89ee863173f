// SPDX-License-Identifier: MIT
// CSV files as RFC 4180 writes them: a header row of column names, then one record per row;
// fields may be quoted, and a quoted field may hold commas, quotes ("") and line breaks.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel::batch {

struct CsvRow {
  std::vector<std::string> values;  // one per column; line breaks in a field become '\n'
  size_t line = 0;                  // where the row starts, from 1
};

struct CsvTable {
  std::string file;  // for messages
  std::vector<std::string> columns;
  std::vector<CsvRow> rows;

  std::optional<size_t> ColumnIndex(const std::string& name) const;
  // "data.csv:4 (row 3)": where a row is, for messages; rows count from 1 after the header.
  std::string RowPlace(size_t row) const;
};

// UTF-8 text with or without a byte order mark; CRLF, LF or CR ends a record, and blank lines
// are passed over. A SceneError naming the file and line for anything else: no header, an empty
// or repeated column name, a quote left open or inside an unquoted field, a row with more or
// fewer values than the header has columns, text that is not UTF-8.
CsvTable ParseCsv(const std::string& text, const std::string& file);

}  // namespace quorvel::batch
