// File names and folders: the samples' folder below the system's Program Files folder, separators
// in double-byte code pages, and what a texture load refuses before decoding.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/ansi_text.h"
#include "settings/ansi_text_memory.h"
#include "settings/folder_listing_memory.h"
#include "settings/folder_textures.h"
#include "settings/registry.h"
#include "settings/registry_memory.h"
#include "settings/settings_store.h"
#include "settings/texture_list.h"
#include "textures/texture_image.h"
#include "tests/unit/picture_files.h"

namespace {

using namespace std::string_literals;

// Shift-JIS characters whose second byte is 0x5C, the backslash's value.
const std::string kOmote = "\x95\x5C";  // 表
const std::string kSo = "\x83\x5C";     // ソ

class FileNamesTest : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    ResetMemoryRegistry();
    ResetMemoryFolders();
    ResetSaverSettings();
    ResetTextureList();
    SetMemoryAnsiCodePage(1252);
  }
};

void StoreAppFolder(const std::string& folder) {
  SetMemoryRegistryValue(SettingsKeyPath, "AppFolder", kRegistryString,
                         std::vector<std::uint8_t>(folder.begin(), folder.end()));
}

TEST_F(FileNamesTest, TheSamplesFolderIsBelowTheSystemsProgramFiles) {
  const struct {
    const char* programFiles;  // null: the system names none
    std::string expected;
  } cases[] = {
      {"D:\\Programme", "D:\\Programme\\Ondrel\\Vesperine\\"},
      {"C:\\Program Files (x86)\\", "C:\\Program Files (x86)\\Ondrel\\Vesperine\\"},
      {nullptr, kDefaultAppFolder},
      {"", kDefaultAppFolder},
  };
  const std::string tooLong(kAppFolderBytes - 10, 'p');
  for (const auto& c : cases) {
    SetMemoryMachineString(kProgramFilesKeyPath, kProgramFilesValue, c.programFiles);
    LoadSettings();
    EXPECT_EQ(std::string(SaverSettings.AppFolder), c.expected) << c.expected;
  }
  SetMemoryMachineString(kProgramFilesKeyPath, kProgramFilesValue, tooLong.c_str());
  LoadSettings();
  EXPECT_STREQ(SaverSettings.AppFolder, kDefaultAppFolder);

  // A stored folder wins; an empty one keeps the system's, which a first start then lists.
  SetMemoryMachineString(kProgramFilesKeyPath, kProgramFilesValue, "D:\\Programme");
  SetMemoryFolderFiles("D:\\Programme\\Ondrel\\Vesperine", {"a.png"});
  StoreAppFolder("E:\\Mine\0"s);
  LoadSettings();
  EXPECT_STREQ(SaverSettings.AppFolder, "E:\\Mine");
  ResetTextureList();
  StoreAppFolder("\0"s);
  LoadSettings();
  ASSERT_EQ(TextureCount(), 1);
  EXPECT_STREQ(TextureAt(0), "D:\\Programme\\Ondrel\\Vesperine\\a.png");
}

// A trail byte 0x5C is no separator in a double-byte code page, and is one in any other.
TEST_F(FileNamesTest, SeparatorsStartACharacter) {
  const std::string path = "C:\\" + kOmote + "\\" + kSo + ".png";
  char name[kTextureDisplayNameBytes];
  SetMemoryAnsiCodePage(932);
  TextureDisplayName(path, name, sizeof name);
  EXPECT_EQ(std::string(name), kSo + ".png");
  EXPECT_FALSE(EndsWithPathSeparator("C:\\" + kOmote));
  EXPECT_EQ(LastPathSeparator("\x81"), std::string::npos);  // a lead byte cut off at the end
  SetMemoryFolderFiles(("C:\\" + kOmote).c_str(), {"a.png"});
  AppendTexturesFromFolder(("C:\\" + kOmote).c_str());
  ASSERT_EQ(TextureCount(), 1);
  EXPECT_EQ(std::string(TextureAt(0)), "C:\\" + kOmote + "\\a.png");

  SetMemoryAnsiCodePage(65001);
  TextureDisplayName(path, name, sizeof name);
  EXPECT_EQ(std::string(name), ".png");
  EXPECT_TRUE(EndsWithPathSeparator("C:\\" + kOmote));
}

TEST_F(FileNamesTest, LoadsRefuseWhatNoDecoderShouldSee) {
  const auto folder =
      std::filesystem::temp_directory_path() /
      ("vesperine-names-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder);
  picture_files::Png png;
  png.width = png.height = 3;
  png.rows.assign(27, 0x40);
  const std::string good = (folder / "good.png").string();
  const std::string tiff = (folder / "tiff.png").string();
  ASSERT_TRUE(picture_files::WriteFile(good, picture_files::EncodePng(png)));
  ASSERT_TRUE(picture_files::WriteFile(tiff, {'I', 'I', 42, 0, 8, 0, 0, 0}));
  {
    // 3 x 3 pixels at 32 bits: 36 bytes.
    TextureImage image;
    EXPECT_EQ(image.LoadFromFile(good.c_str(), 35), kTextureFail);
    EXPECT_EQ(image.bitmap, nullptr);
    EXPECT_EQ(image.LoadFromFile(good.c_str(), 36), kTextureOk);
    TextureImage other;
    EXPECT_EQ(other.LoadFromFile(tiff.c_str()), kTextureFail);
    EXPECT_EQ(other.LoadFromFile(folder.string().c_str()), kTextureFail);  // a folder
  }
  ResetTextureImages();
  std::filesystem::remove_all(folder);
}

}  // namespace
