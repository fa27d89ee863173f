// SPDX-License-Identifier: MIT
#include "batch/rows/csv_table.h"

#include <algorithm>

#include "compose/document/json_place.h"
#include "compose/document/text_file.h"

namespace quorvel::batch {

using compose::ByteOrderMarkLength;
using compose::FirstNonTextByte;
using compose::LineOf;
using compose::SceneError;

namespace {

struct Record {
  std::vector<std::string> fields;
  size_t line = 0;
};

[[noreturn]] void Fail(const std::string& file, size_t line, const std::string& message) {
  throw SceneError(file + ":" + std::to_string(line) + ": " + message);
}

std::vector<Record> ReadRecords(const std::string& text, const std::string& file) {
  std::vector<Record> records;
  size_t line = 1;
  size_t i = ByteOrderMarkLength(text);
  const auto at_line_end = [&](size_t at) { return text[at] == '\r' || text[at] == '\n'; };
  // Past one line end (CRLF counts once).
  const auto skip_line_end = [&](size_t& at) {
    at += text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    ++line;
  };
  while (i < text.size()) {
    if (at_line_end(i)) {  // a blank line
      skip_line_end(i);
      continue;
    }
    Record record;
    record.line = line;
    for (;;) {
      std::string field;
      if (i < text.size() && text[i] == '"') {
        const size_t opened = line;
        ++i;
        for (;;) {
          if (i >= text.size()) Fail(file, opened, "a quoted field is not closed");
          if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (at_line_end(i)) {
            field += '\n';
            skip_line_end(i);
            continue;
          }
          field += text[i++];
        }
        if (i < text.size() && text[i] != ',' && !at_line_end(i)) {
          Fail(file, line,
               "text after the closing quote of a field; a quote inside a quoted " +
                   std::string("field is written twice (\"\")"));
        }
      } else {
        while (i < text.size() && text[i] != ',' && !at_line_end(i)) {
          if (text[i] == '"') {
            Fail(file, line,
                 "a quote inside a field that does not start with one; quote the " +
                     std::string("whole field and write the quote twice (\"\")"));
          }
          field += text[i++];
        }
      }
      record.fields.push_back(std::move(field));
      if (i < text.size() && text[i] == ',') {
        ++i;
        continue;
      }
      break;
    }
    if (i < text.size()) skip_line_end(i);
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace

DataTable ParseCsv(const std::string& text, const std::string& file) {
  if (const size_t bad = FirstNonTextByte(text); bad != std::string::npos) {
    Fail(file, LineOf(text, bad), "not a text file: CSV is read as UTF-8 text");
  }
  std::vector<Record> records = ReadRecords(text, file);
  if (records.empty()) throw SceneError(file + ": empty; expected a header row of column names");
  DataTable table;
  table.file = file;
  table.columns = std::move(records.front().fields);
  for (size_t c = 0; c < table.columns.size(); ++c) {
    const std::string& name = table.columns[c];
    if (name.empty()) {
      Fail(file, records.front().line, "column " + std::to_string(c + 1) + " has no name");
    }
    if (std::find(table.columns.begin(), table.columns.begin() + static_cast<ptrdiff_t>(c), name) !=
        table.columns.begin() + static_cast<ptrdiff_t>(c)) {
      Fail(file, records.front().line, "the column name '" + name + "' is given twice");
    }
  }
  for (size_t r = 1; r < records.size(); ++r) {
    Record& record = records[r];
    if (record.fields.size() != table.columns.size()) {
      Fail(file, record.line,
           "row " + std::to_string(r) + " has " + std::to_string(record.fields.size()) +
               " values where the header names " + std::to_string(table.columns.size()) +
               " columns" +
               (record.fields.size() < table.columns.size()
                    ? "; the value of '" + table.columns[record.fields.size()] + "' is missing"
                    : ""));
    }
    table.rows.push_back({std::move(record.fields), record.line});
  }
  if (table.rows.empty()) throw SceneError(file + ": no rows after the header");
  return table;
}

}  // namespace quorvel::batch
