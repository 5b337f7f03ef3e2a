// The folder seam on the real file system (wine's): files only, found with or without a trailing
// backslash, and a first start's textures read from such a folder through the registry.
#include "settings/folder_listing.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "settings/texture_list.h"

namespace {

TEST(FolderListing, ListsTheFilesDirectlyInAFolder) {
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string folder =
      std::string(temp) + "vesperine-folder-" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((folder + "\\sub.png").c_str(), nullptr));
  for (const char* name : {"b.png", "A.txt", "c.JPG"}) {
    const HANDLE file = CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    CloseHandle(file);
  }

  for (const std::string& asked : {folder, folder + "\\"}) {
    std::vector<std::string> names = ListFolderFiles(asked.c_str());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "b.png", "c.JPG"})) << asked;
  }
  EXPECT_TRUE(ListFolderFiles((folder + "\\missing").c_str()).empty());

  // No "Texture" value: the saver's list is the folder's pictures.
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Ondrel");
  const std::string value = folder + "\\";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "AppFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  ResetTextureList();
  LoadSettings();
  ASSERT_EQ(TextureCount(), 2);
  EXPECT_EQ(std::string(TextureAt(0)), value + "b.png");
  EXPECT_EQ(std::string(TextureAt(1)), value + "c.JPG");

  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Ondrel");
  ResetTextureList();
  ResetSaverSettings();
  for (const char* name : {"b.png", "A.txt", "c.JPG"})
    DeleteFileA((folder + "\\" + name).c_str());
  RemoveDirectoryA((folder + "\\sub.png").c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
