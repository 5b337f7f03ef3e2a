#include "process/system_files_win32.h"

namespace {

using FindActCtxSectionStringAFn = BOOL(WINAPI*)(DWORD, const GUID*, ULONG, LPCSTR,
                                                 PACTCTX_SECTION_KEYED_DATA);

// The activation context knows the name: the loader takes it from the side-by-side store before
// it searches any folder. Looked up at run time: Windows 9x and 2000 have no such store.
bool SideBySideRedirects(const char* name) {
  const auto find = FindEntry<FindActCtxSectionStringAFn>(GetModuleHandleA("KERNEL32.DLL"),
                                                          "FindActCtxSectionStringA");
  if (find == nullptr) return false;
  ACTCTX_SECTION_KEYED_DATA data{};
  data.cbSize = sizeof(data);
  return find(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name, &data) != FALSE;
}

}  // namespace

std::string SystemFilePath(const char* name) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, sizeof(folder));
  if (length == 0 || length >= sizeof(folder)) return std::string();
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  return path + name;
}

HMODULE LoadSystemLibrary(const char* name) {
  if (SideBySideRedirects(name)) return LoadLibraryA(name);
  const std::string path = SystemFilePath(name);
  return path.empty() ? nullptr : LoadLibraryA(path.c_str());
}
