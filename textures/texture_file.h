// The texture file seam: a texture file's bytes, for the header check that comes before any
// decoder. Windows builds open only what the system reports as a disk file and map it
// (texture_file_win32.cpp); the portable binding reads the file into memory
// (texture_file_memory.cpp). Portable header: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Types -----------------------------------------------------------------------------------

// The whole file's bytes, valid until CloseTextureFile.
struct TextureFileView {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  void* owner = nullptr;  // the binding's own record of what to release
};

// ---- Functions -------------------------------------------------------------------------------

// Opens the file at `path` (ANSI code page) without waiting on anyone who holds it, and gives its
// bytes. False, with nothing held, for a missing or unreadable file, an empty one, and whatever is
// not a disk file (a pipe, a console, a device), whose reads could wait for ever.
bool OpenTextureFile(const char* path, TextureFileView* view);

// Releases what OpenTextureFile holds; an empty view is allowed.
void CloseTextureFile(TextureFileView* view);
