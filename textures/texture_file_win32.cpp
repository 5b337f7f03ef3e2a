// The texture file seam bound to KERNEL32: the file mapped, so that a header check reads only the
// pages it needs and allocates nothing.
#include "textures/texture_file.h"

#include <windows.h>

namespace {

// Readers and writers elsewhere never make the open wait or fail; deleting is shared too where
// the system knows the flag (the Windows 9x family refuses it).
DWORD ShareMode() {
  static const DWORD mode = (GetVersion() & 0x80000000u) != 0
                                ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  return mode;
}

}  // namespace

bool OpenTextureFile(const char* path, TextureFileView* view) {
  *view = TextureFileView{};
  const HANDLE file = CreateFileA(path, GENERIC_READ, ShareMode(), nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // A pipe, a console or a serial port would block the first read until someone writes.
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetFileType(file) == FILE_TYPE_DISK ? GetFileSize(file, &high) : 0;
  const ULONGLONG size = ULONGLONG{high} << 32 | low;
  HANDLE mapping = nullptr;
  if (size > 0 && size <= SIZE_MAX && !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR))
    mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(file);
  if (!mapping) return false;
  void* bytes = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);
  if (!bytes) return false;
  view->data = static_cast<const std::uint8_t*>(bytes);
  view->size = static_cast<std::size_t>(size);
  view->owner = bytes;
  return true;
}

void CloseTextureFile(TextureFileView* view) {
  if (view->owner) UnmapViewOfFile(view->owner);
  *view = TextureFileView{};
}
