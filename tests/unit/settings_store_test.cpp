#include "settings/settings_store.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/folder_listing_memory.h"
#include "settings/registry.h"
#include "settings/registry_memory.h"
#include "settings/texture_list.h"

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMemoryRegistry();
    ResetMemoryFolders();
    ResetTextureList();
    ResetSaverSettings();
  }
  void TearDown() override { EXPECT_EQ(OpenMemoryRegistryKeyCount(), 0) << "key left open"; }
};

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Dword(std::uint32_t value) {
  return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
          std::uint8_t(value >> 24)};
}

void Store(const char* name, std::uint32_t type, const Bytes& bytes) {
  SetMemoryRegistryValue(SettingsKeyPath, name, type, bytes);
}

Bytes Stored(const char* name, std::uint32_t type) {
  const auto value = ReadMemoryRegistryValue(SettingsKeyPath, name);
  if (!value) return {};
  EXPECT_EQ(value->type, type) << name;
  return value->bytes;
}

void ExpectDefaults() {
  EXPECT_STREQ(SaverSettings.AppFolder, "C:\\Program Files\\Ondrel\\Vesperine\\");
  EXPECT_EQ(SaverSettings.RefreshTime, 50000);
  EXPECT_EQ(SaverSettings.TimeInterval, 3500);
  EXPECT_EQ(SaverSettings.ColorDifference, 21);
}

TEST_F(SettingsStoreTest, MissingKeyIsCreatedAndGivesDefaults) {
  LoadSettings();
  EXPECT_TRUE(MemoryRegistryKeyExists("SOFTWARE\\ondrel\\vesperine"));
  ExpectDefaults();
  EXPECT_EQ(TextureCount(), 0);
}

TEST_F(SettingsStoreTest, StoredValuesAreUsedUnchangedAndSaveRewritesThem) {
  Store("appfolder", kRegistryString, Text("D:\\Pics\\\0"s));
  Store("Refresh Time", kRegistryDword, Dword(12345));
  Store("Time Interval", kRegistryDword, Dword(0xFFFFFFFF));
  Store("Color Difference", kRegistryDword, Dword(40));
  Store("Texture", kRegistryMultiString, Text("C:\\a.bmp\0D:\\b.png\0\0"s));
  AppendTexturesFromMultiString("earlier\0", 9);
  LoadSettings();
  EXPECT_STREQ(SaverSettings.AppFolder, "D:\\Pics\\");
  EXPECT_EQ(SaverSettings.RefreshTime, 12345);
  EXPECT_EQ(SaverSettings.TimeInterval, -1);
  EXPECT_EQ(SaverSettings.ColorDifference, 40);
  ASSERT_EQ(TextureCount(), 3);
  EXPECT_STREQ(TextureAt(2), "D:\\b.png");

  EXPECT_EQ(WriteSettings(1234, 777), 1);
  EXPECT_EQ(Stored("Refresh Time", kRegistryDword), Dword(12340));
  EXPECT_EQ(Stored("Time Interval", kRegistryDword), Dword(777));
  EXPECT_EQ(Stored("Color Difference", kRegistryDword), Dword(21));
  EXPECT_EQ(Stored("Texture", kRegistryMultiString), Text("earlier\0C:\\a.bmp\0D:\\b.png\0\0"s));
  EXPECT_EQ(Stored("AppFolder", kRegistryString), Text("D:\\Pics\\\0"s));
  EXPECT_EQ(SaverSettings.ColorDifference, 40) << "a save does not touch the fields";
}

TEST_F(SettingsStoreTest, SavingAnEmptyListStoresOneNulAndNeverCreatesAppFolder) {
  EXPECT_EQ(WriteSettings(500, 50), 1);
  EXPECT_EQ(Stored("Texture", kRegistryMultiString), Bytes{0});
  EXPECT_FALSE(ReadMemoryRegistryValue(SettingsKeyPath, "AppFolder"));
  LoadSettings();
  EXPECT_EQ(TextureCount(), 0);
  EXPECT_EQ(SaverSettings.RefreshTime, 5000);
}

TEST_F(SettingsStoreTest, WrongTypesAndSizesGiveDefaults) {
  Store("AppFolder", kRegistryExpandString, Text("D:\\Pics\0"s));
  Store("Refresh Time", kRegistryString, Text("60000\0"s));
  Store("Time Interval", kRegistryDword, Bytes{1, 2, 3});
  Store("Color Difference", kRegistryDword, Bytes{1, 0, 0, 0, 0, 0, 0, 0});
  Store("Texture", kRegistryString, Text("C:\\a.bmp\0\0"s));
  LoadSettings();
  ExpectDefaults();
  EXPECT_EQ(TextureCount(), 0);
}

TEST_F(SettingsStoreTest, AppFolderIsTakenOnlyWhenItFits) {
  const struct {
    std::string stored, expected;
  } cases[] = {
      {std::string(511, 'a') + '\0', std::string(511, 'a')},
      {std::string(511, 'b'), std::string(511, 'b')},  // terminated by us
      {"D:\\x\0tail"s, "D:\\x"},
      {"", ""},
      {std::string(512, 'c'), kDefaultAppFolder},
      {std::string(599, 'd') + '\0', kDefaultAppFolder},
  };
  for (const auto& c : cases) {
    Store("AppFolder", kRegistryString, Text(c.stored));
    LoadSettings();
    EXPECT_EQ(std::string(SaverSettings.AppFolder), c.expected) << c.stored.size();
    EXPECT_EQ(SaverSettings.RefreshTime, 50000) << "written past AppFolder";
  }
}

// The whole stored list loads and saves back, however long; a cut last entry is still dropped.
TEST_F(SettingsStoreTest, LongTextureListSurvivesLoadAndSave) {
  std::string entries;  // 400 entries of 100 bytes: 40,000 bytes
  for (int i = 0; i < 400; ++i)
    entries += "C:\\T\\" + std::to_string(i) + std::string(90 - std::to_string(i).size(), 'x') +
               ".bmp" + '\0';
  Store("Texture", kRegistryMultiString, Text(entries + '\0'));
  LoadSettings();
  ASSERT_EQ(TextureCount(), 400);
  EXPECT_EQ(std::string(TextureAt(399)), entries.substr(39900, 99));
  EXPECT_EQ(WriteSettings(700, 70), 1);
  EXPECT_EQ(Stored("Texture", kRegistryMultiString), Text(entries + '\0'));

  ResetTextureList();
  Store("Texture", kRegistryMultiString, Text(entries + "C:\\cut"));
  LoadSettings();
  EXPECT_EQ(TextureCount(), 400);
}

// A key its owner made read-only still loads; only a save needs (and is refused) write access.
TEST_F(SettingsStoreTest, ReadOnlyKeyLoadsAndIsNotWritten) {
  Store("Time Interval", kRegistryDword, Dword(900));
  Store("Texture", kRegistryMultiString, Text("C:\\a.bmp\0\0"s));
  MakeMemoryRegistryKeyReadOnly(SettingsKeyPath);
  LoadSettings();
  EXPECT_EQ(SaverSettings.TimeInterval, 900);
  ASSERT_EQ(TextureCount(), 1);
  EXPECT_EQ(WriteSettings(700, 70), 1);
  EXPECT_EQ(Stored("Time Interval", kRegistryDword), Dword(900));
}

TEST_F(SettingsStoreTest, UnopenableKeyLeavesDefaultsAndListAndWritesNothing) {
  Store("Refresh Time", kRegistryDword, Dword(9000));
  Store("Texture", kRegistryMultiString, Text("C:\\a.bmp\0\0"s));
  AppendTexturesFromMultiString("kept\0", 6);
  SaverSettings.RefreshTime = 1;
  FailNextMemoryRegistryOpens(2, kRegistryAccessDenied);
  LoadSettings();
  ExpectDefaults();
  ASSERT_EQ(TextureCount(), 1);
  EXPECT_EQ(WriteSettings(700, 70), 1);
  EXPECT_EQ(Stored("Refresh Time", kRegistryDword), Dword(9000));
}

std::vector<std::string> Textures() {
  std::vector<std::string> paths;
  for (std::int32_t i = 0; i < TextureCount(); ++i)
    paths.emplace_back(TextureAt(i));
  return paths;
}

// A first start, with no "Texture" value at all, shows the pictures in AppFolder; any stored value,
// the empty list and a value of the wrong type included, is taken as stored.
TEST_F(SettingsStoreTest, NeverStoredTexturesAreThePicturesInAppFolderInNameOrder) {
  SetMemoryFolderFiles("c:\\program files\\ondrel\\vesperine",
                       {"b.PNG", "notes.txt", "a.jpeg", "A.gif", ".png", "c.JPG", "d.bmp.txt",
                        "e.bmp", std::string(480, 'f') + ".png"});
  LoadSettings();
  const std::string folder = kDefaultAppFolder;
  EXPECT_EQ(Textures(),
            (std::vector<std::string>{folder + "A.gif", folder + "a.jpeg", folder + "b.PNG",
                                      folder + "c.JPG", folder + "e.bmp"}));
  WriteSettings(5000, 3500);
  EXPECT_EQ(Stored("Texture", kRegistryMultiString).size(), 5 * (folder.size() + 1) + 26 + 1);

  SetMemoryFolderFiles("D:\\Pics", {"x.bmp"});
  for (const Bytes& stored : {Bytes{0}, Text("C:\\a.bmp\0\0"s)}) {
    Store("AppFolder", kRegistryString, Text("D:\\Pics\0"s));
    Store("Texture", stored.size() == 1 ? kRegistryMultiString : kRegistryString, stored);
    ResetTextureList();
    LoadSettings();
    EXPECT_EQ(TextureCount(), 0) << stored.size();
  }
  ResetMemoryRegistry();
  Store("AppFolder", kRegistryString, Text("D:\\Pics\0"s));
  LoadSettings();
  EXPECT_EQ(Textures(), std::vector<std::string>{"D:\\Pics\\x.bmp"});
}

}  // namespace
