// SPDX-License-Identifier: MIT
#include "batch/rows/row_template.h"

#include <cctype>
#include <functional>

#include "compose/document/nearest_name.h"

namespace quorvel::batch {

using compose::Json;
using compose::SceneError;
using compose::SuggestionOr;

namespace {

// The text with each "{name}" replaced by value(name); `fail` is told of an unclosed brace.
std::string Substitute(const std::string& text,
                       const std::function<std::string(const std::string&)>& value,
                       const std::function<void(const std::string&)>& fail) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
      result += c;
      ++i;
      continue;
    }
    if (c != '{') {
      result += c;
      continue;
    }
    const size_t close = text.find('}', i + 1);
    if (close == std::string::npos) {
      fail("a '{' without its '}'; write \"{{\" for a brace itself");
      return result;
    }
    result += value(text.substr(i + 1, close - i - 1));
    i = close;
  }
  return result;
}

// Calls `visit` with every string of the document and its place.
void ForEachString(const Json& value, const std::string& path,
                   const std::function<void(const std::string&, const std::string&)>& visit) {
  if (value.is_string()) {
    visit(value.get_ref<const std::string&>(), path);
  } else if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      std::string place = path;
      if (!place.empty()) place += '.';
      place += key;
      ForEachString(member, place, visit);
    }
  } else if (value.is_array()) {
    for (size_t i = 0; i < value.size(); ++i) {
      ForEachString(value[i], path + "[" + std::to_string(i) + "]", visit);
    }
  }
}

void Fill(Json& value, const DataTable& table, size_t row) {
  if (value.is_string()) {
    value = Substitute(
        value.get_ref<const std::string&>(),
        [&](const std::string& column) {
          return table.rows[row].values[*table.ColumnIndex(column)];
        },
        [](const std::string&) {});
  } else if (value.is_structured()) {
    for (auto& member : value) Fill(member, table, row);
  }
}

std::string NoColumn(const std::string& column, const DataTable& table) {
  std::string list;
  for (const std::string& name : table.columns) list += (list.empty() ? "" : ", ") + name;
  return "{" + column + "} names no column of " + table.file + " (its columns: " + list + ")" +
         SuggestionOr(column, table.columns, "");
}

}  // namespace

void CheckPlaceholders(const Json& document, const DataTable& table, const std::string& file) {
  ForEachString(document, "", [&](const std::string& text, const std::string& path) {
    const std::string where = file + ": " + (path.empty() ? std::string("the scene") : path) + ": ";
    Substitute(
        text,
        [&](const std::string& column) {
          if (!table.ColumnIndex(column)) throw SceneError(where + NoColumn(column, table));
          return std::string();
        },
        [&](const std::string& message) { throw SceneError(where + message); });
  });
}

Json FillTemplate(const Json& document, const DataTable& table, size_t row) {
  Json filled = document;
  Fill(filled, table, row);
  return filled;
}

std::string SafeFileNamePiece(const std::string& value) {
  std::string piece;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    const bool refused =
        byte < 0x20 || byte == 0x7F || std::string("/\\:*?\"<>|").find(c) != std::string::npos;
    if (refused) {
      piece += '_';
    } else if (c == '%') {
      piece += "%%";  // the output pattern reads a single one as a frame number field
    } else {
      piece += c;
    }
  }
  const size_t first = piece.find_first_not_of(" .");
  if (first == std::string::npos) return {};
  return piece.substr(first, piece.find_last_not_of(" .") - first + 1);
}

std::string OutputNameForRow(const std::string& pattern, const DataTable& table, size_t row) {
  bool named = false;
  std::string name = Substitute(
      pattern,
      [&](const std::string& column) -> std::string {
        const std::optional<size_t> index = table.ColumnIndex(column);
        if (!index) throw SceneError("-o '" + pattern + "': " + NoColumn(column, table));
        std::string piece = SafeFileNamePiece(table.rows[row].values[*index]);
        if (piece.empty()) {
          throw SceneError(table.RowPlace(row) + ": the value of '" + column +
                           "' is empty, or has nothing a file can be named by, and -o '" + pattern +
                           "' names the file with it");
        }
        named = true;
        return piece;
      },
      [&](const std::string& message) { throw SceneError("-o '" + pattern + "': " + message); });
  if (!named && table.rows.size() > 1) {
    throw SceneError("-o '" + pattern + "': every row would write the same file; name it " +
                     "with a column, as in 'out/{" + table.columns.front() + "}.png'");
  }
  return name;
}

}  // namespace quorvel::batch
