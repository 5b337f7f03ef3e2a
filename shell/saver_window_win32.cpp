#include "shell/saver_window_win32.h"

#include <cstdlib>

#include "animation/monitors_win32.h"
#include "animation/saver_animation_win32.h"
#include "process/system_files_win32.h"
#include "shell/password_hooks_win32.h"

HWND SaverWindow = nullptr;
POINT ReferenceCursor = {0, 0};
BYTE AcLineStatus = kUnknownAcLineStatus;
UINT AutoPlayQueryMessage = 0;
HIMC SavedInputContext = nullptr;
HMODULE InputMethodModule = nullptr;
ImmAssociateContextFn AssociateInputContext = nullptr;

namespace {

// The window's placement and look, full screen or preview.
struct WindowForm {
  DWORD extendedStyle;
  DWORD style;
  const char* title;
  int x, y, width, height;
};

void RequestClose(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
}

// Windows NT 4.0 has no power status: looked up, and unknown there.
BYTE CurrentAcLineStatus() {
  using GetSystemPowerStatusFn = BOOL(WINAPI*)(LPSYSTEM_POWER_STATUS);
  const auto read =
      FindEntry<GetSystemPowerStatusFn>(GetModuleHandleA("KERNEL32.DLL"), "GetSystemPowerStatus");
  SYSTEM_POWER_STATUS status;
  if (read == nullptr || !read(&status)) return kUnknownAcLineStatus;
  return status.ACLineStatus;
}

WNDCLASSA SaverWindowClass() {
  WNDCLASSA saverClass{};
  saverClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  saverClass.lpfnWndProc = SaverShellWindowProc;
  saverClass.hInstance = SaverInstance;
  saverClass.hIcon = LoadIconA(SaverInstance, MAKEINTRESOURCEA(kSaverIconId));
  saverClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  saverClass.lpszClassName = kSaverClassName;
  return saverClass;
}

WindowForm PreviewForm(HWND parent) {
  RECT client{};
  GetClientRect(parent, &client);
  return {
      0, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kPreviewTitle, 0, 0, client.right, client.bottom};
}

WindowForm FullScreenForm() {
  const RECT screen = VirtualScreenRect();
  return {WS_EX_TOPMOST,
          WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
          kFullScreenTitle,
          screen.left,
          screen.top,
          screen.right - screen.left,
          screen.bottom - screen.top};
}

// After a change of the displays the window covers the virtual screen as it is now; a change of
// a monitor's DPI only ever makes it larger, so no part of the screen is left uncovered.
void CoverVirtualScreen(HWND window, bool growOnly) {
  RECT area = VirtualScreenRect();
  if (growOnly) {
    RECT now{};
    GetWindowRect(window, &now);
    UnionRect(&area, &area, &now);
  }
  SetWindowPos(window, HWND_TOPMOST, area.left, area.top, area.right - area.left,
               area.bottom - area.top, SWP_NOACTIVATE);
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

// ---- SaverShellWindowProc's handlers ----

void OnShellCreate(HWND window) {
  // Keyboard input must not open an input-method window over the saver. The shell only uses
  // IMM32 when something else already brought it into the process.
  InputMethodModule = GetModuleHandleA("IMM32.DLL");
  if (InputMethodModule != nullptr) {
    AssociateInputContext =
        FindEntry<ImmAssociateContextFn>(InputMethodModule, "ImmAssociateContext");
    if (AssociateInputContext != nullptr)
      SavedInputContext = AssociateInputContext(window, nullptr);
  }
  GetCursorPos(&ReferenceCursor);
  if (!IsPreview) SetCursor(nullptr);
}

void OnShellDestroy(HWND window) {
  if (InputMethodModule != nullptr && AssociateInputContext != nullptr &&
      SavedInputContext != nullptr)
    AssociateInputContext(window, SavedInputContext);
  PostQuitMessage(0);
}

// A preview's help requests belong to the dialog that shows it.
LRESULT OnPreviewHelpRequest(HWND window, UINT message, LPARAM lParam) {
  const HWND parent = GetParent(window);
  if (parent != nullptr && IsWindow(parent))
    PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
  return 1;
}

// False when the full-screen saver swallows the command.
bool OnFullScreenSysCommand(HWND window, WPARAM command) {
  switch (command) {
    case SC_NEXTWINDOW:
    case SC_PREVWINDOW:
    case SC_SCREENSAVE:
      return false;
    case SC_MONITORPOWER:
      RequestClose(window);
      return true;
    default:
      return true;
  }
}

// ---- DefaultSaverProc's handlers ----

// False when the password was refused: the window stays, and movement counts from here on.
bool OnClose(HWND window) {
  if (VerifyPasswordOnClose(window)) return true;
  GetCursorPos(&ReferenceCursor);
  return false;
}

LRESULT OnVerifyPassword(HWND window) {
  if (VerifyPasswordFn == nullptr) return 1;
  return VerifyPasswordFn(window);
}

LRESULT OnSetCursor() {
  SetCursor(nullptr);
  return TRUE;
}

// The reference stays put under small moves, so a slow drift adds up until it exceeds the
// threshold.
void OnMouseMove(HWND window) {
  POINT cursor = ReferenceCursor;
  GetCursorPos(&cursor);
  const UINT distance = static_cast<UINT>(std::abs(cursor.x - ReferenceCursor.x) +
                                          std::abs(cursor.y - ReferenceCursor.y));
  if (distance > MouseMoveThreshold) {
    RequestClose(window);
    ReferenceCursor = cursor;
  }
}

bool PowerBroadcastCloses(WPARAM event, LPARAM flags) {
  switch (event) {
    case PBT_APMRESUMECRITICAL:
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMESTANDBY:
    case PBT_APMRESUMEAUTOMATIC:
      return (flags & PBTF_APMRESUMEFROMFAILURE) == 0;
    case PBT_APMPOWERSTATUSCHANGE: {
      // Only plugging in or pulling the mains counts, not the battery level.
      const BYTE previous = AcLineStatus;
      AcLineStatus = CurrentAcLineStatus();
      return AcLineStatus != previous;
    }
    default:
      return true;
  }
}

void ApplyClosingRule(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      RequestClose(window);
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(window);
      break;
    case WM_ACTIVATEAPP:
      // The message boxes of a failed texture run inside the window's creation and hand the
      // activation on when they close: only a window already shown ends on losing it.
      if (wParam == FALSE && IsWindowVisible(window)) RequestClose(window);
      break;
    case WM_SHOWWINDOW:
      if (wParam != FALSE) {
        SetCursor(nullptr);
        // Movement counts from here: the pointer may have gone to the OK buttons of the
        // creation's message boxes.
        GetCursorPos(&ReferenceCursor);
      }
      break;
    case WM_POWER:
      if (wParam == PWR_CRITICALRESUME) RequestClose(window);
      break;
    case WM_POWERBROADCAST:
      if (PowerBroadcastCloses(wParam, lParam)) RequestClose(window);
      break;
  }
}

// The end of every path through DefaultSaverProc. TRUE to "QueryCancelAutoPlay" cancels the
// AutoPlay, which a password-protected saver must not let through.
LRESULT DefaultReply(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (AutoPlayQueryMessage != 0 && message == AutoPlayQueryMessage) {
    RequestClose(window);
    return VerifyPasswordFn != nullptr ? TRUE : FALSE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int RunSaverWindow(HWND parent) {
  const WNDCLASSA saverClass = SaverWindowClass();
  WindowForm form;
  if (parent != nullptr) {
    form = PreviewForm(parent);
    IsPreview = TRUE;
  } else {
    form = FullScreenForm();
    const HWND running = FindWindowA(kSaverClassName, kFullScreenTitle);
    if (running != nullptr && IsWindow(running)) {
      SetForegroundWindow(running);
      return 0;
    }
    AcLineStatus = CurrentAcLineStatus();
    LoadPasswordHook();
  }
  AutoPlayQueryMessage = IsWin9x ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;

  HWND window = nullptr;
  if (RegisterClassA(&saverClass) != 0) {
    window =
        CreateWindowExA(form.extendedStyle, kSaverClassName, form.title, form.style, form.x, form.y,
                        form.width, form.height, parent, nullptr, SaverInstance, nullptr);
    SaverWindow = window;
  }
  int exitCode = 0;
  if (window != nullptr) {
    if (!IsPreview) SetForegroundWindow(window);
    exitCode = RunMessageLoop();
  }
  UnloadPasswordHook();
  return exitCode;
}

LRESULT CALLBACK SaverShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnShellCreate(window);
      break;
    case WM_DESTROY:
      OnShellDestroy(window);
      break;
    case WM_SETTEXT:
      return 0;
    case WM_PAINT:
      if (CloseConfirmed) return DefWindowProcA(window, message, wParam, lParam);
      if (!IsPreview) SetCursor(nullptr);
      break;
    case WM_HELP:
    case WM_CONTEXTMENU:
      if (IsPreview) return OnPreviewHelpRequest(window, message, lParam);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (CloseConfirmed) return DefWindowProcA(window, message, wParam, lParam);
      break;
    case WM_SYSCOMMAND:
      if (!IsPreview && !OnFullScreenSysCommand(window, wParam)) return 0;
      break;
    case WM_TIMER:
      if (CloseConfirmed) return 0;
      Sleep(0);
      break;
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
      if (!IsPreview) CoverVirtualScreen(window, message == WM_DPICHANGED);
      break;
  }
  return SaverAnimationProc(window, message, wParam, lParam);
}

LRESULT CALLBACK DefaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsPreview && !CloseConfirmed) {
    switch (message) {
      case WM_CLOSE:
        if (IsWin9x && !OnClose(window)) return 0;
        break;
      case WM_VERIFY_PASSWORD:
        if (IsWin9x) return OnVerifyPassword(window);
        break;
      case WM_SETCURSOR:
        if (!VerifyInProgress) return OnSetCursor();
        break;
      default:
        if (!VerifyInProgress) ApplyClosingRule(window, message, wParam, lParam);
        break;
    }
  }
  return DefaultReply(window, message, wParam, lParam);
}
