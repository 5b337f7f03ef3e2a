// Where the system's own DLLs are taken from: the system folder by full path, never a folder that
// a user or a download can write to (the saver's own folder, the current folder); and how an entry
// of a DLL is found by name, for what older systems lack or a DLL loaded at run time exports.
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

// The entry `name` of `module` as the function pointer type `Function`: null when not exported.
template <typename Function>
Function FindEntry(HMODULE module, const char* name) {
  // Through void*: a cast between unrelated function pointer types draws -Wcast-function-type.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The same into `entry`, for a table filled entry by entry; false when not exported.
template <typename Function>
bool FindEntry(HMODULE module, const char* name, Function& entry) {
  entry = FindEntry<Function>(module, name);
  return entry != nullptr;
}
