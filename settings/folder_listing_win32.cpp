// The folder seam bound to KERNEL32's file search. Names are read in UTF-16 and converted to the
// ANSI code page by us: FindFirstFileA's 260-byte name field cannot hold a long name in UTF-8, and
// a name the code page cannot spell is left out rather than listed as a lookalike ("Lodz.png" for
// "Łódź.png" names another file, or none). The Windows 9x family, whose W functions are stubs, is
// listed through FindFirstFileA.
#include "settings/folder_listing.h"

#include <windows.h>

#include "settings/ansi_text.h"
#include "settings/ansi_text_win32.h"

namespace {

std::string Pattern(const char* folder) {
  std::string pattern = folder != nullptr ? folder : "";
  if (!pattern.empty() && !EndsWithPathSeparator(pattern)) pattern += '\\';
  return pattern + '*';
}

// False when the name has a character the ANSI code page lacks.
bool FromWide(const WCHAR* wide, std::string& text) {
  BOOL lossy = FALSE;
  // UTF-8 spells every character, and refuses the flag's out-parameter.
  BOOL* lossyOut = GetACP() == CP_UTF8 ? nullptr : &lossy;
  const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, lossyOut);
  if (length <= 0 || lossy) return false;
  text.assign(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], length, nullptr, lossyOut) != length ||
      lossy) {
    return false;
  }
  text.pop_back();
  return true;
}

std::vector<std::string> ListNarrow(const std::string& pattern) {
  std::vector<std::string> names;
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

}  // namespace

std::vector<std::string> ListFolderFiles(const char* folder) {
  const std::string pattern = Pattern(folder);
  std::wstring widePattern;
  if (!AnsiToWide(pattern.c_str(), widePattern)) return {};
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(widePattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? ListNarrow(pattern)
                                                        : std::vector<std::string>{};
  }
  std::vector<std::string> names;
  do {
    std::string name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && FromWide(found.cFileName, name))
      names.push_back(std::move(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}
