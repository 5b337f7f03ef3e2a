// Texture files on the real file system (wine's): what is not a disk file is refused without a
// read, and the folder listing spells names in the ANSI code page or leaves them out.
#include "textures/texture_file.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/folder_listing.h"

namespace {

// A read of a connected pipe whose server never writes would wait for ever.
TEST(TextureFile, RefusesPipesDevicesFoldersAndEmptyFiles) {
  const std::string pipeName =
      "\\\\.\\pipe\\vesperine-texture-" + std::to_string(GetCurrentProcessId());
  const HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                       4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string empty =
      std::string(temp) + "vesperine-empty-" + std::to_string(GetCurrentProcessId());
  const std::string picture = empty + ".bmp";
  for (const std::string& path : {empty, picture}) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (path == picture) WriteFile(file, "BM", 2, &written, nullptr);
    CloseHandle(file);
  }

  for (const std::string& path : {pipeName, std::string("CON"), std::string("NUL"),
                                  std::string(temp), empty, std::string("Q:\\gone.png")}) {
    TextureFileView view;
    EXPECT_FALSE(OpenTextureFile(path.c_str(), &view)) << path;
    EXPECT_EQ(view.data, nullptr) << path;
  }
  TextureFileView view;
  ASSERT_TRUE(OpenTextureFile(picture.c_str(), &view));
  ASSERT_EQ(view.size, 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), 2), "BM");
  // Held open for reading, the file can still be written and deleted by others.
  const HANDLE writer = CreateFileA(picture.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE);
  CloseHandle(writer);
  CloseTextureFile(&view);
  CloseHandle(pipe);
  DeleteFileA(empty.c_str());
  DeleteFileA(picture.c_str());
}

// Names come in the code page: in UTF-8 all of them; in a single-byte one, a name it cannot spell
// is left out, never listed as a lookalike.
TEST(FolderListing, SpellsNamesInTheCodePageOrLeavesThemOut) {
  std::vector<std::string> expected;
  if (GetACP() == CP_UTF8) {
    expected = {"caf\xC3\xA9.png",
                "\xC5\x81\xC3\xB3"
                "d\xC5\xBA.png",
                "\xE6\x97\xA5\xE6\x9C\xAC.png"};
  } else if (GetACP() == 1252) {
    expected = {"caf\xE9.png"};
  } else {
    GTEST_SKIP() << "code page " << GetACP();
  }
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring folder =
      std::wstring(temp) + L"vesperine-names-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring names[] = {L"caf\u00E9.png", L"\u0141\u00F3d\u017A.png", L"\u65E5\u672C.png"};
  for (const std::wstring& name : names) {
    const HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  char narrow[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
  std::vector<std::string> listed = ListFolderFiles(narrow);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, expected);
  for (const std::wstring& name : names)
    DeleteFileW((folder + L"\\" + name).c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
