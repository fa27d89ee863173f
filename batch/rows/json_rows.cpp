// SPDX-License-Identifier: MIT
#include "batch/rows/json_rows.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "compose/document/json_place.h"
#include "compose/document/text_file.h"

namespace quorvel::batch {

using compose::Json;
using compose::SceneError;

namespace {

// The line each element of the top-level list starts on, found by a scan that follows strings
// and nesting (the parser keeps no positions).
std::vector<size_t> ElementLines(const std::string& text) {
  std::vector<size_t> lines;
  size_t line = 1;
  int depth = 0;
  bool in_string = false;
  bool element_due = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (element_due && c != ']') lines.push_back(line);
    element_due = false;
    if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      element_due = ++depth == 1 && c == '[';
    } else if (c == ']' || c == '}') {
      --depth;
    } else if (c == ',' && depth == 1) {
      element_due = true;
    }
  }
  return lines;
}

std::string KindOf(const Json& value) {
  if (value.is_null()) return "null";
  if (value.is_array()) return "a list";
  if (value.is_object()) return "an object";
  if (value.is_string()) return "a string";
  return "a number or a boolean";
}

std::string KeyList(const std::vector<std::string>& keys) {
  std::string list;
  for (const std::string& key : keys) list += (list.empty() ? "" : ", ") + key;
  return list;
}

// Adds one object as the table's next row; the first sets the columns.
void AddRow(DataTable& table, const Json& object, size_t line) {
  DataRow row;
  row.line = line;
  const std::string place = table.file + (line > 0 ? ":" + std::to_string(line) : "") + " (row " +
                            std::to_string(table.rows.size() + 1) + ")";
  if (!object.is_object()) {
    throw SceneError(place + ": expected an object of keys and values, not " + KindOf(object));
  }
  if (table.rows.empty()) {
    if (object.empty()) throw SceneError(place + ": no keys; the first row names the columns");
    for (const auto& [key, value] : object.items()) table.columns.push_back(key);
  }
  row.values.resize(table.columns.size());
  for (const auto& [key, value] : object.items()) {
    const std::optional<size_t> column = table.ColumnIndex(key);
    if (!column) {
      // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once, on failure
      throw SceneError(place + ": '" + key + "' is no key of row 1 (its keys: " +
                       KeyList(table.columns) + "); every row has the same keys");
    }
    if (value.is_string()) {
      row.values[*column] = value.get<std::string>();
    } else if (value.is_number() || value.is_boolean()) {
      row.values[*column] = value.dump();
    } else {
      // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once, on failure
      throw SceneError(place + ": '" + key + "' is " + KindOf(value) +
                       "; a value is a string, a number, true or false");
    }
  }
  for (const std::string& column : table.columns) {
    if (!object.contains(column)) {
      // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once, on failure
      throw SceneError(place + ": no '" + column +
                       "', which row 1 has; every row has the same keys");
    }
  }
  table.rows.push_back(std::move(row));
}

}  // namespace

DataTable ParseJsonRows(const std::string& text, const std::string& file, JsonRowLayout layout) {
  DataTable table;
  table.file = file;
  const size_t start = compose::ByteOrderMarkLength(text);
  if (layout == JsonRowLayout::kList) {
    const Json list = compose::ParseJsonText(text.substr(start), file);
    if (!list.is_array()) {
      throw SceneError(file +
                       ": expected a list of objects, one per row ([{\"name\": ...}, ...]);" +
                       " for one object a line, name the file .jsonl");
    }
    const std::vector<size_t> lines = ElementLines(text);
    for (size_t i = 0; i < list.size(); ++i) {
      AddRow(table, list[i], i < lines.size() ? lines[i] : 0);
    }
  } else {
    size_t line = 1;
    for (size_t at = start; at < text.size(); ++line) {
      const size_t end = std::min(text.find('\n', at), text.size());
      const std::string content = text.substr(at, end - at);
      at = end + 1;
      if (content.find_first_not_of(" \t\r") == std::string::npos) continue;
      AddRow(table, compose::ParseJsonText(content, file + ":" + std::to_string(line)), line);
    }
  }
  if (table.rows.empty()) throw SceneError(file + ": no rows");
  return table;
}

}  // namespace quorvel::batch
