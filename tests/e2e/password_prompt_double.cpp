// PASSWORD.CPL stand-in for the end-to-end tests: "VerifyScreenSavePwd" opens a real prompt window
// over the saver, with the arrow cursor showing over it as over the system's prompt, and waits for
// a key: Return accepts, Escape refuses (so does the time limit). The driver answers it with real
// key presses and reads what happened from a log: one line when a prompt opens, one when it closes,
// each with the tick count.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kLogVariable[] = "VESPERINE_E2E_PROMPT_LOG";
constexpr char kLimitVariable[] = "VESPERINE_E2E_PROMPT_MS";  // refuse after this long
constexpr DWORD kDefaultLimitMs = 20000;
constexpr char kPromptClass[] = "VesperineE2ePrompt";

void Log(const char* format, ...) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA(kLogVariable, path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return;
  if (std::FILE* log = std::fopen(path, "a")) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(log, format, arguments);
    va_end(arguments);
    std::fclose(log);
  }
}

DWORD LimitMs() {
  char value[32] = "";
  if (GetEnvironmentVariableA(kLimitVariable, value, sizeof(value)) == 0) return kDefaultLimitMs;
  return std::strtoul(value, nullptr, 10);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND saverWindow) {
  Log("prompt-open %lu %llu\n", GetTickCount(),
      static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(saverWindow)));
  static HINSTANCE module = nullptr;
  if (module == nullptr) {
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&VerifyScreenSavePwd), &module);
  }
  WNDCLASSA promptClass = {};
  promptClass.lpfnWndProc = DefWindowProcA;
  promptClass.hInstance = module;
  promptClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  promptClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  promptClass.lpszClassName = kPromptClass;
  RegisterClassA(&promptClass);
  // The prompt never takes the activation: without a window manager, giving it back when the
  // prompt closes would look to wine like a switch to another application. Its modal loop reads
  // the keys on their way to the saver window instead.
  HWND prompt = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kPromptClass,
                                "Vesperine test password prompt", WS_POPUP | WS_BORDER, 100, 100,
                                240, 80, saverWindow, nullptr, module, nullptr);
  ShowWindow(prompt, SW_SHOWNOACTIVATE);
  UpdateWindow(prompt);
  SetCursor(promptClass.hCursor);

  int answer = -1;
  const DWORD limit = LimitMs();
  const DWORD start = GetTickCount();
  while (answer < 0 && GetTickCount() - start < limit) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (answer < 0 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) answer = 1;
      if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) answer = 0;
      if (answer >= 0) break;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  const BOOL accepted = answer == 1;
  DestroyWindow(prompt);
  Log("prompt-close %lu %d\n", GetTickCount(), accepted ? 1 : 0);
  return accepted;
}
