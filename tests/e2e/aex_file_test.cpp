// SPDX-License-Identifier: MIT
// The Windows module as a file, read on Linux: an x86-64 DLL that exports EntryPointFunc and
// nothing else, needs Windows' own DLLs only, and carries the PiPL as resource 16000.
// scripts/windows-test names the built Quorvel.aex in QUORVEL_AEX_PATH; without it (a Linux
// build alone has no .aex) these tests are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/support/expected_pipl.h"
#include "tests/support/pe_file.h"

namespace quorvel {
namespace {

using test_support::PeFile;
using test_support::PeReader;
using test_support::PeResource;

constexpr uint16_t kMachineX86_64 = 0x8664;

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class AexFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("QUORVEL_AEX_PATH");
    if (path == nullptr || path[0] == '\0') GTEST_SKIP() << "QUORVEL_AEX_PATH is not set";
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    std::ifstream stream(path, std::ios::binary);
    file_ = PeReader(std::vector<uint8_t>((std::istreambuf_iterator<char>(stream)),
                                          std::istreambuf_iterator<char>()))
                .Read();
  }

  // Resource type names are compared ignoring case, as Windows looks them up; resource
  // compilers store them in capitals ("PIPL").
  std::vector<PeResource> ResourcesOfType(const std::string& type) const {
    std::vector<PeResource> found;
    std::copy_if(file_.resources.begin(), file_.resources.end(), std::back_inserter(found),
                 [&type](const PeResource& resource) {
                   return Lowercase(resource.type) == Lowercase(type);
                 });
    return found;
  }

  PeFile file_;
};

TEST_F(AexFile, IsAnX86_64Dll) {
  EXPECT_EQ(file_.machine, kMachineX86_64);
  EXPECT_TRUE(file_.is_dll);
}

TEST_F(AexFile, ExportsEntryPointFuncAlone) {
  EXPECT_EQ(file_.exports, std::vector<std::string>{"EntryPointFunc"});
}

// The C and C++ runtimes, winpthreads, cairo and pixman are all linked in.
TEST_F(AexFile, ImportsWindowsSystemDllsOnly) {
  const std::set<std::string> system_dlls = {"kernel32.dll", "msvcrt.dll", "user32.dll",
                                             "gdi32.dll", "advapi32.dll"};
  ASSERT_FALSE(file_.imports.empty());
  for (const std::string& dll : file_.imports) {
    EXPECT_TRUE(system_dlls.count(Lowercase(dll)) == 1) << dll << " is not a Windows system DLL";
  }
}

TEST_F(AexFile, CarriesOnePiplResource16000InUsEnglish) {
  const std::vector<PeResource> pipls = ResourcesOfType("PiPL");
  ASSERT_EQ(pipls.size(), 1u);
  EXPECT_EQ(pipls[0].id, 16000u);
  EXPECT_EQ(pipls[0].language, 1033u);
}

TEST_F(AexFile, PiplResourceHoldsTheDocumentedBytes) {
  const std::vector<PeResource> pipls = ResourcesOfType("PiPL");
  ASSERT_EQ(pipls.size(), 1u);
  EXPECT_EQ(pipls[0].bytes.size(), test_support::kExpectedPiplSize);
  EXPECT_EQ(pipls[0].bytes, test_support::ExpectedPiplBytes());
}

}  // namespace
}  // namespace quorvel
