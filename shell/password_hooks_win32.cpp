#include "shell/password_hooks_win32.h"

#include "process/saver_process_win32.h"
#include "process/system_files_win32.h"

HMODULE PasswordModule = nullptr;
VerifyScreenSavePwdFn VerifyPasswordFn = nullptr;
BOOL VerifyInProgress = FALSE;
DWORD LastVerifyTick = kNoVerifyYet;
BOOL CloseConfirmed = FALSE;
std::string PasswordComponentFolder;

namespace {

// Windows 9x keeps both components in the system folder; a copy anywhere else is never loaded.
HMODULE LoadPasswordComponent(const char* name) {
  const std::string path = PasswordComponentFolder.empty() ? SystemFilePath(name)
                                                           : PasswordComponentFolder + "\\" + name;
  return path.empty() ? nullptr : LoadLibraryA(path.c_str());
}

// The user's choice; a value shorter than 4 bytes fills the low bytes only.
bool PasswordWanted(HKEY desktop) {
  DWORD usePassword = 0;
  DWORD size = sizeof(usePassword);
  return RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr,
                          reinterpret_cast<BYTE*>(&usePassword), &size) == ERROR_SUCCESS &&
         usePassword != 0;
}

}  // namespace

void LoadPasswordHook() {
  if (!IsWin9x) return;
  if (PasswordModule != nullptr) UnloadPasswordHook();
  HKEY desktop = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &desktop) !=
      ERROR_SUCCESS)
    return;
  if (PasswordWanted(desktop)) {
    PasswordModule = LoadPasswordComponent("PASSWORD.CPL");
    if (PasswordModule != nullptr) {
      VerifyPasswordFn = FindEntry<VerifyScreenSavePwdFn>(PasswordModule, "VerifyScreenSavePwd");
      if (VerifyPasswordFn != nullptr)
        SetSaverRunningFlag(TRUE);
      else
        UnloadPasswordHook();
    }
  }
  RegCloseKey(desktop);
}

void UnloadPasswordHook() {
  if (!IsWin9x || PasswordModule == nullptr) return;
  FreeLibrary(PasswordModule);
  PasswordModule = nullptr;
  if (VerifyPasswordFn != nullptr) {
    VerifyPasswordFn = nullptr;
    SetSaverRunningFlag(FALSE);
  }
}

BOOL VerifyPasswordOnClose(HWND saverWindow) {
  if (VerifyInProgress || CloseConfirmed) return FALSE;
  if (VerifyPasswordFn == nullptr) {
    CloseConfirmed = TRUE;
    return CloseConfirmed;
  }
  // Unsigned difference: the tick count's wrap after 49.7 days does no harm.
  if (LastVerifyTick != kNoVerifyYet && GetTickCount() - LastVerifyTick < kVerifyQuietPeriod)
    return FALSE;

  VerifyInProgress = TRUE;
  // Ticks that queued up before the prompt would all run at once behind it.
  MSG pending;
  PeekMessageA(&pending, saverWindow, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  PeekMessageA(&pending, saverWindow, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  CloseConfirmed = static_cast<BOOL>(SendMessageA(saverWindow, WM_VERIFY_PASSWORD, 0, 0));
  VerifyInProgress = FALSE;
  if (!CloseConfirmed) SetCursor(nullptr);  // the prompt showed it
  LastVerifyTick = GetTickCount();
  return CloseConfirmed;
}

void ChangeSaverPassword(HWND parent) {
  HMODULE mpr = LoadPasswordComponent("MPR.DLL");
  if (mpr == nullptr) return;
  const auto changePassword = FindEntry<PwdChangePasswordAFn>(mpr, "PwdChangePasswordA");
  if (changePassword != nullptr) changePassword("SCRSAVE", parent, 0, 0);
  FreeLibrary(mpr);
}

void SetSaverRunningFlag(BOOL running) {
  if (!IsWin9x) return;
  UINT previous = 0;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, static_cast<UINT>(running), &previous, 0);
}
