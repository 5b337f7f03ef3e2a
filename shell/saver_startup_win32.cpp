#include "shell/saver_startup_win32.h"

#include <commctrl.h>

#include <csetjmp>
#include <cstdint>

#include "engine/region_fill.h"
#include "process/system_files_win32.h"
#include "process/xmm_state_win32.h"
#include "shell/command_tail.h"
#include "shell/password_hooks_win32.h"
#include "shell/saver_window_win32.h"

namespace {

// The compiler has no __try, so the guard takes the place of the top-level filter: the system
// consults it for a fault that no handler of the mode takes, and when the system filter says to
// handle the fault, longjmp unwinds back into RunUnderFaultGuard. One guard at a time: the process
// runs one mode. The filter is process-wide, but only the guarded thread may jump: a fault on any
// other thread (GDI+'s, the file dialog's) gets the system filter's answer unchanged.
std::jmp_buf FaultExit;
LPTOP_LEVEL_EXCEPTION_FILTER OuterFaultFilter = nullptr;
DWORD GuardedThread = 0;

LONG WINAPI FaultGuardFilter(EXCEPTION_POINTERS* fault) {
  // The system filter consults the top-level filter: that must be the one the guard replaced.
  SetUnhandledExceptionFilter(OuterFaultFilter);
  const LONG answer = UnhandledExceptionFilter(fault);
  if (answer == EXCEPTION_EXECUTE_HANDLER && GetCurrentThreadId() == GuardedThread)
    std::longjmp(FaultExit, 1);
  SetUnhandledExceptionFilter(FaultGuardFilter);
  return answer;
}

// InitCommonControlsEx came with COMCTL32 4.70; the COMCTL32 of Windows 95 registers all of its
// classes in InitCommonControls instead.
void RegisterControlClasses(DWORD classes) {
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initialise =
      FindEntry<InitCommonControlsExFn>(GetModuleHandleA("COMCTL32.DLL"), "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = classes;
  if (initialise == nullptr || !initialise(&controls)) InitCommonControls();
}

const char* NextCharacter(const char* character) {
  return CharNextA(character);
}

HWND ValidWindowOrForeground(std::uint32_t value) {
  const HWND window = WindowFromValue(value);
  if (value != 0 && IsWindow(window)) return window;
  return GetForegroundWindow();
}

}  // namespace

void SaverStartup() {
  // A texture on a removed stick or an empty card reader fails like a missing file, instead of
  // the system's "no disk" box stopping the saver until someone answers it.
  SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const char* commandTail = SkipProgramName(GetCommandLineA(), NextCharacter);
  ExitProcess(static_cast<UINT>(SaverMain(GetModuleHandleA(nullptr), commandTail)));
}

int SaverMain(HINSTANCE instance, const char* commandTail) {
  RegisterControlClasses(ICC_TAB_CLASSES);
  SaverInstance = instance;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  IsWin9x = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  SetSystemSavesXmm(SystemSavesXmm());
  return RunUnderFaultGuard(RunSaverMode, commandTail);
}

HWND WindowFromValue(std::uint32_t value) {
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

int RunSaverMode(const char* commandTail) {
  const TailSwitch found = ScanCommandTail(commandTail);
  switch (found.mode) {
    case SaverMode::kSettingsNoParent:
      return static_cast<int>(RunSettingsDialog(nullptr));
    case SaverMode::kSettings:
      return static_cast<int>(RunSettingsDialog(ValidWindowOrForeground(found.windowValue)));
    case SaverMode::kFullScreen:
      return RunSaverWindow(nullptr);
    case SaverMode::kPreview: {
      const HWND parent = WindowFromValue(found.windowValue);
      if (found.windowValue == 0 || !IsWindow(parent)) return -1;
      return RunSaverWindow(parent);
    }
    case SaverMode::kChangePassword:
      if (!IsWin9x) return -1;
      ChangeSaverPassword(ValidWindowOrForeground(found.windowValue));
      return 0;
    case SaverMode::kUnrecognised:
      break;
  }
  return -1;
}

INT_PTR RunSettingsDialog(HWND parent) {
  if (!PrepareSettingsDialog(SaverInstance)) return 0;
  // The dialog's sliders are trackbars: their class must exist before the template is built.
  RegisterControlClasses(ICC_BAR_CLASSES);
  return DialogBoxParamA(SaverInstance, MAKEINTRESOURCEA(kSettingsDialogTemplate), parent,
                         SettingsDialogProc, 0);
}

int RunUnderFaultGuard(int (*mode)(const char* commandTail), const char* commandTail) {
  GuardedThread = GetCurrentThreadId();
  OuterFaultFilter = SetUnhandledExceptionFilter(FaultGuardFilter);
  volatile int result = -1;
  if (setjmp(FaultExit) == 0) {
    result = mode(commandTail);
  } else {
    SetSaverRunningFlag(FALSE);
    result = -1;
  }
  SetUnhandledExceptionFilter(OuterFaultFilter);
  return result;
}

BOOL PrepareSettingsDialog(HINSTANCE) {
  return TRUE;
}
