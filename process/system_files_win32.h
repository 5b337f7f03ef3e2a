// Where the system's own DLLs are taken from: the system folder by full path, never a folder that
// a user or a download can write to (the saver's own folder, the current folder).
#pragma once

#include <windows.h>

#include <string>

// ---- Functions -------------------------------------------------------------------------------

// The full path of `name` in the system folder (GetSystemDirectoryA); empty when the folder
// cannot be found.
std::string SystemFilePath(const char* name);

// Loads a DLL of the system: by full path in the system folder, or by bare name where the
// process's side-by-side manifest redirects that name (GDI+ lives only in the side-by-side store
// on XP). Null when neither has it.
HMODULE LoadSystemLibrary(const char* name);
