// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "headless/pixels/world.h"
#include "media/image/png_input.h"
#include "media/image/png_output.h"
#include "tests/headless/pixel_test_support.h"

namespace quorvel::media {
namespace {

namespace fs = std::filesystem;
using headless::OwnedWorld;
using headless::test::Argb;
using headless::test::ArgbOf;
using headless::test::Pixel;

class PngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder = fs::temp_directory_path() / ("quorvel-png-test-" + std::to_string(random()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  // Names of everything in the folder.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  fs::path folder;
};

TEST_F(PngTest, RoundTripKeepsPremultipliedPixels) {
  OwnedWorld world(3, 1);
  world.At(0, 0) = Pixel(255, 10, 20, 30);
  world.At(1, 0) = Pixel(128, 64, 0, 32);
  world.At(2, 0) = Pixel(0, 0, 0, 0);
  const fs::path path = folder / "round.png";
  ASSERT_TRUE(WritePng(world.world(), path));

  const PngImage image = ReadPng(path);
  ASSERT_TRUE(image.status) << image.status.message;
  ASSERT_EQ(image.world->width(), 3);
  ASSERT_EQ(image.world->height(), 1);
  EXPECT_EQ(ArgbOf(image.world->At(0, 0)), (Argb{255, 10, 20, 30}));
  EXPECT_EQ(ArgbOf(image.world->At(1, 0)), (Argb{128, 64, 0, 32}));
  EXPECT_EQ(ArgbOf(image.world->At(2, 0)), (Argb{0, 0, 0, 0}));
}

TEST_F(PngTest, OverABackgroundTheImageIsOpaque) {
  // Half red over white: red 128 + 255 × 127/255, green and blue 255 × 127/255.
  OwnedWorld world(1, 1);
  world.At(0, 0) = Pixel(128, 128, 0, 0);
  const fs::path path = folder / "flat.png";
  ASSERT_TRUE(WritePng(world.world(), path, Pixel(255, 255, 255, 255)));
  const PngImage image = ReadPng(path);
  ASSERT_TRUE(image.status) << image.status.message;
  EXPECT_EQ(ArgbOf(image.world->At(0, 0)), (Argb{255, 255, 127, 127}));
}

TEST_F(PngTest, ReplacesAnExistingFileAndLeavesNoTemporaryBehind) {
  const fs::path path = folder / "frame.png";
  std::ofstream(path) << "old contents";
  OwnedWorld world(2, 2);
  ASSERT_TRUE(WritePng(world.world(), path));
  EXPECT_EQ(Entries(), std::vector<std::string>{"frame.png"});
  EXPECT_TRUE(ReadPng(path).status);
}

TEST_F(PngTest, AFailedRenameLeavesWhatWasThereAndNoTemporary) {
  // A folder where the file should go: the image is written aside, and the rename fails.
  const fs::path path = folder / "taken";
  fs::create_directory(path);
  OwnedWorld world(2, 2);
  const FileStatus status = WritePng(world.world(), path);
  EXPECT_FALSE(status);
  EXPECT_FALSE(status.message.empty());
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(Entries(), std::vector<std::string>{"taken"});
}

// A missing folder is made as the file is written; one that cannot be (a file is in the way) is
// an error that writes nothing.
TEST_F(PngTest, TheFolderIsMadeAsTheFileIsWrittenOrTheWriteFails) {
  OwnedWorld world(2, 2);
  EXPECT_TRUE(WritePng(world.world(), folder / "new" / "folder.png"));
  EXPECT_TRUE(std::filesystem::is_regular_file(folder / "new" / "folder.png"));
  std::ofstream(folder / "file") << "in the way";
  const FileStatus written = WritePng(world.world(), folder / "file" / "such.png");
  EXPECT_FALSE(written);
  EXPECT_NE(written.message.find("cannot make its folder"), std::string::npos) << written.message;
  EXPECT_EQ(Entries().size(), 2u);
}

TEST_F(PngTest, AWorldWithoutPixelsIsAnErrorAndWritesNothing) {
  const PF_EffectWorld empty{};
  EXPECT_FALSE(WritePng(empty, folder / "empty.png"));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(PngTest, ReadingAMissingFileIsAnError) {
  const PngImage image = ReadPng(folder / "absent.png");
  EXPECT_FALSE(image.status);
  EXPECT_FALSE(image.world.has_value());
}

TEST_F(PngTest, ReadingAFileThatIsNoPngIsAnError) {
  const fs::path path = folder / "text.png";
  std::ofstream(path) << "not an image";
  const PngImage image = ReadPng(path);
  EXPECT_FALSE(image.status);
  EXPECT_FALSE(image.world.has_value());
}

}  // namespace
}  // namespace quorvel::media
