// SPDX-License-Identifier: MIT
#include "headless/loading/module.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "headless/instance/effect_instance.h"
#include "tests/headless/loading/pipl_bytes.h"
#include "tests/headless/text_matchers.h"

namespace quorvel::headless {
namespace {

namespace fs = std::filesystem;
using test::HasSubstr;
using test::PiplBytes;

// Each test gets a folder of its own holding a copy of the fixture module, Fixture.so, and
// the sidecar PiPL the test writes next to it.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("quorvel_module_test_" + std::to_string(getpid()) + "_" + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    module_path_ = (folder_ / "Fixture.so").string();
    fs::copy_file(QUORVEL_FIXTURE_MODULE_PATH, module_path_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void WritePipl(const std::vector<uint8_t>& bytes) {
    std::ofstream file(folder_ / "Fixture.pipl", std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  std::string LoadError() {
    try {
      Module module(module_path_);
    } catch (const ModuleError& error) {
      return error.what();
    }
    return "loaded without error";
  }

  fs::path folder_;
  std::string module_path_;
};

TEST_F(ModuleTest, LoadsAnEffectAndCallsTheEntryPointItsPiplNames) {
  WritePipl(PiplBytes::Effect("FixtureEntryPoint").Bytes());
  const Module module(module_path_);
  EXPECT_EQ(module.pipl().name, "Fixture");
  ASSERT_NE(module.entry_point(), nullptr);

  EffectInstance instance(module);
  const CommandResult result = instance.GlobalSetup();
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_EQ(result.out_data.my_version, 0x00090001u);
}

TEST_F(ModuleTest, ReadsTheSidecarNamedLikeTheModule) {
  EXPECT_EQ(SidecarPiplPath("/plugins/Quorvel.so"), "/plugins/Quorvel.pipl");
}

TEST_F(ModuleTest, RefusesAFileThatIsNotALibrary) {
  const std::string text_path = (folder_ / "Text.so").string();
  std::ofstream(text_path) << "not a library\n";
  module_path_ = text_path;
  const std::string error = LoadError();
  EXPECT_TRUE(HasSubstr(error, text_path));
  EXPECT_TRUE(HasSubstr(error, "not a loadable library"));
}

TEST_F(ModuleTest, RefusesAModuleWithoutItsPipl) {
  const std::string error = LoadError();
  EXPECT_TRUE(HasSubstr(error, module_path_));
  EXPECT_TRUE(HasSubstr(error, "no PiPL"));
}

TEST_F(ModuleTest, RefusesATruncatedPipl) {
  std::vector<uint8_t> bytes = PiplBytes::Effect("FixtureEntryPoint").Bytes();
  bytes.resize(bytes.size() - 2);
  WritePipl(bytes);
  const std::string error = LoadError();
  EXPECT_TRUE(HasSubstr(error, "malformed PiPL"));
  EXPECT_TRUE(HasSubstr(error, "runs past the end"));
}

TEST_F(ModuleTest, RefusesAPiplWithAWrongCount) {
  WritePipl(PiplBytes::Effect("FixtureEntryPoint").Bytes(20));
  EXPECT_TRUE(HasSubstr(LoadError(), "malformed PiPL"));
}

TEST_F(ModuleTest, RefusesAPiplWhosePropertyLengthRunsPastTheEnd) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Raw("8664", {'F', 0, 0, 0}, 1000);
  WritePipl(pipl.Bytes());
  EXPECT_TRUE(HasSubstr(LoadError(), "has length 1000, which runs past the end"));
}

TEST_F(ModuleTest, RefusesAModuleThatIsNotAnEffect) {
  PiplBytes pipl;
  pipl.Code("kind", "AEgx").CString("8664", "FixtureEntryPoint");
  WritePipl(pipl.Bytes());
  EXPECT_TRUE(HasSubstr(LoadError(), "not an effect: its PiPL kind is 'AEgx'"));
}

TEST_F(ModuleTest, RefusesAPiplWithoutAnEntryPoint) {
  PiplBytes pipl;
  pipl.Code("kind", "eFKT").Pascal("name", "Fixture");
  WritePipl(pipl.Bytes());
  EXPECT_TRUE(HasSubstr(LoadError(), "names no x86-64 entry point"));
}

TEST_F(ModuleTest, RefusesAnEntryPointTheModuleDoesNotExport) {
  WritePipl(PiplBytes::Effect("EffectMain").Bytes());
  EXPECT_TRUE(HasSubstr(LoadError(), "\"EffectMain\" that its PiPL names is not exported"));
}

}  // namespace
}  // namespace quorvel::headless
