// The folder seam on the real file system (wine's): files only, found with or without a trailing
// backslash. (The installed saver's first start reads the sample textures through it end to end.)
#include "settings/folder_listing.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

  for (const char* name : {"b.png", "A.txt", "c.JPG"})
    DeleteFileA((folder + "\\" + name).c_str());
  RemoveDirectoryA((folder + "\\sub.png").c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
