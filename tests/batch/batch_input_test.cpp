// SPDX-License-Identifier: MIT
// The inputs of a batch and of --set: CSV as spreadsheets export it, placeholders in a template
// and in file names, and overrides of scene values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/rows/csv_table.h"
#include "batch/rows/data_table.h"
#include "batch/rows/output_names.h"
#include "batch/rows/row_template.h"
#include "compose/document/scene_overrides.h"
#include "compose/errors.h"

namespace quorvel::batch {
namespace {

using compose::ApplyOverrides;
using compose::Json;
using compose::ParseSceneOverride;
using compose::SceneOverride;

using ::testing::HasSubstr;

std::string ErrorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "no error";
}

TEST(Csv, ReadsQuotedFieldsAndRefusesBrokenRowsByLine) {
  const DataTable table = ParseCsv(
      "\xEF\xBB\xBFname,title\r\n\"Lovelace, Ada\",\"said \"\"hi\"\"\r\nthen left\"\r\n\r\n"
      "Hopper,\r\n",
      "d.csv");
  EXPECT_EQ(table.columns, (std::vector<std::string>{"name", "title"}));
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0].values,
            (std::vector<std::string>{"Lovelace, Ada", "said \"hi\"\nthen left"}));
  EXPECT_EQ(table.rows[1].values, (std::vector<std::string>{"Hopper", ""}));
  EXPECT_EQ(table.RowPlace(1), "d.csv:5 (row 2)");

  const std::pair<const char*, const char*> broken[] = {
      {"", "d.csv: empty"},
      {"name\n", "d.csv: no rows after the header"},
      {"name,name\na,b\n", "d.csv:1: the column name 'name' is given twice"},
      {"name,title\nAda\n",
       "d.csv:2: row 1 has 1 values where the header names 2 columns; the "
       "value of 'title' is missing"},
      {"name\n\"Ada\n", "d.csv:2: a quoted field is not closed"},
      {"name\nA\"da\n", "d.csv:2: a quote inside a field"},
      {"name\n\"Ada\"x\n", "d.csv:2: text after the closing quote"},
      {"name\n\xc3\x28\n", "d.csv:2: not a text file"},
  };
  for (const auto& test : broken) {
    EXPECT_THAT(ErrorOf([&] { ParseCsv(test.first, "d.csv"); }), HasSubstr(test.second))
        << test.first;
  }
}

TEST(RowTemplate, FillsStringsAndNamesFilesSafely) {
  const DataTable table =
      ParseCsv("name,color\nAda/Lovelace,#102a43\n..., #fff\nada lovelace,x\n", "d.csv");
  const Json document = Json::parse(
      R"({"layer": {"text": "{name} {{x}}", "size": 40}, "effect": {"Fill Color": "{color}"}})");
  CheckPlaceholders(document, table, "t.json");
  const Json filled = FillTemplate(document, table, 0);
  EXPECT_EQ(filled["layer"]["text"], "Ada/Lovelace {x}");
  EXPECT_EQ(filled["layer"]["size"], 40);
  EXPECT_EQ(filled["effect"]["Fill Color"], "#102a43");

  EXPECT_EQ(OutputNameForRow("out/{name}.png", table, 0), "out/Ada_Lovelace.png");
  EXPECT_EQ(SafeFileNamePiece(" 100% <done>. "), "100%% _done_");
  EXPECT_THAT(ErrorOf([&] { OutputNameForRow("out/{name}.png", table, 1); }),
              HasSubstr("d.csv:3 (row 2): the value of 'name' is empty"));
  EXPECT_THAT(ErrorOf([&] { OutputNameForRow("out/same.png", table, 0); }),
              HasSubstr("every row would write the same file"));
  EXPECT_THAT(ErrorOf([&] {
                CheckPlaceholders(Json::parse(R"({"layers": [{"text": "{nmae}"}]})"), table,
                                  "t.json");
              }),
              HasSubstr("t.json: layers[0].text: {nmae} names no column of d.csv (its columns: "
                        "name, color); did you mean \"name\"?"));
  EXPECT_THAT(ErrorOf([&] { CheckPlaceholders(Json::parse(R"({"a": "{name"})"), table, "t"); }),
              HasSubstr("t: a: a '{' without its '}'"));
}

// The same names as CSV, as a JSON list and as JSON Lines make the same table; each file's own
// mistakes are refused naming the row, its line and the key.
TEST(DataTable, ReadsCsvJsonAndJsonLinesAlikeAndRefusesOtherValuesByRowAndKey) {
  const struct {
    const char* file;
    const char* text;
  } same[] = {
      {"d.csv", "name,age,tag\nAda,36,true\n\"Grace \"\"G\"\"\",85.5,false\n"},
      {"d.json",
       "[\n  {\"name\": \"Ada\", \"age\": 36, \"tag\": true},\n"
       "  {\"age\": 85.5, \"name\": \"Grace \\\"G\\\"\", \"tag\": false}\n]\n"},
      {"d.jsonl",
       "{\"name\": \"Ada\", \"age\": 36, \"tag\": true}\r\n\r\n"
       "{\"name\": \"Grace \\\"G\\\"\", \"age\": 85.5, \"tag\": false}"},
      {"D.NDJSON",
       "{\"name\": \"Ada\", \"age\": 36, \"tag\": true}\n  \n"
       "{\"name\": \"Grace \\\"G\\\"\", \"age\": 85.5, \"tag\": false}\n"},
  };
  for (const auto& data : same) {
    const DataTable table = ParseDataTable(data.text, data.file);
    EXPECT_EQ(table.columns, (std::vector<std::string>{"name", "age", "tag"})) << data.file;
    ASSERT_EQ(table.rows.size(), 2u) << data.file;
    EXPECT_EQ(table.rows[0].values, (std::vector<std::string>{"Ada", "36", "true"})) << data.file;
    EXPECT_EQ(table.rows[1].values, (std::vector<std::string>{"Grace \"G\"", "85.5", "false"}))
        << data.file;
    EXPECT_EQ(table.RowPlace(1), std::string(data.file) + ":3 (row 2)") << data.file;
  }

  const std::pair<const char*, const char*> broken[] = {
      {"[{\"name\": \"Ada\"},\n {\"name\": null}]", "d.json:2 (row 2): 'name' is null"},
      {"[{\"name\": [1]}]", "d.json:1 (row 1): 'name' is a list"},
      {"[{\"name\": \"Ada\"}, \"Grace\"]", "d.json:1 (row 2): expected an object"},
      {"[{\"name\": \"Ada\", \"age\": 1},\n\n{\"name\": \"Grace\"}]",
       "d.json:3 (row 2): no 'age', which row 1 has"},
      {"[{\"name\": \"Ada\"}, {\"name\": \"G\", \"nmae\": 1}]",
       "(row 2): 'nmae' is no key of row 1 (its keys: name)"},
      {"{\"name\": \"Ada\"}", "d.json: expected a list of objects"},
      {"[]", "d.json: no rows"},
      {"[{}]", "(row 1): no keys"},
      {"[{\"name\": \"Ada\"}", "d.json: "},
  };
  for (const auto& test : broken) {
    EXPECT_THAT(ErrorOf([&] { ParseDataTable(test.first, "d.json"); }), HasSubstr(test.second))
        << test.first;
  }
  EXPECT_THAT(ErrorOf([&] { ParseDataTable("{\"name\": \"Ada\"}\n{\"name\": {}}\n", "d.jsonl"); }),
              HasSubstr("d.jsonl:2 (row 2): 'name' is an object"));
  EXPECT_THAT(ErrorOf([&] { ParseDataTable("{\"name\": \"Ada\"}\n{\"name\": \n", "d.jsonl"); }),
              HasSubstr("d.jsonl:2: "));
  EXPECT_THAT(ErrorOf([&] { ParseDataTable("{\"a\": 1, \"a\": 2}\n", "d.jsonl"); }),
              HasSubstr("d.jsonl:1"));
}

// Output names are compared as file systems that ignore case and the form of accented letters
// compare them, and names Windows keeps for devices are found in any part of the path.
TEST(OutputNames, FoldCaseAndAccentFormsAndFindWindowsDeviceNames) {
  const struct {
    const char* a;
    const char* b;
  } same[] = {
      {"out/École.png", "out/école.png"},
      {"out/\u00e9.png", "out/e\u0301.png"},  // é as one character and as e and an accent
      {"OUT/Straße.PNG", "out/STRASSE.png"},
      {"out/./a.png", "out/a.png"},
  };
  for (const auto& names : same) {
    EXPECT_EQ(FoldedFileName(names.a), FoldedFileName(names.b)) << names.a << " " << names.b;
  }
  EXPECT_NE(FoldedFileName("out/a.png"), FoldedFileName("out/b.png"));
  for (const char* reserved : {"CON", "nul.png", "out/Aux.tar.gz", "com1.png", "LPT9", "prn .png",
                               "out/COM\u00b9.png", "con/x.png"}) {
    EXPECT_FALSE(ReservedWindowsName(reserved).empty()) << reserved;
  }
  for (const char* allowed : {"console.png", "nul_1.png", "COM10.png", "out/null.png", "LPT.png"}) {
    EXPECT_EQ(ReservedWindowsName(allowed), "") << allowed;
  }
}

TEST(SceneOverrides, SetValuesByPathWithJsonOrPlainText) {
  Json document = Json::parse(R"({"layers": [{"text": "x"}], "effect": {}})");
  std::vector<SceneOverride> overrides;
  for (const char* given : {"layers[0].text=Ada Lovelace", "effect.Fill Color=#102a43",
                            "composition.width=640", "layers[0].position=[10, 20]",
                            "layers[0].motion_blur=true", "host.application=\"Premiere Pro\""}) {
    overrides.push_back(ParseSceneOverride(given));
  }
  ApplyOverrides(document, overrides);
  EXPECT_EQ(document["layers"][0]["text"], "Ada Lovelace");
  EXPECT_EQ(document["effect"]["Fill Color"], "#102a43");
  EXPECT_EQ(document["composition"]["width"], 640);
  EXPECT_EQ(document["layers"][0]["position"], Json::parse("[10, 20]"));
  EXPECT_EQ(document["layers"][0]["motion_blur"], true);
  EXPECT_EQ(document["host"]["application"], "Premiere Pro");

  for (const char* bad : {"layers[0].text", "layers[x].text=1", ".text=1", "layers[0]]=1"}) {
    EXPECT_THROW(ParseSceneOverride(bad), compose::ArgumentError) << bad;
  }
  EXPECT_THAT(ErrorOf([&] { ApplyOverrides(document, {ParseSceneOverride("layers[2].text=a")}); }),
              HasSubstr("--set 'layers[2].text=a': layers has 1 elements; [2] is past its end"));
  EXPECT_THAT(ErrorOf([&] { ApplyOverrides(document, {ParseSceneOverride("effect[0]=a")}); }),
              HasSubstr("effect is not a list"));
}

}  // namespace
}  // namespace quorvel::batch
