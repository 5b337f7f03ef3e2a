// The settings store's load and save, written once and compiled against both registry bindings:
// settings_store_test.cpp (the in-memory registry) and tests/win32/settings_registry_test.cpp
// (wine's). The including file defines, before it includes this:
//   class SettingsStoreTest               the fixture: an empty registry and a fresh store
//   void Store(name, type, bytes)         the value stored with exactly these bytes
//   std::pair<std::uint32_t, std::string> Stored(name)   its type and bytes; type 0 when absent
//   bool SettingsKeyExists()
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "settings/registry.h"
#include "settings/settings_store.h"
#include "settings/texture_list.h"

namespace settings_cases {

inline std::string Dword(std::uint32_t value) {
  return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

inline std::pair<std::uint32_t, std::string> DwordValue(std::uint32_t value) {
  return {kRegistryDword, Dword(value)};
}

inline void ExpectDefaults() {
  EXPECT_STREQ(SaverSettings.AppFolder, "C:\\Program Files\\Ondrel\\Vesperine\\");
  EXPECT_EQ(SaverSettings.RefreshTime, 50000);
  EXPECT_EQ(SaverSettings.TimeInterval, 3500);
  EXPECT_EQ(SaverSettings.ColorDifference, 21);
}

}  // namespace settings_cases

using settings_cases::Dword;
using settings_cases::DwordValue;
using settings_cases::ExpectDefaults;
using namespace std::string_literals;

TEST_F(SettingsStoreTest, MissingKeyIsCreatedAndGivesDefaults) {
  ASSERT_FALSE(SettingsKeyExists());
  LoadSettings();
  EXPECT_TRUE(SettingsKeyExists());
  ExpectDefaults();
  EXPECT_EQ(TextureCount(), 0);
}

TEST_F(SettingsStoreTest, StoredValuesAreUsedUnchangedAndSaveRewritesThem) {
  Store("appfolder", kRegistryString, "D:\\Pics\\\0"s);
  Store("Refresh Time", kRegistryDword, Dword(12345));
  Store("Time Interval", kRegistryDword, Dword(0xFFFFFFFF));
  Store("Color Difference", kRegistryDword, Dword(40));
  Store("Texture", kRegistryMultiString, "C:\\a.bmp\0D:\\b.png\0\0"s);
  AppendTexturesFromMultiString("earlier\0", 9);
  LoadSettings();
  EXPECT_STREQ(SaverSettings.AppFolder, "D:\\Pics\\");
  EXPECT_EQ(SaverSettings.RefreshTime, 12345);
  EXPECT_EQ(SaverSettings.TimeInterval, -1);
  EXPECT_EQ(SaverSettings.ColorDifference, 40);
  ASSERT_EQ(TextureCount(), 3);
  EXPECT_STREQ(TextureAt(2), "D:\\b.png");

  EXPECT_EQ(WriteSettings(1234, 777), 1);
  EXPECT_EQ(Stored("Refresh Time"), DwordValue(12340));
  EXPECT_EQ(Stored("Time Interval"), DwordValue(777));
  EXPECT_EQ(Stored("Color Difference"), DwordValue(21));
  EXPECT_EQ(Stored("Texture"),
            std::make_pair(kRegistryMultiString, "earlier\0C:\\a.bmp\0D:\\b.png\0\0"s));
  EXPECT_EQ(Stored("AppFolder"), std::make_pair(kRegistryString, "D:\\Pics\\\0"s));
  EXPECT_EQ(SaverSettings.ColorDifference, 40) << "a save does not touch the fields";
}

TEST_F(SettingsStoreTest, SavedSettingsLoadBackAndAnEmptyListIsOneNul) {
  AppendTexturesFromMultiString("C:\\T\\a.bmp\0D:\\\\b.png\0\0", 23);
  EXPECT_EQ(WriteSettings(1234, 777), 1);
  EXPECT_EQ(Stored("Texture"),
            std::make_pair(kRegistryMultiString, "C:\\T\\a.bmp\0D:\\\\b.png\0\0"s));
  EXPECT_EQ(Stored("AppFolder").first, 0u) << "a save never creates AppFolder";
  ResetTextureList();
  LoadSettings();
  EXPECT_EQ(SaverSettings.RefreshTime, 12340);
  EXPECT_EQ(SaverSettings.TimeInterval, 777);
  ASSERT_EQ(TextureCount(), 2);
  EXPECT_STREQ(TextureAt(1), "D:\\\\b.png");

  ResetTextureList();
  EXPECT_EQ(WriteSettings(500, 50), 1);
  EXPECT_EQ(Stored("Texture"), std::make_pair(kRegistryMultiString, "\0"s));
  EXPECT_EQ(Stored("AppFolder").first, 0u);
  LoadSettings();
  EXPECT_EQ(TextureCount(), 0);
  EXPECT_EQ(SaverSettings.RefreshTime, 5000);
}

TEST_F(SettingsStoreTest, WrongTypesAndSizesGiveDefaults) {
  Store("AppFolder", kRegistryExpandString, "D:\\Pics\0"s);
  Store("Refresh Time", kRegistryString, "60000\0"s);
  Store("Time Interval", kRegistryDword, "\1\2\3"s);
  Store("Color Difference", kRegistryDword, Dword(30) + Dword(0));
  Store("Texture", kRegistryString, "C:\\a.bmp\0\0"s);
  ASSERT_EQ(Stored("Time Interval").second.size(), 3u);
  LoadSettings();
  ExpectDefaults();
  EXPECT_EQ(TextureCount(), 0);
}

TEST_F(SettingsStoreTest, AppFolderIsTakenOnlyWhenItFits) {
  const struct {
    std::string stored, expected;
  } cases[] = {
      {std::string(kAppFolderBytes - 1, 'a') + '\0', std::string(kAppFolderBytes - 1, 'a')},
      {std::string(kAppFolderBytes - 1, 'b'),
       std::string(kAppFolderBytes - 1, 'b')},  // terminated by us
      {"D:\\x\0tail"s, "D:\\x"},
      {"", kDefaultAppFolder},
      {"\0"s, kDefaultAppFolder},
      {std::string(kAppFolderBytes, 'c'), kDefaultAppFolder},
      {std::string(kAppFolderBytes + 87, 'd') + '\0', kDefaultAppFolder},
  };
  for (const auto& c : cases) {
    Store("AppFolder", kRegistryString, c.stored);
    LoadSettings();
    EXPECT_EQ(std::string(SaverSettings.AppFolder), c.expected) << c.stored.size();
    EXPECT_EQ(SaverSettings.RefreshTime, 50000) << "written past AppFolder";
  }
}

// The whole stored list loads and saves back, however long (past the 8192 bytes of a fixed block
// too); a cut last entry with no terminator is dropped.
TEST_F(SettingsStoreTest, LongTextureListSurvivesLoadAndSave) {
  std::string entries;  // 400 entries of 100 bytes: 40,000 bytes
  for (int i = 0; i < 400; ++i)
    entries += "C:\\T\\" + std::to_string(i) + std::string(90 - std::to_string(i).size(), 'x') +
               ".bmp" + '\0';
  Store("Texture", kRegistryMultiString, entries + '\0');
  LoadSettings();
  ASSERT_EQ(TextureCount(), 400);
  EXPECT_EQ(std::string(TextureAt(399)), entries.substr(39900, 99));
  EXPECT_EQ(WriteSettings(700, 70), 1);
  EXPECT_EQ(Stored("Texture"), std::make_pair(kRegistryMultiString, entries + '\0'));

  ResetTextureList();
  Store("Texture", kRegistryMultiString, entries + "C:\\cut");
  LoadSettings();
  EXPECT_EQ(TextureCount(), 400);
}
