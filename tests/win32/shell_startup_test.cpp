// The start-up's modes as far as they end without a saver window of their own (the saver window's
// creation runs the whole animation and belongs to the end-to-end tests), and the fault guard.
#include "shell/saver_startup_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "engine/region_fill.h"
#include "shell/password_hooks_win32.h"
#include "shell/saver_window_win32.h"
#include "tests/win32/start_process.h"

namespace {

std::string HandleText(HWND window) {
  return std::to_string(static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
}

BOOL CALLBACK CountIfSaverWindow(HWND window, LPARAM counter) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) == kSaverClassName) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int CountSaverWindows() {
  int count = 0;
  EnumWindows(CountIfSaverWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

BOOL SystemSaverRunning() {
  BOOL running = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running;
}

class SaverStartupModes : public ::testing::Test {
 protected:
  void SetUp() override {
    other_ = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(other_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(other_);
    IsWin9x = FALSE;
  }
  int Main(const std::string& tail) { return SaverMain(GetModuleHandleA(nullptr), tail.c_str()); }

  HWND other_ = nullptr;
};

// Wine runs on processors with SSE2 and saves the XMM registers: the fill may use SSE2.
TEST_F(SaverStartupModes, SetsTheInstanceTheNtFamilyAndSse2UnderWine) {
  IsWin9x = TRUE;
  SaverInstance = nullptr;
  SetSystemSavesXmm(false);
  Main("/x");
  EXPECT_EQ(SaverInstance, GetModuleHandleA(nullptr));
  EXPECT_FALSE(IsWin9x);
  EXPECT_TRUE(UsesSse2Growth());
}

TEST_F(SaverStartupModes, BadSwitchesAndPreviewsWithoutAWindowEndWithMinusOne) {
  const std::string other = HandleText(other_);
  for (const std::string& tail :
       {std::string("/x"), std::string("/?"), std::string("\x80/s"), std::string("/p"),
        std::string("/p 0"), std::string("/p:") + other, std::string("/l\t") + other,
        std::string("/p 4294967295"), std::string("/a ") + other})
    EXPECT_EQ(Main(tail), -1) << "tail \"" << tail << "\"";
  EXPECT_EQ(CountSaverWindows(), 0);
  EXPECT_FALSE(IsPreview);
}

// While the settings dialog runs, a thread timer cancels it and notes the window that owns it.
constexpr int kDialogCancelled = 2;
HWND DialogOwner = nullptr;
bool DialogSeen = false;

BOOL CALLBACK CancelIfDialog(HWND window, LPARAM) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) != "#32770") return TRUE;
  DialogSeen = true;
  DialogOwner = GetWindow(window, GW_OWNER);
  EndDialog(window, kDialogCancelled);
  return FALSE;
}

void CALLBACK CancelSettingsDialog(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), CancelIfDialog, 0);
}

TEST_F(SaverStartupModes, SettingsModeParentsTheDialogAsTheSwitchSays) {
  // The Win32 test programs carry the saver's resources; without the dialog's template the
  // dialog cannot be created and every settings start ends with -1.
  const bool hasTemplate =
      FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kSettingsDialogTemplate),
                    MAKEINTRESOURCEA(5)) != nullptr;  // RT_DIALOG
  // A visible window of this program in front stands for the foreground window.
  const HWND foreground = CreateWindowExA(0, "STATIC", "front", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                          nullptr, nullptr, nullptr, nullptr);
  const std::pair<std::string, HWND> starts[] = {
      {"", nullptr},
      {"   ", nullptr},
      {"/c", foreground},
      {"/c:" + HandleText(other_), other_},
      {"/C:" + HandleText(other_) + "9", foreground},  // names no window
      {"/c " + HandleText(other_), foreground},
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, CancelSettingsDialog);
  for (const auto& [tail, owner] : starts) {
    SetForegroundWindow(foreground);
    ASSERT_EQ(GetForegroundWindow(), foreground);
    DialogSeen = false;
    DialogOwner = reinterpret_cast<HWND>(-1);
    const int result = Main(tail);
    if (!hasTemplate) {
      EXPECT_EQ(result, -1) << "tail \"" << tail << "\"";
      continue;
    }
    EXPECT_EQ(result, kDialogCancelled) << "tail \"" << tail << "\"";
    EXPECT_TRUE(DialogSeen) << "tail \"" << tail << "\"";
    EXPECT_EQ(DialogOwner, owner) << "tail \"" << tail << "\"";
  }
  KillTimer(nullptr, timer);
  DestroyWindow(foreground);
}

TEST_F(SaverStartupModes, FullScreenStartBringsTheRunningSaverForward) {
  WNDCLASSA running{};
  running.lpfnWndProc = DefWindowProcA;
  running.hInstance = GetModuleHandleA(nullptr);
  running.lpszClassName = kSaverClassName;
  ASSERT_NE(RegisterClassA(&running), 0);
  const HWND saver = CreateWindowExA(0, kSaverClassName, kFullScreenTitle, WS_POPUP, 0, 0, 10, 10,
                                     nullptr, nullptr, running.hInstance, nullptr);
  for (const char* tail : {"/s", "-S", "s", "/ -s", "--s", "/s whatever follows"})
    EXPECT_EQ(Main(tail), 0) << "tail \"" << tail << "\"";
  EXPECT_EQ(CountSaverWindows(), 1);
  DestroyWindow(saver);
  UnregisterClassA(kSaverClassName, running.hInstance);
}

// ---- The fault guard ----

LONG TopFilterAnswer = EXCEPTION_CONTINUE_SEARCH;
DWORD TopFilterSaw = 0;

LONG WINAPI TestTopFilter(EXCEPTION_POINTERS* fault) {
  TopFilterSaw = fault->ExceptionRecord->ExceptionCode;
  return TopFilterAnswer;
}

int ModeThatFaults(const char*) {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
  return 3;
}

int ModeThatRaisesAndGoesOn(const char*) {
  RaiseException(0xE0564C31, 0, 0, nullptr);
  return 5;
}

int ModeThatReturns(const char* tail) {
  return tail[0] - '0';
}

class FaultGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    TopFilterSaw = 0;
    previous_ = SetUnhandledExceptionFilter(TestTopFilter);
  }
  void TearDown() override {
    SetUnhandledExceptionFilter(previous_);
    IsWin9x = FALSE;
    BOOL old;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &old, 0);
  }

  LPTOP_LEVEL_EXCEPTION_FILTER previous_ = nullptr;
};

TEST_F(FaultGuard, PassesTheModeResultThroughAndRestoresTheTopLevelFilter) {
  EXPECT_EQ(RunUnderFaultGuard(ModeThatReturns, "7"), 7);
  EXPECT_EQ(SetUnhandledExceptionFilter(TestTopFilter), TestTopFilter);
  EXPECT_EQ(TopFilterSaw, 0u);
}

// The system filter asks the top-level filter that the guard stood in for: its answer decides.
TEST_F(FaultGuard, FaultTheSystemTakesEndsWithMinusOneAndLowersTheRunningFlag) {
  IsWin9x = TRUE;
  SetSaverRunningFlag(TRUE);
  ASSERT_TRUE(SystemSaverRunning());
  TopFilterAnswer = EXCEPTION_EXECUTE_HANDLER;
  EXPECT_EQ(RunUnderFaultGuard(ModeThatFaults, ""), -1);
  EXPECT_EQ(TopFilterSaw, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_FALSE(SystemSaverRunning());
  EXPECT_EQ(SetUnhandledExceptionFilter(TestTopFilter), TestTopFilter);
}

TEST_F(FaultGuard, FaultTheSystemResumesLetsTheModeGoOn) {
  TopFilterAnswer = EXCEPTION_CONTINUE_EXECUTION;
  EXPECT_EQ(RunUnderFaultGuard(ModeThatRaisesAndGoesOn, ""), 5);
  EXPECT_EQ(TopFilterSaw, 0xE0564C31u);
  // And a second fault in the same mode still reaches the guard.
  TopFilterAnswer = EXCEPTION_EXECUTE_HANDLER;
  EXPECT_EQ(RunUnderFaultGuard(ModeThatFaults, ""), -1);
}

// Only the guarded thread jumps back into the guard. A fault that another thread leaves unhandled
// while the mode runs gets the system filter's answer, and "handle it" ends the whole process
// with the fault's code; the guard must not jump from that thread onto the mode's stack. Run in a
// second start of this program, which that answer ends.
constexpr DWORD kThreadFault = 0xE0564C32;

DWORD WINAPI ThreadThatFaults(void*) {
  RaiseException(kThreadFault, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  return 0;
}

int ModeWithAFaultingThread(const char*) {
  const HANDLE thread = CreateThread(nullptr, 0, ThreadThatFaults, nullptr, 0, nullptr);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  return 9;
}

TEST_F(FaultGuard, FaultOnAnotherThreadGetsTheSystemAnswer) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof(program));
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(StartTestProcess(program,
                               std::string("\"") + program +
                                   "\" --gtest_also_run_disabled_tests"
                                   " --gtest_filter=FaultGuard.DISABLED_ChildFaultsOnASecondThread",
                               &child));
  WaitForSingleObject(child.hProcess, 60000);
  DWORD exitCode = 0;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  EXPECT_EQ(exitCode, kThreadFault);
}

TEST_F(FaultGuard, DISABLED_ChildFaultsOnASecondThread) {
  TopFilterAnswer = EXCEPTION_EXECUTE_HANDLER;
  RunUnderFaultGuard(ModeWithAFaultingThread, "");
  ADD_FAILURE() << "the process outlived the other thread's fault";
}

TEST(CommandLineWindows, HandlesAreSignExtendedAsWindowsDoes) {
  const auto value = [](std::uint32_t handle) {
    return static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(WindowFromValue(handle)));
  };
  EXPECT_EQ(value(0x00012345u), 0x12345ull);
  EXPECT_EQ(value(0x80012345u), sizeof(HWND) == 8 ? 0xFFFFFFFF80012345ull : 0x80012345ull);
}

}  // namespace
