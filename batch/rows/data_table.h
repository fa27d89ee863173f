// SPDX-License-Identifier: MIT
// A batch's data: named columns and rows of text values, read from CSV, a JSON list of objects
// or JSON Lines, whichever the file's name says.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel::batch {

struct DataRow {
  std::vector<std::string> values;  // one per column; line breaks in a value are '\n'
  size_t line = 0;                  // where the row starts, from 1; 0 when not known
};

struct DataTable {
  std::string file;  // for messages
  std::vector<std::string> columns;
  std::vector<DataRow> rows;

  std::optional<size_t> ColumnIndex(const std::string& name) const;
  // "data.csv:4 (row 3)": where a row is, for messages; rows count from 1.
  std::string RowPlace(size_t row) const;
};

// The table in `text`, read by the file's extension: .json is a list of objects, .jsonl and
// .ndjson one object a line, anything else CSV (csv_table.h). A SceneError naming the file and
// the line or row for anything that is not a table.
DataTable ParseDataTable(const std::string& text, const std::string& file);

}  // namespace quorvel::batch
