// The folder seam: the names of the files directly in one folder. Windows builds bind it to
// FindFirstFileA (folder_listing_win32.cpp); the in-memory folders of folder_listing_memory.cpp
// serve the native tests and tools. Portable header: no <windows.h>.
#pragma once

#include <string>
#include <vector>

// ---- Functions -------------------------------------------------------------------------------

// The names (not paths) of the files directly in `folder`, in no particular order: no folders, no
// "." or "..". `folder` may end with a backslash or not. A folder that does not exist or cannot
// be read gives none.
std::vector<std::string> ListFolderFiles(const char* folder);
