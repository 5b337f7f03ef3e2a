// The folder seam bound to KERNEL32's file search.
#include "settings/folder_listing.h"

#include <windows.h>

std::vector<std::string> ListFolderFiles(const char* folder) {
  std::vector<std::string> names;
  std::string pattern = folder != nullptr ? folder : "";
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}
