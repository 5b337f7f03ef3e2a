// A DLL planted where a user's downloads lie, under the name of a system component (gdiplus.dll,
// PASSWORD.CPL, MPR.DLL): loading it at all is the fault, so it only writes its own path to the
// log named by VESPERINE_E2E_PLANTED_LOG when a process attaches it.
#include <windows.h>

#include <cstdio>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char log[MAX_PATH];
  char self[MAX_PATH] = "";
  const DWORD length = GetEnvironmentVariableA("VESPERINE_E2E_PLANTED_LOG", log, sizeof(log));
  if (length == 0 || length >= sizeof(log)) return TRUE;
  GetModuleFileNameA(module, self, sizeof(self));
  if (std::FILE* file = std::fopen(log, "a")) {
    std::fprintf(file, "loaded %s\n", self);
    std::fclose(file);
  }
  return TRUE;
}
