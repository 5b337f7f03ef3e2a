// The end-to-end drivers' window into the wine session, run as a program of its own beside the
// saver:
//
//   e2e_helper host REPORT WIDTH HEIGHT STOPFILE PROGRAM [ARGS...]
//       Opens a top-level window whose client area is WIDTH x HEIGHT (with 0 x 0 it takes the
//       desktop window instead), writes "window H X Y" to REPORT (its handle in decimal and the
//       client area's screen position), then starts PROGRAM with ARGS, "{window}" in an argument
//       standing for the handle. When the program ends it appends "exit N". Once STOPFILE exists
//       (or after two minutes) the host window is destroyed, and with it a preview inside it; in
//       the desktop window a preview is sent WM_CLOSE instead. What the program then returns is
//       reported the same way.
//
//       Wine draws a child window whose parent belongs to another process only when that parent
//       is the desktop window: a preview is therefore hosted by the desktop window of a virtual
//       desktop of the host's size (wine explorer /desktop=NAME,152x112).
//   e2e_helper raw COMMANDLINE
//       Starts a program with exactly this command line (blanks and all) and ends with its exit
//       code.
//   e2e_helper desktop NAME COMMANDLINE
//       Creates the desktop NAME in the window station and starts a program on it with exactly
//       this command line, as Windows starts a saver on the secure desktop; ends with its exit
//       code.
//   e2e_helper display-mode WIDTH HEIGHT
//       Changes the display to WIDTH x HEIGHT (ChangeDisplaySettingsA) and prints
//       "display-mode RESULT", 0 when it changed.
//   e2e_helper dpi-change
//       Sends the full-screen saver WM_DPICHANGED (144 DPI, no suggested rectangle) and prints
//       "saver-rect LEFT TOP RIGHT BOTTOM", its window's rectangle afterwards.
//   e2e_helper monitors
//       Prints "monitor X Y W H PRIMARY" for each monitor, then "virtual X Y W H".
//   e2e_helper cursor
//       Prints "cursor SHOWING HANDLE": the cursor the system shows now, 0 for none.
//   e2e_helper saver-windows
//       Prints "saver-windows COUNT FOREGROUND": the top-level windows of the saver's class and
//       whether the foreground window is one of them (1) or not (0).
//   e2e_helper process-figures
//       Prints "process-figures PRIVATE WORKING HANDLES GDI USER" for the process of the
//       full-screen saver window: private bytes (the commit charge) and resident bytes
//       (GetProcessMemoryInfo), kernel handles (GetProcessHandleCount, else the system's process
//       list), GDI and USER objects (GetGuiResources); -1 for a figure the system does not give.
//       Exits with 1 when no saver window is found.
//   e2e_helper message-box
//       Prints "message-box X Y TEXT" for the shown box captioned "Message" (dialog class
//       "#32770"): the screen position of the middle of its OK button, and its text with each line
//       break written as "\n". Exits with 1 when no such box is shown.
//   e2e_helper answer-messages LOG SECONDS
//       Answers the saver's start-up boxes one after another: each box's text goes to LOG as one
//       line (as above), then its OK button is clicked (BM_CLICK). Ends with 0 once the saver
//       window is shown and no box is left, appending "shown LONGEST_MS" (the longest wait for
//       the next box or the window); ends with 1, appending "timeout", when neither a new box nor
//       the shown window comes within SECONDS (the first within a minute: the saver's start), or
//       a box does not go.
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "process/system_files_win32.h"
#include "tests/win32/start_process.h"

namespace {

constexpr char kHostClass[] = "VesperineE2eHost";
constexpr char kSaverClass[] = "WindowsScreenSaverClass";
constexpr DWORD kHostLifetimeMs = 120000;

void AppendLine(const char* path, const std::string& line) {
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

bool FileExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Quotes an argument for CreateProcess when it holds blanks.
std::string Quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t") == std::string::npos) return argument;
  return "\"" + argument + "\"";
}

std::string Substituted(std::string argument, const std::string& window) {
  const std::string placeholder = "{window}";
  for (std::size_t at = argument.find(placeholder); at != std::string::npos;
       at = argument.find(placeholder))
    argument.replace(at, placeholder.size(), window);
  return argument;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

// Pumps the host's messages until `process` ends, `stopFile` exists (when one is given) or the
// time is up. True when the process ended.
bool PumpUntil(HANDLE process, const char* stopFile, DWORD deadline) {
  while (static_cast<LONG>(deadline - GetTickCount()) > 0) {
    if (stopFile != nullptr && FileExists(stopFile)) return false;
    const DWORD count = process != nullptr ? 1 : 0;
    const DWORD woke = MsgWaitForMultipleObjects(count, &process, FALSE, 50, QS_ALLINPUT);
    if (process != nullptr && woke == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return false;
}

void ReportExit(const char* report, HANDLE process) {
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  AppendLine(report, "exit " + std::to_string(static_cast<int>(code)));
}

int Host(int argc, char** argv) {
  if (argc < 7) return 2;
  const char* report = argv[2];
  const int width = std::atoi(argv[3]);
  const int height = std::atoi(argv[4]);
  const char* stopFile = argv[5];

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = HostProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kHostClass;
  RegisterClassA(&windowClass);
  const bool onDesktop = width == 0 && height == 0;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT frame = {0, 0, width, height};
  AdjustWindowRect(&frame, style, FALSE);
  HWND window = onDesktop
                    ? GetDesktopWindow()
                    : CreateWindowExA(0, kHostClass, "Vesperine preview host", style | WS_VISIBLE,
                                      40, 40, frame.right - frame.left, frame.bottom - frame.top,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 3;
  UpdateWindow(window);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  const std::string handle = std::to_string(reinterpret_cast<ULONG_PTR>(window));
  AppendLine(report,
             "window " + handle + " " + std::to_string(origin.x) + " " + std::to_string(origin.y));

  std::string commandLine = Quoted(argv[6]);
  for (int i = 7; i < argc; ++i)
    commandLine += " " + Quoted(Substituted(argv[i], handle));
  PROCESS_INFORMATION child = {};
  if (!StartTestProcess(nullptr, commandLine, &child)) {
    AppendLine(report, "start-failed " + std::to_string(GetLastError()));
    if (!onDesktop) DestroyWindow(window);
    return 4;
  }
  CloseHandle(child.hThread);

  const DWORD deadline = GetTickCount() + kHostLifetimeMs;
  if (PumpUntil(child.hProcess, stopFile, deadline)) {
    ReportExit(report, child.hProcess);
    PumpUntil(nullptr, stopFile, deadline);
  } else {
    // Still running: the stop file asks for the host window to go, and the preview with it.
    if (onDesktop) {
      HWND preview = FindWindowExA(window, nullptr, kSaverClass, nullptr);
      if (preview != nullptr) PostMessageA(preview, WM_CLOSE, 0, 0);
    } else {
      DestroyWindow(window);
    }
    window = nullptr;
    if (PumpUntil(child.hProcess, nullptr, GetTickCount() + 15000)) {
      ReportExit(report, child.hProcess);
    } else {
      AppendLine(report, "still-running");
      TerminateProcess(child.hProcess, 1);
    }
  }
  CloseHandle(child.hProcess);
  if (window != nullptr && !onDesktop) DestroyWindow(window);
  return 0;
}

int Raw(const char* commandLine) {
  PROCESS_INFORMATION child = {};
  if (!StartTestProcess(nullptr, commandLine, &child)) return 3;
  CloseHandle(child.hThread);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hProcess);
  return static_cast<int>(code);
}

int OnDesktop(const char* name, const char* commandLine) {
  HDESK desktop = CreateDesktopA(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!desktop) return 4;
  PROCESS_INFORMATION child = {};
  const std::string station = std::string("WinSta0\\") + name;
  if (!StartTestProcess(nullptr, commandLine, &child, station.c_str())) return 3;
  CloseHandle(child.hThread);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hProcess);
  CloseDesktop(desktop);
  return static_cast<int>(code);
}

int DisplayMode(const char* width, const char* height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = static_cast<DWORD>(std::atoi(width));
  mode.dmPelsHeight = static_cast<DWORD>(std::atoi(height));
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  const LONG result = ChangeDisplaySettingsA(&mode, 0);
  std::printf("display-mode %ld\n", result);
  return result == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  GetMonitorInfoA(monitor, &info);
  const RECT& r = info.rcMonitor;
  std::printf("monitor %ld %ld %ld %ld %d\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
              (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
  return TRUE;
}

int Monitors() {
  EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
  std::printf("virtual %d %d %d %d\n", GetSystemMetrics(SM_XVIRTUALSCREEN),
              GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
              GetSystemMetrics(SM_CYVIRTUALSCREEN));
  return 0;
}

int DpiChange() {
  HWND saver = FindWindowA(kSaverClass, "Screen Saver");
  if (!saver) return 1;
  SendMessageA(saver, WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
  RECT area = {};
  GetWindowRect(saver, &area);
  std::printf("saver-rect %ld %ld %ld %ld\n", area.left, area.top, area.right, area.bottom);
  return 0;
}

int Cursor() {
  CURSORINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetCursorInfo(&info)) return 1;
  std::printf("cursor %d %llu\n", (info.flags & CURSOR_SHOWING) ? 1 : 0,
              static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(info.hCursor)));
  return 0;
}

// A named callback: on i686 a lambda does not convert to the stdcall WNDENUMPROC.
BOOL CALLBACK CountSaverWindow(HWND window, LPARAM counter) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, kSaverClass) == 0) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int SaverWindows() {
  int count = 0;
  EnumWindows(CountSaverWindow, reinterpret_cast<LPARAM>(&count));
  char foreground[64] = "";
  if (HWND window = GetForegroundWindow()) GetClassNameA(window, foreground, sizeof(foreground));
  std::printf("saver-windows %d %d\n", count, std::strcmp(foreground, kSaverClass) == 0 ? 1 : 0);
  return 0;
}

constexpr char kMessageClass[] = "#32770";
constexpr char kMessageCaption[] = "Message";

HWND ShownMessageBox() {
  HWND box = FindWindowA(kMessageClass, kMessageCaption);
  return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

// A named callback for the same reason as CountSaverWindow: the first static with text.
BOOL CALLBACK FindMessageText(HWND child, LPARAM found) {
  char name[16] = "";
  GetClassNameA(child, name, sizeof(name));
  if (lstrcmpiA(name, "Static") != 0 || GetWindowTextLengthA(child) == 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// The box's text on one line: line breaks as "\n", carriage returns dropped.
std::string MessageText(HWND box) {
  HWND label = nullptr;
  EnumChildWindows(box, FindMessageText, reinterpret_cast<LPARAM>(&label));
  if (label == nullptr) return "";
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(label)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(label, &text[0], static_cast<int>(text.size()))));
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c != '\r') {
      line += c;
    }
  }
  return line;
}

int MessageBoxReport() {
  HWND box = ShownMessageBox();
  HWND ok = box != nullptr ? GetDlgItem(box, IDOK) : nullptr;
  if (ok == nullptr) return 1;
  RECT button;
  GetWindowRect(ok, &button);
  std::printf("message-box %ld %ld %s\n", (button.left + button.right) / 2,
              (button.top + button.bottom) / 2, MessageText(box).c_str());
  return 0;
}

bool SaverShown() {
  HWND window = FindWindowA(kSaverClass, "Screen Saver");
  return window != nullptr && IsWindowVisible(window);
}

int AnswerMessages(const char* log, int seconds) {
  const DWORD patience = static_cast<DWORD>(seconds) * 1000;
  constexpr DWORD kStartPatience = 60000;
  DWORD longest = 0, since = GetTickCount();
  bool started = false;
  for (;;) {
    HWND box = ShownMessageBox();
    const DWORD waited = GetTickCount() - since;
    if (box == nullptr && SaverShown()) {
      AppendLine(log, "shown " + std::to_string(started ? (std::max)(longest, waited) : 0));
      return 0;
    }
    if (box == nullptr) {
      if (waited > (started ? patience : kStartPatience)) break;
      Sleep(5);
      continue;
    }
    if (started) longest = (std::max)(longest, waited);
    started = true;
    const std::string text = MessageText(box);
    HWND ok = GetDlgItem(box, IDOK);
    if (text.empty() || ok == nullptr) {
      Sleep(5);  // still being built
      continue;
    }
    AppendLine(log, text);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(ok, BM_CLICK, 0, 0, SMTO_NORMAL, patience, &ignored);
    const DWORD clicked = GetTickCount();
    while (IsWindow(box)) {
      if (GetTickCount() - clicked > patience) {
        AppendLine(log, "box stays: " + text);
        return 1;
      }
      Sleep(2);
    }
    since = GetTickCount();
  }
  AppendLine(log, "timeout");
  return 1;
}

long long GuiResources(HANDLE process, DWORD kind) {
  SetLastError(ERROR_SUCCESS);
  const DWORD count = GetGuiResources(process, kind);
  if (count == 0xFFFFFFFF || (count == 0 && GetLastError() != ERROR_SUCCESS)) return -1;
  return count;
}

// The process's handle count from the system's process list, which wine keeps for every process
// (GetProcessHandleCount answers there only for the calling process); -1 when not listed.
long long ListedHandleCount(DWORD id) {
  using QueryFn = LONG(WINAPI*)(SYSTEM_INFORMATION_CLASS, void*, ULONG, ULONG*);
  const auto query = FindEntry<QueryFn>(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
  if (query == nullptr) return -1;
  std::string buffer(1 << 16, '\0');
  ULONG needed = 0;
  LONG status;
  while ((status = query(SystemProcessInformation, &buffer[0], static_cast<ULONG>(buffer.size()),
                         &needed)) == static_cast<LONG>(0xC0000004L))  // length mismatch
    buffer.resize(buffer.size() * 2);
  if (status < 0) return -1;
  for (std::size_t at = 0;;) {
    const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&buffer[at]);
    if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == id) return entry->HandleCount;
    if (entry->NextEntryOffset == 0) return -1;
    at += entry->NextEntryOffset;
  }
}

int ProcessFigures() {
  HWND window = FindWindowA(kSaverClass, "Screen Saver");
  DWORD id = 0;
  if (window == nullptr || GetWindowThreadProcessId(window, &id) == 0) return 1;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (process == nullptr) return 1;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof(memory);
  long long privateBytes = -1, workingSet = -1;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof(memory))) {
    // The commit charge: PrivateUsage, which wine leaves at 0 and reports as PagefileUsage.
    privateBytes = static_cast<long long>(memory.PrivateUsage != 0 ? memory.PrivateUsage
                                                                   : memory.PagefileUsage);
    workingSet = static_cast<long long>(memory.WorkingSetSize);
  }
  DWORD handleCount = 0;
  long long handles = GetProcessHandleCount(process, &handleCount) ? handleCount : -1;
  if (handles <= 0) handles = ListedHandleCount(id);
  std::printf("process-figures %lld %lld %lld %lld %lld\n", privateBytes, workingSet, handles,
              GuiResources(process, GR_GDIOBJECTS), GuiResources(process, GR_USEROBJECTS));
  CloseHandle(process);
  return 0;
}

// Serves the named pipe `name` for `seconds`: whoever connects is accepted and never written to,
// so a client's first read waits until the pipe closes.
int HoldPipe(const char* name, int seconds) {
  const HANDLE pipe = CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                       4096, 4096, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return 1;
  std::printf("hold-pipe ready\n");
  std::fflush(stdout);
  ConnectNamedPipe(pipe, nullptr);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  CloseHandle(pipe);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "host") == 0) return Host(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "cursor") == 0) return Cursor();
  if (argc == 3 && std::strcmp(argv[1], "raw") == 0) return Raw(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "saver-windows") == 0) return SaverWindows();
  if (argc == 4 && std::strcmp(argv[1], "desktop") == 0) return OnDesktop(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "display-mode") == 0) return DisplayMode(argv[2], argv[3]);
  if (argc == 2 && std::strcmp(argv[1], "monitors") == 0) return Monitors();
  if (argc == 2 && std::strcmp(argv[1], "dpi-change") == 0) return DpiChange();
  if (argc >= 2 && std::strcmp(argv[1], "process-figures") == 0) return ProcessFigures();
  if (argc >= 2 && std::strcmp(argv[1], "message-box") == 0) return MessageBoxReport();
  if (argc == 4 && std::strcmp(argv[1], "answer-messages") == 0)
    return AnswerMessages(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "hold-pipe") == 0)
    return HoldPipe(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr,
               "usage: e2e_helper host|raw|desktop|display-mode|dpi-change|monitors|cursor|"
               "saver-windows|process-figures|message-box|answer-messages|hold-pipe ...\n");
  return 2;
}
