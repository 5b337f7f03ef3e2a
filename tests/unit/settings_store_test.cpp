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

// Outside the anonymous namespace: the shared cases derive from it in another file.
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

namespace {

void Store(const char* name, std::uint32_t type, const std::string& bytes) {
  SetMemoryRegistryValue(SettingsKeyPath, name, type, Bytes(bytes.begin(), bytes.end()));
}

std::pair<std::uint32_t, std::string> Stored(const char* name) {
  const auto value = ReadMemoryRegistryValue(SettingsKeyPath, name);
  if (!value) return {0, ""};
  return {value->type, std::string(value->bytes.begin(), value->bytes.end())};
}

bool SettingsKeyExists() {
  return MemoryRegistryKeyExists(SettingsKeyPath);
}

}  // namespace

#include "tests/unit/settings_store_cases.h"

// The cases below need what only the in-memory registry can do: make a key read-only, refuse an
// open, fill a folder.
namespace {

// A key its owner made read-only still loads; only a save needs (and is refused) write access.
TEST_F(SettingsStoreTest, ReadOnlyKeyLoadsAndIsNotWritten) {
  Store("Time Interval", kRegistryDword, Dword(900));
  Store("Texture", kRegistryMultiString, "C:\\a.bmp\0\0"s);
  MakeMemoryRegistryKeyReadOnly(SettingsKeyPath);
  LoadSettings();
  EXPECT_EQ(SaverSettings.TimeInterval, 900);
  ASSERT_EQ(TextureCount(), 1);
  EXPECT_EQ(WriteSettings(700, 70), 1);
  EXPECT_EQ(Stored("Time Interval"), DwordValue(900));
}

TEST_F(SettingsStoreTest, UnopenableKeyLeavesDefaultsAndListAndWritesNothing) {
  Store("Refresh Time", kRegistryDword, Dword(9000));
  Store("Texture", kRegistryMultiString, "C:\\a.bmp\0\0"s);
  AppendTexturesFromMultiString("kept\0", 6);
  SaverSettings.RefreshTime = 1;
  FailNextMemoryRegistryOpens(2, kRegistryAccessDenied);
  LoadSettings();
  ExpectDefaults();
  ASSERT_EQ(TextureCount(), 1);
  EXPECT_EQ(WriteSettings(700, 70), 1);
  EXPECT_EQ(Stored("Refresh Time"), DwordValue(9000));
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
  SetMemoryFolderFiles(
      "c:\\program files\\ondrel\\vesperine",
      {"b.PNG", "notes.txt", "a.jpeg", "A.gif", ".png", "c.JPG", "d.bmp.txt", "e.bmp",
       std::string(kTexturePathBytes - sizeof kDefaultAppFolder - 3, 'f') + ".png"});
  LoadSettings();
  const std::string folder = kDefaultAppFolder;
  EXPECT_EQ(Textures(),
            (std::vector<std::string>{folder + "A.gif", folder + "a.jpeg", folder + "b.PNG",
                                      folder + "c.JPG", folder + "e.bmp"}));
  WriteSettings(5000, 3500);
  EXPECT_EQ(Stored("Texture").second.size(), 5 * (folder.size() + 1) + 26 + 1);

  SetMemoryFolderFiles("D:\\Pics", {"x.bmp"});
  for (const std::string& stored : {"\0"s, "C:\\a.bmp\0\0"s}) {
    Store("AppFolder", kRegistryString, "D:\\Pics\0"s);
    Store("Texture", stored.size() == 1 ? kRegistryMultiString : kRegistryString, stored);
    ResetTextureList();
    LoadSettings();
    EXPECT_EQ(TextureCount(), 0) << stored.size();
  }
  ResetMemoryRegistry();
  Store("AppFolder", kRegistryString, "D:\\Pics\0"s);
  LoadSettings();
  EXPECT_EQ(Textures(), std::vector<std::string>{"D:\\Pics\\x.bmp"});
}

}  // namespace
