// SPDX-License-Identifier: MIT
// The built module, loaded the way a host loads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "headless/instance/effect_instance.h"
#include "headless/loading/module.h"
#include "tests/support/expected_pipl.h"

namespace quorvel {
namespace {

const std::filesystem::path kModulePath = QUORVEL_MODULE_PATH;

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void ExpectHoldsNothing(const headless::CommandResult& result) {
  EXPECT_TRUE(result.held.Empty())
      << "after command " << result.command << " the module holds " << result.held.Describe();
  EXPECT_TRUE(result.escaped_exception.empty()) << result.escaped_exception;
}

class LoadedModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = std::make_unique<headless::Module>(kModulePath.string());
  }
  static void TearDownTestSuite() { module_.reset(); }

  static std::unique_ptr<headless::Module> module_;
};

std::unique_ptr<headless::Module> LoadedModule::module_;

TEST_F(LoadedModule, LoadsThroughThePiplItCarries) {
  const headless::PiplInfo& pipl = module_->pipl();
  EXPECT_EQ(pipl.kind, headless::FourCharCode("eFKT"));
  EXPECT_EQ(pipl.name, "Quorvel");
  EXPECT_EQ(pipl.category, "Ostrevane");
  EXPECT_EQ(pipl.match_name, "KQZV");
  EXPECT_EQ(pipl.entry_point, "EntryPointFunc");
  EXPECT_EQ(pipl.effect_version, 0x00090001u);
  EXPECT_EQ(pipl.global_out_flags, 0x00080044u);
  EXPECT_EQ(pipl.global_out_flags2, 0u);
  EXPECT_NE(module_->entry_point(), nullptr);
}

TEST_F(LoadedModule, GlobalSetupReportsWhatThePiplDeclares) {
  headless::EffectInstance instance(*module_);
  const headless::CommandResult result = instance.GlobalSetup();
  ExpectHoldsNothing(result);
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_EQ(result.out_data.my_version, module_->pipl().effect_version);
  EXPECT_EQ(static_cast<uint32_t>(result.out_data.out_flags), module_->pipl().global_out_flags);
  EXPECT_EQ(result.out_data.out_flags2, 0);
}

TEST_F(LoadedModule, GlobalSetupInPremiereRegistersEightBitBgra) {
  headless::InstanceOptions options;
  options.application = headless::kApplicationPremierePro;
  headless::EffectInstance instance(*module_, options);
  const headless::CommandResult result = instance.GlobalSetup();
  ExpectHoldsNothing(result);
  EXPECT_EQ(result.err, PF_Err_NONE);
  ASSERT_EQ(instance.SupportedPixelFormats().size(), 1u);
  EXPECT_EQ(static_cast<uint32_t>(instance.SupportedPixelFormats()[0]), 0x61726762u);
}

TEST_F(LoadedModule, AboutShowsNameVersionAndDescription) {
  headless::EffectInstance instance(*module_);
  const headless::CommandResult result = instance.About();
  ExpectHoldsNothing(result);
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_STREQ(result.out_data.return_msg,
               "Quorvel, v1.2\r"
               "Creates a shape behind text that updates automatically with the source text. \n"
               "Ostrevane\n"
               "https://ostrevane.example/quorvel\n");
}

TEST_F(LoadedModule, ParamsSetupRegistersTheEffectControlsInOrder) {
  headless::EffectInstance instance(*module_);
  const headless::CommandResult result = instance.ParamsSetup();
  ExpectHoldsNothing(result);
  EXPECT_EQ(result.err, PF_Err_NONE);
  EXPECT_EQ(result.out_data.num_params, 27);
  const std::vector<std::string> names = {"Shape",
                                          "Roundness",
                                          "Expansion Uniform",
                                          "Expansion Width",
                                          "Expansion Height",
                                          "Fill Color",
                                          "Fill Opacity",
                                          "Transformation Offsets",
                                          "Position",
                                          "Rotation",
                                          "Uniform Scale",
                                          "Scale Width",
                                          "Scale Height",
                                          "Skew X",
                                          "Skew Y",
                                          "Anchor Point X",
                                          "Anchor Point Y",
                                          "",
                                          "Matte Text to Fill",
                                          "Subtract Text from Fill",
                                          "Border Parameters",
                                          "Enable Border",
                                          "Border Width",
                                          "Border Color",
                                          "Border Opacity",
                                          ""};
  ASSERT_EQ(instance.NumParams(), 27);
  for (int index = 1; index <= 26; ++index) {
    EXPECT_EQ(instance.ParamName(index), names[static_cast<std::size_t>(index - 1)]);
    EXPECT_EQ(instance.Definition(index).uu.id, index);
  }
}

TEST_F(LoadedModule, UnhandledCommandsReturnZeroAndHoldNothing) {
  headless::EffectInstance instance(*module_);
  for (const PF_Cmd command : {PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_SEQUENCE_SETUP,
                               PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_SMART_RENDER}) {
    const headless::CommandResult result = instance.Run(command);
    ExpectHoldsNothing(result);
    EXPECT_EQ(result.err, PF_Err_NONE) << "command " << command;
  }
}

// The dynamic symbols the module defines, as the system's nm lists them.
std::set<std::string> DefinedDynamicSymbols(const std::filesystem::path& module) {
  const std::string command = "nm -D --defined-only '" + module.string() + "' 2>/dev/null";
  std::set<std::string> symbols;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return symbols;
  }
  char line[1024];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) {
      symbols.insert(name);
    }
  }
  return symbols;
}

TEST(ModuleExports, OnlyEntryPointFunc) {
  std::set<std::string> symbols = DefinedDynamicSymbols(kModulePath);
  // Symbols the linker itself may define in every shared object are not the module's own.
  for (const char* linker_symbol : {"_init", "_fini", "__bss_start", "_edata", "_end"}) {
    symbols.erase(linker_symbol);
  }
  EXPECT_EQ(symbols, std::set<std::string>{"EntryPointFunc"});
}

TEST(ModulePipl, SidecarHoldsTheDocumentedBytes) {
  const std::filesystem::path sidecar = kModulePath.parent_path() / "Quorvel.pipl";
  ASSERT_TRUE(std::filesystem::exists(sidecar)) << sidecar;
  const std::vector<uint8_t> bytes = ReadBytes(sidecar);
  EXPECT_EQ(bytes.size(), test_support::kExpectedPiplSize);
  EXPECT_EQ(bytes, test_support::ExpectedPiplBytes());
}

// The resource script lists the PiPL as 16-bit words, each two bytes, the first in the low half.
TEST(ModulePipl, ResourceScriptHoldsTheSameBytesAsResource16000InUsEnglish) {
  const std::filesystem::path script_path = kModulePath.parent_path() / "Quorvel_pipl.rc";
  ASSERT_TRUE(std::filesystem::exists(script_path)) << script_path;
  const std::string script = ReadText(script_path);
  EXPECT_NE(script.find("LANGUAGE 0x09, 0x01"), std::string::npos);
  const std::size_t header = script.find("16000 PiPL");
  ASSERT_NE(header, std::string::npos);
  const std::size_t begin = script.find("BEGIN", header);
  const std::size_t end = script.find("END", begin);
  ASSERT_NE(begin, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  const std::string body = script.substr(begin + 5, end - begin - 5);
  std::vector<uint8_t> bytes;
  const std::regex word("0x([0-9A-Fa-f]{4})");
  for (auto match = std::sregex_iterator(body.begin(), body.end(), word);
       match != std::sregex_iterator(); ++match) {
    const unsigned long value = std::stoul((*match)[1].str(), nullptr, 16);
    bytes.push_back(static_cast<uint8_t>(value & 0xFFu));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
  }
  EXPECT_EQ(bytes, test_support::ExpectedPiplBytes());
}

}  // namespace
}  // namespace quorvel
