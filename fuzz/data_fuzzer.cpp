// SPDX-License-Identifier: MIT
// The data files quorvel-render reads besides scenes: subtitle files (as SubRip and as WebVTT),
// CSV files with a template filled from each row, and --set arguments. Any text is either read
// or refused with a SceneError or ArgumentError; anything else is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>

#include "batch/records/manifest.h"
#include "batch/rows/csv_table.h"
#include "batch/rows/data_table.h"
#include "batch/rows/row_template.h"
#include "captions/reading/subtitles.h"
#include "compose/document/scene_overrides.h"
#include "compose/errors.h"

namespace {

template <typename Work>
void Refused(Work work) {
  try {
    work();
  } catch (const quorvel::compose::SceneError&) {
  } catch (const quorvel::compose::ArgumentError&) {
  } catch (const std::exception& error) {
    std::fprintf(stderr, "data fuzzer: %s escaped: %s\n", typeid(error).name(), error.what());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace quorvel::batch;
  using namespace quorvel::captions;
  using namespace quorvel::compose;
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  for (const SubtitleFormat format : {SubtitleFormat::kSubRip, SubtitleFormat::kWebVtt}) {
    Refused([&] { ReadSubtitles(text, "fuzz", {format, "", false}); });
  }
  Refused([&] {
    const DataTable table = ParseCsv(text, "fuzz.csv");
    const Json document = {{"layer", {{"text", "{" + table.columns.front() + "} {{x}}"}}}};
    CheckPlaceholders(document, table, "t.json");
    for (size_t row = 0; row < table.rows.size(); ++row) {
      FillTemplate(document, table, row);
      OutputNameForRow("out/{" + table.columns.front() + "}_%04d.png", table, row);
    }
  });
  // The same text as JSON rows, and as a manifest that --resume and manifest merge read.
  for (const char* file : {"fuzz.json", "fuzz.jsonl"}) {
    Refused([&] {
      const DataTable table = ParseDataTable(text, file);
      for (size_t row = 0; row < table.rows.size(); ++row) RowValues(table, row);
    });
  }
  Refused([&] {
    for (const ManifestEntry& entry : ParseManifest(text, "fuzz.jsonl")) ManifestLine(entry);
  });
  Refused([&] {
    Json document = Json::object();
    ApplyOverrides(document, {ParseSceneOverride(text)});
  });
  // A --set on a template is applied before its placeholders are checked against the data,
  // as batch does: the check walks whatever the --set made.
  Refused([&] {
    const DataTable table = ParseCsv("name,title\nAda,x\n", "names.csv");
    Json document = {{"layer", {{"text", "{name}"}}}};
    ApplyOverrides(document, {ParseSceneOverride(text)});
    CheckPlaceholders(document, table, "t.json");
    FillTemplate(document, table, 0);
  });
  return 0;
}
