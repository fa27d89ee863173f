// SPDX-License-Identifier: MIT
// CSV files as RFC 4180 writes them: a header row of column names, then one record per row;
// fields may be quoted, and a quoted field may hold commas, quotes ("") and line breaks.
#pragma once

#include <string>

#include "batch/rows/data_table.h"

namespace quorvel::batch {

// UTF-8 text with or without a byte order mark; CRLF, LF or CR ends a record, and blank lines
// are passed over. A SceneError naming the file and line for anything else: no header, an empty
// or repeated column name, a quote left open or inside an unquoted field, a row with more or
// fewer values than the header has columns, text that is not UTF-8.
DataTable ParseCsv(const std::string& text, const std::string& file);

}  // namespace quorvel::batch
