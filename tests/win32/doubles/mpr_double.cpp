// MPR.DLL stand-in: "PwdChangePasswordA" appends its arguments to the file that
// VESPERINE_MPR_LOG names, one line per call: provider, parent window, both reserved values.
#include <cstdio>

#include "tests/win32/doubles/password_doubles.h"

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD reserved1, DWORD reserved2) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA(kMprLogVariable, path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return 0;
  if (std::FILE* log = std::fopen(path, "a")) {
    std::fprintf(log, "PwdChangePasswordA %s %llu %lu %lu\n", provider != nullptr ? provider : "",
                 static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(parent)),
                 static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
    std::fclose(log);
  }
  return 0;
}
