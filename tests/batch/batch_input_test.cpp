// SPDX-License-Identifier: MIT
// The inputs of a batch and of --set: CSV as spreadsheets export it, placeholders in a template
// and in file names, and overrides of scene values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/csv_table.h"
#include "batch/output_names.h"
#include "batch/row_template.h"
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
  const CsvTable table = ParseCsv(
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
  const CsvTable table =
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
