// Test-only view of the in-memory folders (folder_listing_memory.cpp). Portable header.
#pragma once

#include <string>
#include <vector>

// ---- Functions -------------------------------------------------------------------------------

// Makes `folder` hold exactly these file names; other folders keep theirs. Folder names compare
// without regard to ASCII case and to a trailing backslash.
void SetMemoryFolderFiles(const char* folder, const std::vector<std::string>& names);

// Forgets every folder.
void ResetMemoryFolders();
