// SPDX-License-Identifier: MIT
// A template filled from a row of data: "{column}" in the scene's strings and in the output
// name becomes the row's value in that column; "{{" and "}}" stand for braces.
#pragma once

#include <string>

#include "batch/rows/data_table.h"
#include "compose/document/json_place.h"

namespace quorvel::batch {

// Checks that every placeholder in the document's strings names a column of the table, so that
// no row fails for it: a SceneError names the place ("template.json: layers[0].text: ...").
void CheckPlaceholders(const compose::Json& document, const DataTable& table,
                       const std::string& file);

// The document with each placeholder in its strings replaced by the row's value.
compose::Json FillTemplate(const compose::Json& document, const DataTable& table, size_t row);

// The output name for a row: each value made safe as a file name (no folder separators, no
// characters Windows refuses, no percent signs read as a frame number field). A SceneError
// names the row and the column when a value leaves nothing to name the file by, or the pattern
// names no column.
std::string OutputNameForRow(const std::string& pattern, const DataTable& table, size_t row);

// The value as a piece of a file name: characters that a file system refuses or reads as
// folders become '_', spaces and dots at the ends go; may be empty.
std::string SafeFileNamePiece(const std::string& value);

}  // namespace quorvel::batch
