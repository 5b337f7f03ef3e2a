// PASSWORD.CPL stand-in: "VerifyScreenSavePwd" answers as configured, runs a message loop for a
// while when asked (as the system's modal prompt would) and records its calls.
#include <cstdio>
#include <cstdlib>

#include "tests/win32/doubles/password_doubles.h"

namespace {

LONG Calls = 0;
HWND LastWindow = nullptr;
bool AnswerConfigured = false;
BOOL ConfiguredAnswer = FALSE;
PasswordPromptHook PromptHook = nullptr;

DWORD EnvironmentNumber(const char* name) {
  char value[32] = "";
  if (GetEnvironmentVariableA(name, value, sizeof(value)) == 0) return 0;
  return std::strtoul(value, nullptr, 10);
}

void AppendToLog(const char* variable, const char* line) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA(variable, path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return;
  if (std::FILE* log = std::fopen(path, "a")) {
    std::fputs(line, log);
    std::fclose(log);
  }
}

void PumpMessagesFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(5);
  }
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND saverWindow) {
  ++Calls;
  LastWindow = saverWindow;
  char line[64];
  std::snprintf(line, sizeof(line), "VerifyScreenSavePwd %llu\n",
                static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(saverWindow)));
  AppendToLog(kPasswordLogVariable, line);
  if (PromptHook != nullptr) PromptHook(saverWindow);
  PumpMessagesFor(EnvironmentNumber(kPasswordPromptMsVariable));
  if (AnswerConfigured) return ConfiguredAnswer;
  return EnvironmentNumber(kPasswordAnswerVariable) != 0;
}

extern "C" __declspec(dllexport) void WINAPI
    ConfigurePasswordDouble(BOOL answer, PasswordPromptHook hook) {
  AnswerConfigured = true;
  ConfiguredAnswer = answer;
  PromptHook = hook;
  Calls = 0;
  LastWindow = nullptr;
}

extern "C" __declspec(dllexport) LONG WINAPI PasswordDoubleCalls() {
  return Calls;
}

extern "C" __declspec(dllexport) HWND WINAPI PasswordDoubleLastWindow() {
  return LastWindow;
}
