// SPDX-License-Identifier: MIT
#include "batch/rows/output_names.h"

#include <utf8proc.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "batch/rows/row_template.h"
#include "compose/errors.h"
#include "compose/render/output_pattern.h"
#include "headless/common/interruption.h"

namespace quorvel::batch {
namespace {

struct FreeMapped {
  void operator()(utf8proc_uint8_t* text) const { std::free(text); }
};

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string FoldedFileName(const std::filesystem::path& path) {
  std::string name = path.lexically_normal().generic_string();
  utf8proc_uint8_t* mapped = nullptr;
  const utf8proc_ssize_t length = utf8proc_map(
      reinterpret_cast<const utf8proc_uint8_t*>(name.data()),
      static_cast<utf8proc_ssize_t>(name.size()), &mapped,
      static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD));
  const std::unique_ptr<utf8proc_uint8_t, FreeMapped> owned(mapped);
  // Not UTF-8: compared byte for byte, which is how such names are stored.
  if (length < 0) return name;
  return std::string(reinterpret_cast<const char*>(mapped), static_cast<size_t>(length));
}

std::string ReservedWindowsName(const std::filesystem::path& path) {
  for (const std::filesystem::path& part : path) {
    std::string name = part.string();
    // Windows reads the device name before any extension, and drops spaces before the dot.
    std::string stem = name.substr(0, name.find('.'));
    stem.erase(stem.find_last_not_of(' ') + 1);
    const std::string upper = AsciiUpper(stem);
    const bool device = upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL";
    const bool port = upper.size() == 4 &&
                      (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
                      upper[3] >= '0' && upper[3] <= '9';
    const bool superscript_port =
        upper.size() == 5 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
        (stem.compare(3, 2, "\xC2\xB9") == 0 || stem.compare(3, 2, "\xC2\xB2") == 0 ||
         stem.compare(3, 2, "\xC2\xB3") == 0);
    if (device || port || superscript_port) return name;
  }
  return {};
}

void CheckRowOutputNames(const std::string& pattern, const DataTable& table,
                         const compose::FrameRange& range) {
  std::map<std::string, size_t> written_by;  // folded output name, row
  std::set<std::string> checked_folders;
  for (size_t row = 0; row < table.rows.size(); ++row) {
    if (headless::InterruptionRequested()) throw compose::Interrupted();
    const compose::OutputPattern output(OutputNameForRow(pattern, table, row));
    if (range.Count() > 1 && !output.HasFrameNumber()) {
      throw compose::ArgumentError("-o '" + pattern + "': each row writes " +
                                   std::to_string(range.Count()) +
                                   " frames; put the frame number in the name, as in 'out/{" +
                                   table.columns.front() + "}_%04d.png'");
    }
    const std::filesystem::path first = output.ForFrame(range.first);
    if (const std::string reserved = ReservedWindowsName(first); !reserved.empty()) {
      throw compose::SceneError(table.RowPlace(row) + ": writes " + first.string() + ", and '" +
                                reserved +
                                "' is a name Windows keeps for a device; name the files otherwise");
    }
    const auto [earlier, added] = written_by.emplace(FoldedFileName(first), row);
    if (!added) {
      throw compose::SceneError(
          table.RowPlace(row) + ": writes " + first.string() + ", as " +
          table.RowPlace(earlier->second) +
          " does (letter case and accents aside); name the files by a column whose "
          "values differ");
    }
    if (checked_folders.insert(first.parent_path().string()).second) compose::CheckedOutput(first);
  }
}

}  // namespace quorvel::batch
