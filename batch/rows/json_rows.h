// SPDX-License-Identifier: MIT
// Rows of data as JSON: a list of objects, or JSON Lines (one object a line). Each object's keys
// are the columns; values are strings, numbers or booleans, taken as the text they are written
// as (42, 1.5, true).
#pragma once

#include <string>

#include "batch/rows/data_table.h"

namespace quorvel::batch {

enum class JsonRowLayout { kList, kLines };

// Every row must have the keys of the first, no more and no fewer, so that a placeholder checked
// against the columns fills every row. A SceneError naming the file, the row (and its line, when
// known) and the key for anything else: a syntax error, a row that is not an object, a value that
// is null, a list or an object, no rows.
DataTable ParseJsonRows(const std::string& text, const std::string& file, JsonRowLayout layout);

}  // namespace quorvel::batch
