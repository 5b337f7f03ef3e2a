#include "process/xmm_state_win32.h"

#include <windows.h>

#include "process/system_files_win32.h"

bool SystemSavesXmm() {
  using IsProcessorFeaturePresentFn = BOOL(WINAPI*)(DWORD);
  const auto present = FindEntry<IsProcessorFeaturePresentFn>(GetModuleHandleA("KERNEL32.DLL"),
                                                              "IsProcessorFeaturePresent");
  return present != nullptr && present(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
}
