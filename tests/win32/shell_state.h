// The shell's process-wide state and window classes for the tests of the saver window.
#pragma once

#include <windows.h>

#include "process/saver_process_win32.h"
#include "shell/password_hooks_win32.h"

inline void RegisterTestClass(const char* name, WNDPROC procedure) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = name;
  RegisterClassA(&windowClass);
}

// A full-screen saver of this module before its first input: nothing confirmed, no prompt yet.
inline void ResetShellState(BOOL win9x) {
  SaverInstance = GetModuleHandleA(nullptr);
  IsWin9x = win9x;
  IsPreview = FALSE;
  CloseConfirmed = FALSE;
  VerifyInProgress = FALSE;
  LastVerifyTick = kNoVerifyYet;
}
