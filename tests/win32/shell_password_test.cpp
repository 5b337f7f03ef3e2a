// The Windows 9x password hooks with IsWin9x forced on, against the stand-ins for PASSWORD.CPL and
// MPR.DLL in tests/doubles/ of the build tree (tests/win32/doubles/).
//
// How the stand-ins get loaded under wine 8: the shell loads "PASSWORD.CPL" and "MPR.DLL" by full
// path from PasswordComponentFolder (the system folder when empty), and the fixture points it at
// tests/doubles/. Wine has no PASSWORD.CPL of its own, so the stand-in there is loaded. For MPR.DLL
// wine loads its builtin even when given a native file's path (it only keeps the path as the
// module's name), unless a DLL override
// says "native" for the process. WINEDLLOVERRIDES cannot carry it here: wine takes that variable
// from the environment of the outermost wine start (scripts/wine-run.sh sets its own), and a
// program started from inside wine inherits it whatever its Windows environment says; in this
// process the override would also hand the stand-in to system DLLs that import from MPR.DLL. So
// the "a" mode runs in a second start of this program, for which the parent writes the per-program
// override HKCU\Software\Wine\AppDefaults\<program>.exe\DllOverrides "mpr" = "native,builtin"
// and removes it again afterwards (a running process does not pick it up). The running flag is
// observed through SPI_GETSCREENSAVERRUNNING, which wine keeps as the system does.
#include "shell/password_hooks_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "process/system_files_win32.h"
#include "shell/saver_startup_win32.h"
#include "shell/saver_window_win32.h"
#include "tests/win32/doubles/password_doubles.h"
#include "tests/win32/shell_state.h"
#include "tests/win32/start_process.h"

namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kUsePassword[] = "ScreenSaveUsePassword";

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/"));
}

BOOL SystemSaverRunning() {
  BOOL running = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running;
}

void SetSystemSaverRunning(BOOL running) {
  BOOL previous;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running, &previous, 0);
}

int TakeCloseRequests(HWND window) {
  MSG message;
  int count = 0;
  while (PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE))
    ++count;
  return count;
}

// What the prompt hook saw while the stand-in's prompt was open.
struct DuringPrompt {
  BOOL verifyInProgress = FALSE;
  int pendingTimers = 0;
  int closeRequests = 0;
  BOOL secondVerify = TRUE;
  LRESULT closeReply = -1;
} SeenDuringPrompt;

void InspectWhilePromptIsOpen(HWND window) {
  DuringPrompt& seen = SeenDuringPrompt;
  seen.verifyInProgress = VerifyInProgress;
  MSG timer;
  while (PeekMessageA(&timer, window, WM_TIMER, WM_TIMER, PM_REMOVE))
    ++seen.pendingTimers;
  SetCursorPos(ReferenceCursor.x + 50, ReferenceCursor.y + 50);
  for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_MOUSEMOVE})
    SendMessageA(window, message, 0, 0);
  seen.closeRequests = TakeCloseRequests(window);
  seen.secondVerify = VerifyPasswordOnClose(window);
  seen.closeReply = SendMessageA(window, WM_CLOSE, 0, 0);
}

class PasswordHooks : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterTestClass("ShellTestPassword", DefaultSaverProc); }

  void SetUp() override {
    ResetShellState(TRUE);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            &desktop_),
              ERROR_SUCCESS);
    DWORD size = sizeof(savedUsePassword_);
    hadUsePassword_ = RegQueryValueExA(desktop_, kUsePassword, nullptr, &savedType_,
                                       savedUsePassword_, &size) == ERROR_SUCCESS;
    savedSize_ = size;
    UseDoubles("doubles");
    SetSystemSaverRunning(FALSE);
    window_ = CreateWindowExA(0, "ShellTestPassword", kFullScreenTitle, WS_POPUP, 0, 0, 64, 64,
                              nullptr, nullptr, SaverInstance, nullptr);
    ASSERT_NE(window_, nullptr);
  }

  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    UnloadPasswordHook();
    IsWin9x = FALSE;
    CloseConfirmed = FALSE;
    LastVerifyTick = kNoVerifyYet;
    PasswordComponentFolder.clear();
    SetSystemSaverRunning(FALSE);
    if (hadUsePassword_)
      RegSetValueExA(desktop_, kUsePassword, 0, savedType_, savedUsePassword_, savedSize_);
    else
      RegDeleteValueA(desktop_, kUsePassword);
    RegCloseKey(desktop_);
    MSG left;
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  void UseDoubles(const char* folder) { PasswordComponentFolder = ProgramFolder() + "\\" + folder; }

  void SetUsePassword(DWORD value) {
    RegSetValueExA(desktop_, kUsePassword, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
  }

  // Loads the stand-in with the given answer and prompt hook.
  void LoadHookAnswering(BOOL answer, PasswordPromptHook hook = nullptr) {
    SetUsePassword(1);
    LoadPasswordHook();
    ASSERT_NE(VerifyPasswordFn, nullptr) << "the PASSWORD.CPL stand-in did not load";
    FindEntry<ConfigurePasswordDoubleFn>(PasswordModule, kConfigurePasswordDouble)(answer, hook);
  }

  LONG PromptCount() {
    return FindEntry<PasswordDoubleCallsFn>(PasswordModule, kPasswordDoubleCalls)();
  }

  HKEY desktop_ = nullptr;
  bool hadUsePassword_ = false;
  DWORD savedType_ = 0;
  BYTE savedUsePassword_[64] = {};
  DWORD savedSize_ = 0;
  HWND window_ = nullptr;
};

TEST_F(PasswordHooks, WithoutAPasswordNothingLoadsAndTheFirstKeyCloses) {
  for (bool present : {false, true}) {
    if (present)
      SetUsePassword(0);
    else
      RegDeleteValueA(desktop_, kUsePassword);
    LoadPasswordHook();
    EXPECT_EQ(PasswordModule, nullptr);
    EXPECT_FALSE(SystemSaverRunning());
  }
  SendMessageA(window_, WM_KEYDOWN, 'A', 0);
  ASSERT_EQ(TakeCloseRequests(window_), 1);
  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(CloseConfirmed);
  EXPECT_FALSE(IsWindow(window_));
}

TEST_F(PasswordHooks, RunningFlagIsRaisedWithTheHookAndLoweredOnce) {
  LoadHookAnswering(FALSE);
  EXPECT_NE(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  EXPECT_TRUE(SystemSaverRunning());
  UnloadPasswordHook();
  EXPECT_EQ(PasswordModule, nullptr);
  EXPECT_EQ(VerifyPasswordFn, nullptr);
  EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  EXPECT_FALSE(SystemSaverRunning());
  // Lowered only by the unload that follows a raise.
  SetSystemSaverRunning(TRUE);
  UnloadPasswordHook();
  EXPECT_TRUE(SystemSaverRunning());
}

TEST_F(PasswordHooks, ModuleWithoutTheEntryIsFreedAndTheFlagStaysDown) {
  UseDoubles("doubles\\without-entry");
  SetUsePassword(1);
  LoadPasswordHook();
  EXPECT_EQ(PasswordModule, nullptr);
  EXPECT_EQ(VerifyPasswordFn, nullptr);
  EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  EXPECT_FALSE(SystemSaverRunning());
}

TEST_F(PasswordHooks, NothingHappensOnTheNtFamily) {
  IsWin9x = FALSE;
  SetUsePassword(1);
  LoadPasswordHook();
  EXPECT_EQ(PasswordModule, nullptr);
  SetSaverRunningFlag(TRUE);
  EXPECT_FALSE(SystemSaverRunning());
}

TEST_F(PasswordHooks, RefusedPasswordKeepsTheSaverAndQuietsCloseRequestsFor200Ms) {
  LoadHookAnswering(FALSE);
  SetCursorPos(321, 123);
  ReferenceCursor = {0, 0};
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));

  EXPECT_EQ(SendMessageA(window_, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_FALSE(CloseConfirmed);
  EXPECT_EQ(PromptCount(), 1);
  EXPECT_EQ(FindEntry<PasswordDoubleLastWindowFn>(PasswordModule, kPasswordDoubleLastWindow)(),
            window_);
  EXPECT_EQ(ReferenceCursor.x, 321);
  EXPECT_EQ(ReferenceCursor.y, 123);
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_NE(LastVerifyTick, kNoVerifyYet);

  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(PromptCount(), 1);
  Sleep(kVerifyQuietPeriod + 50);
  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(PromptCount(), 2);
  EXPECT_TRUE(IsWindow(window_));

  FindEntry<ConfigurePasswordDoubleFn>(PasswordModule, kConfigurePasswordDouble)(TRUE, nullptr);
  Sleep(kVerifyQuietPeriod + 50);
  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(CloseConfirmed);
  EXPECT_FALSE(IsWindow(window_));
}

TEST_F(PasswordHooks, QuietPeriodIsAnUnsignedTickDifference) {
  LoadHookAnswering(FALSE);
  LastVerifyTick = GetTickCount() + 0x80000000u;  // long ago, whatever the wrap
  EXPECT_FALSE(VerifyPasswordOnClose(window_));
  EXPECT_EQ(PromptCount(), 1);
  LastVerifyTick = GetTickCount() - 10;
  EXPECT_FALSE(VerifyPasswordOnClose(window_));
  EXPECT_EQ(PromptCount(), 1);
}

TEST_F(PasswordHooks, WhileThePromptIsOpenInputNeitherClosesNorPromptsAgain) {
  LoadHookAnswering(TRUE, InspectWhilePromptIsOpen);
  SeenDuringPrompt = DuringPrompt{};
  for (int tick = 0; tick < 3; ++tick)
    PostMessageA(window_, WM_TIMER, 1, 0);

  EXPECT_TRUE(VerifyPasswordOnClose(window_));
  EXPECT_EQ(PromptCount(), 1);
  EXPECT_TRUE(SeenDuringPrompt.verifyInProgress);
  EXPECT_EQ(SeenDuringPrompt.pendingTimers, 1);  // two of the three were dropped
  EXPECT_EQ(SeenDuringPrompt.closeRequests, 0);
  EXPECT_FALSE(SeenDuringPrompt.secondVerify);
  EXPECT_EQ(SeenDuringPrompt.closeReply, 0);
  EXPECT_FALSE(VerifyInProgress);
  EXPECT_TRUE(CloseConfirmed);
  // Once confirmed, nothing asks again.
  EXPECT_FALSE(VerifyPasswordOnClose(window_));
  EXPECT_EQ(PromptCount(), 1);
}

TEST_F(PasswordHooks, PasswordRequestIsAnsweredByThePromptOrWithOneWithoutIt) {
  EXPECT_EQ(SendMessageA(window_, WM_VERIFY_PASSWORD, 0, 0), 1);
  LoadHookAnswering(TRUE);
  EXPECT_EQ(SendMessageA(window_, WM_VERIFY_PASSWORD, 0, 0), 1);
  FindEntry<ConfigurePasswordDoubleFn>(PasswordModule, kConfigurePasswordDouble)(FALSE, nullptr);
  EXPECT_EQ(SendMessageA(window_, WM_VERIFY_PASSWORD, 0, 0), 0);
  EXPECT_EQ(PromptCount(), 1);
}

TEST_F(PasswordHooks, FullScreenRunWithoutAWindowStillUnloadsTheHook) {
  // The class already exists, so the shell's registration fails and no window is made.
  WNDCLASSA taken{};
  taken.lpfnWndProc = DefWindowProcA;
  taken.hInstance = SaverInstance;
  taken.lpszClassName = kSaverClassName;
  ASSERT_NE(RegisterClassA(&taken), 0);
  SetUsePassword(1);
  AcLineStatus = 77;

  EXPECT_EQ(RunSaverWindow(nullptr), 0);
  EXPECT_EQ(PasswordModule, nullptr);
  EXPECT_FALSE(SystemSaverRunning());
  EXPECT_EQ(AutoPlayQueryMessage, RegisterWindowMessageA("QueryCancelAutoPlay"));
  EXPECT_NE(AcLineStatus, 77);
  EXPECT_EQ(FindWindowA(kSaverClassName, nullptr), nullptr);
  UnregisterClassA(kSaverClassName, SaverInstance);
  AutoPlayQueryMessage = 0;
}

// The child's tests carry the DISABLED_ prefix so that only the test that starts it runs them.
constexpr char kParentWindowVariable[] = "VESPERINE_TEST_PARENT_WINDOW";

std::string HandleText(HWND window) {
  return std::to_string(static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
}

std::string ReadFile(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof(buffer), file))
      text += buffer;
    std::fclose(file);
  }
  return text;
}

std::string ProviderCall(HWND parent) {
  return "PwdChangePasswordA SCRSAVE " + HandleText(parent) + " 0 0\n";
}

std::string Environment(const char* name) {
  char value[1024] = "";
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length < sizeof(value) ? std::string(value, length) : std::string();
}

TEST_F(PasswordHooks, ChangePasswordModeCallsTheProviderInAChildWithMprOverridden) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof(folder), folder);
  const std::string log =
      std::string(folder) + "vesperine-mpr-" + std::to_string(GetCurrentProcessId()) + ".log";
  DeleteFileA(log.c_str());
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof(program));
  const std::string programName = std::strrchr(program, '\\') + 1;
  const std::string appDefaults = "Software\\Wine\\AppDefaults\\" + programName;
  // Whatever of the keys existed before stays.
  HKEY appKey = nullptr;
  HKEY overrides = nullptr;
  DWORD appKeyWas = 0;
  DWORD overridesWere = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, appDefaults.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &appKey, &appKeyWas),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExA(appKey, "DllOverrides", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &overrides, &overridesWere),
            ERROR_SUCCESS);
  static const char kNativeFirst[] = "native,builtin";
  RegSetValueExA(overrides, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNativeFirst),
                 sizeof(kNativeFirst));
  SetEnvironmentVariableA(kMprLogVariable, log.c_str());
  SetEnvironmentVariableA(kParentWindowVariable, HandleText(window_).c_str());

  std::string commandLine = std::string("\"") + program +
                            "\" --gtest_also_run_disabled_tests"
                            " --gtest_filter=ChangePasswordModeChild.*";
  PROCESS_INFORMATION child{};
  const BOOL started = StartTestProcess(program, commandLine, &child);
  SetEnvironmentVariableA(kMprLogVariable, nullptr);
  SetEnvironmentVariableA(kParentWindowVariable, nullptr);
  if (started) WaitForSingleObject(child.hProcess, 60000);
  RegDeleteValueA(overrides, "mpr");
  RegCloseKey(overrides);
  if (overridesWere == REG_CREATED_NEW_KEY) RegDeleteKeyA(appKey, "DllOverrides");
  RegCloseKey(appKey);
  if (appKeyWas == REG_CREATED_NEW_KEY) RegDeleteKeyA(HKEY_CURRENT_USER, appDefaults.c_str());
  ASSERT_TRUE(started);
  DWORD exitCode = 1;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  EXPECT_EQ(exitCode, 0u) << "the child's tests failed (see above)";
  const std::string calls = ReadFile(log);
  EXPECT_EQ(calls.substr(0, calls.find('\n') + 1), ProviderCall(window_));
  DeleteFileA(log.c_str());
}

class ChangePasswordModeChild : public PasswordHooks {
 protected:
  void SetUp() override {
    PasswordHooks::SetUp();
    log_ = Environment(kMprLogVariable);
    parent_ = reinterpret_cast<HWND>(
        static_cast<ULONG_PTR>(std::stoull("0" + Environment(kParentWindowVariable))));
    ASSERT_FALSE(log_.empty()) << "runs only as the child of the test above";
    ASSERT_TRUE(IsWindow(parent_));
  }

  std::string log_;
  HWND parent_ = nullptr;
};

TEST_F(ChangePasswordModeChild, DISABLED_ParentsTheDialogToTheGivenOrTheForegroundWindow) {
  EXPECT_EQ(GetModuleHandleA("MPR.DLL"), nullptr);
  EXPECT_EQ(RunSaverMode(("/a " + HandleText(parent_)).c_str()), 0);
  EXPECT_EQ(GetModuleHandleA("MPR.DLL"), nullptr) << "MPR.DLL must be freed after the call";
  EXPECT_EQ(ReadFile(log_), ProviderCall(parent_));
  EXPECT_EQ(RunSaverMode(("-A" + HandleText(parent_) + "x").c_str()), 0);
  EXPECT_EQ(RunSaverMode("/a 0"), 0);
  EXPECT_EQ(RunSaverMode("/a:12"), 0);
  const std::string expected = ProviderCall(parent_) + ProviderCall(parent_) +
                               ProviderCall(GetForegroundWindow()) +
                               ProviderCall(GetForegroundWindow());
  EXPECT_EQ(ReadFile(log_), expected);

  IsWin9x = FALSE;
  EXPECT_EQ(RunSaverMode(("/a " + HandleText(parent_)).c_str()), -1);
  EXPECT_EQ(ReadFile(log_), expected);
}

}  // namespace
