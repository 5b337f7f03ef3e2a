// The saver window's closing rules, driven with real messages on real (hidden) windows: a window
// whose procedure is DefaultSaverProc itself, and one that routes every message after its creation
// through SaverShellWindowProc, so through SaverAnimationProc to DefaultSaverProc as in the saver.
// A close request shows as a WM_CLOSE posted to the window.
#include "shell/saver_window_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "shell/password_hooks_win32.h"
#include "shell/saver_startup_win32.h"
#include "tests/win32/shell_state.h"

namespace {

bool RouteToShell = false;

LRESULT CALLBACK ShellRoutedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (RouteToShell) return SaverShellWindowProc(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

BOOL WINAPI AcceptingVerify(HWND) {
  return TRUE;
}

// Removes every WM_CLOSE queued for the window and says how many there were.
int TakeCloseRequests(HWND window) {
  MSG message;
  int count = 0;
  while (PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 0);
    ++count;
  }
  return count;
}

void MoveCursorTo(int x, int y) {
  ASSERT_TRUE(SetCursorPos(x, y));
  POINT now;
  GetCursorPos(&now);
  ASSERT_EQ(now.x, x);
  ASSERT_EQ(now.y, y);
}

BYTE SystemAcLineStatus() {
  SYSTEM_POWER_STATUS status;
  return GetSystemPowerStatus(&status) ? status.ACLineStatus : kUnknownAcLineStatus;
}

class SaverWindowRules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterTestClass("ShellTestDefault", DefaultSaverProc);
    RegisterTestClass("ShellTestRouted", ShellRoutedProc);
    RegisterTestClass("ShellTestParent", DefWindowProcA);
  }

  void SetUp() override {
    ResetShellState(FALSE);
    VerifyPasswordFn = nullptr;
    AutoPlayQueryMessage = 0;
    RouteToShell = false;
    window_ = CreateWindowExA(0, "ShellTestDefault", kFullScreenTitle, WS_POPUP, 0, 0, 64, 64,
                              nullptr, nullptr, SaverInstance, nullptr);
    ASSERT_NE(window_, nullptr);
  }

  void TearDown() override {
    RouteToShell = false;
    for (HWND window : {window_, routed_, parent_})
      if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    IsPreview = FALSE;
    CloseConfirmed = FALSE;
    VerifyInProgress = FALSE;
    VerifyPasswordFn = nullptr;
    AutoPlayQueryMessage = 0;
    MSG left;
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // A window that, once created, passes every message through SaverShellWindowProc.
  HWND CreateRouted(HWND parent, DWORD style) {
    routed_ = CreateWindowExA(0, "ShellTestRouted", parent ? kPreviewTitle : kFullScreenTitle,
                              style, 0, 0, 64, 64, parent, nullptr, SaverInstance, nullptr);
    RouteToShell = true;
    return routed_;
  }

  int Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    SendMessageA(window_, message, wParam, lParam);
    return TakeCloseRequests(window_);
  }

  HWND window_ = nullptr;
  HWND routed_ = nullptr;
  HWND parent_ = nullptr;
};

TEST_F(SaverWindowRules, KeyPressesAndTheThreeMainButtonsCloseOtherInputDoesNot) {
  for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
    EXPECT_EQ(Send(message, 'A'), 1) << "message " << message;
  for (UINT message : {WM_KEYUP, WM_SYSKEYUP, WM_CHAR, WM_SYSCHAR, WM_MOUSEWHEEL, WM_MOUSEHWHEEL,
                       WM_XBUTTONDOWN, WM_XBUTTONUP, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                       WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_NCMOUSEMOVE})
    EXPECT_EQ(Send(message, 'A'), 0) << "message " << message;
}

TEST_F(SaverWindowRules, MouseMustMoveMoreThanFourPixelsFromAReferenceThatStaysPut) {
  MoveCursorTo(200, 200);
  ReferenceCursor = {200, 200};
  EXPECT_EQ(Send(WM_MOUSEMOVE), 0);  // the move that comes with showing the window
  MoveCursorTo(202, 202);
  EXPECT_EQ(Send(WM_MOUSEMOVE), 0);
  EXPECT_EQ(ReferenceCursor.x, 200);
  EXPECT_EQ(ReferenceCursor.y, 200);
  MoveCursorTo(197, 202);
  EXPECT_EQ(Send(WM_MOUSEMOVE), 1);
  EXPECT_EQ(ReferenceCursor.x, 197);
  EXPECT_EQ(ReferenceCursor.y, 202);

  // A slow drift adds up.
  for (int step = 1; step <= 4; ++step) {
    MoveCursorTo(197, 202 + step);
    EXPECT_EQ(Send(WM_MOUSEMOVE), 0) << "step " << step;
  }
  MoveCursorTo(197, 207);
  EXPECT_EQ(Send(WM_MOUSEMOVE), 1);
}

TEST_F(SaverWindowRules, DeactivationOfAShownWindowAndCriticalResumeClose) {
  // Not shown yet: the window is still being created, and the message boxes of its creation
  // take the activation away.
  EXPECT_EQ(Send(WM_ACTIVATEAPP, FALSE), 0);
  ShowWindow(window_, SW_SHOWNA);
  TakeCloseRequests(window_);
  EXPECT_EQ(Send(WM_ACTIVATEAPP, TRUE), 0);
  EXPECT_EQ(Send(WM_ACTIVATEAPP, FALSE), 1);
  EXPECT_EQ(Send(WM_POWER, PWR_SUSPENDREQUEST), 0);
  EXPECT_EQ(Send(WM_POWER, PWR_SUSPENDRESUME), 0);
  EXPECT_EQ(Send(WM_POWER, PWR_CRITICALRESUME), 1);
}

TEST_F(SaverWindowRules, PowerBroadcastsCloseExceptResumesFromFailure) {
  const BYTE acLine = SystemAcLineStatus();
  for (WPARAM event = 0; event <= 40; ++event) {
    if (event == PBT_APMPOWERSTATUSCHANGE) continue;
    const bool resume = (event >= PBT_APMRESUMECRITICAL && event <= PBT_APMRESUMESTANDBY) ||
                        event == PBT_APMRESUMEAUTOMATIC;
    EXPECT_EQ(Send(WM_POWERBROADCAST, event, 0), 1) << "event " << event;
    EXPECT_EQ(Send(WM_POWERBROADCAST, event, PBTF_APMRESUMEFROMFAILURE), resume ? 0 : 1)
        << "event " << event;
  }
  EXPECT_EQ(Send(WM_POWERBROADCAST, 0xFFFF), 1);

  // A status change closes only when the mains were plugged in or pulled.
  AcLineStatus = acLine;
  EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE), 0);
  AcLineStatus = acLine == 1 ? 0 : 1;
  EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE), 1);
  EXPECT_EQ(AcLineStatus, acLine);
  EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE), 0);
}

TEST_F(SaverWindowRules, CursorIsHiddenOnSetCursorAndWhenShownWhereMovementCountsFrom) {
  const HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  SetCursor(arrow);
  EXPECT_EQ(SendMessageA(window_, WM_SETCURSOR, reinterpret_cast<WPARAM>(window_),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), nullptr);
  SetCursor(arrow);
  SendMessageA(window_, WM_SHOWWINDOW, FALSE, 0);
  EXPECT_EQ(GetCursor(), arrow);
  MoveCursorTo(150, 120);
  ReferenceCursor = {0, 0};
  SendMessageA(window_, WM_SHOWWINDOW, TRUE, 0);
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(ReferenceCursor.x, 150);
  EXPECT_EQ(ReferenceCursor.y, 120);

  // While the password prompt is open the prompt owns the cursor.
  VerifyInProgress = TRUE;
  SetCursor(arrow);
  SendMessageA(window_, WM_SETCURSOR, reinterpret_cast<WPARAM>(window_),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), arrow);
  SetCursor(nullptr);
}

TEST_F(SaverWindowRules, NothingClosesInPreviewAfterConfirmationOrDuringThePrompt) {
  ShowWindow(window_, SW_SHOWNA);
  TakeCloseRequests(window_);
  MoveCursorTo(100, 100);
  ReferenceCursor = {0, 0};
  for (BOOL* state : {&IsPreview, &CloseConfirmed, &VerifyInProgress}) {
    *state = TRUE;
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN,
                         WM_MOUSEMOVE, WM_ACTIVATEAPP, WM_POWERBROADCAST})
      EXPECT_EQ(Send(message), 0) << "message " << message;
    EXPECT_EQ(Send(WM_POWER, PWR_CRITICALRESUME), 0);
    EXPECT_EQ(ReferenceCursor.x, 0);
    *state = FALSE;
  }
}

TEST_F(SaverWindowRules, OnTheNtFamilyCloseDestroysTheWindowAndNoPasswordIsAsked) {
  EXPECT_EQ(SendMessageA(window_, WM_VERIFY_PASSWORD, 0, 0), 0);  // an ordinary WM_APP
  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_FALSE(CloseConfirmed);
}

TEST_F(SaverWindowRules, AutoPlayQueryClosesInEveryStateAndCancelsOnlyWithAPasswordHook) {
  const UINT query = RegisterWindowMessageA("QueryCancelAutoPlay");
  EXPECT_EQ(SendMessageA(window_, query, 0, 0), 0);  // not registered: an ordinary message
  EXPECT_EQ(TakeCloseRequests(window_), 0);

  AutoPlayQueryMessage = query;
  EXPECT_EQ(SendMessageA(window_, query, 0, 0), FALSE);
  EXPECT_EQ(TakeCloseRequests(window_), 1);
  VerifyPasswordFn = AcceptingVerify;
  EXPECT_EQ(SendMessageA(window_, query, 0, 0), TRUE);
  EXPECT_EQ(TakeCloseRequests(window_), 1);
  IsPreview = TRUE;
  CloseConfirmed = TRUE;
  EXPECT_EQ(SendMessageA(window_, query, 0, 0), TRUE);
  EXPECT_EQ(TakeCloseRequests(window_), 1);
}

TEST_F(SaverWindowRules, ShellPassesInputThroughTheSaverToTheClosingRules) {
  const HWND window = CreateRouted(nullptr, WS_POPUP);
  SendMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(TakeCloseRequests(window), 1);
  SendMessageA(window, WM_RBUTTONDOWN, 0, 0);
  EXPECT_EQ(TakeCloseRequests(window), 1);
  SendMessageA(window, WM_KEYUP, 'A', 0);
  EXPECT_EQ(TakeCloseRequests(window), 0);

  CloseConfirmed = TRUE;
  SendMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(SendMessageA(window, WM_TIMER, 1, 0), 0);
  EXPECT_EQ(TakeCloseRequests(window), 0);
}

TEST_F(SaverWindowRules, TitleNeverChanges) {
  const HWND window = CreateRouted(nullptr, WS_POPUP);
  EXPECT_EQ(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other")), 0);
  SetWindowTextA(window, "Other");
  char title[64] = "";
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ(title, kFullScreenTitle);
}

TEST_F(SaverWindowRules, FullScreenSwallowsWindowSwitchingAndAnotherSaverStart) {
  const HWND window = CreateRouted(nullptr, WS_POPUP);
  for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE}) {
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, command, 0), 0);
    EXPECT_EQ(TakeCloseRequests(window), 0);
  }
  SendMessageA(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
  EXPECT_EQ(TakeCloseRequests(window), 1);
  EXPECT_TRUE(IsWindow(window));
  // Any other command goes on to the default handling: SC_CLOSE ends in WM_CLOSE, which on the
  // NT family destroys the window, and the destruction ends the message loop.
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(window));
  MSG quit;
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(SaverWindowRules, PreviewHandsHelpToItsParentAndIgnoresMonitorPower) {
  parent_ = CreateWindowExA(0, "ShellTestParent", "Parent", WS_POPUP, 0, 0, 200, 200, nullptr,
                            nullptr, SaverInstance, nullptr);
  IsPreview = TRUE;
  const HWND window = CreateRouted(parent_, WS_CHILD);
  EXPECT_EQ(SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), 0x00060005), 1);
  MSG posted;
  ASSERT_TRUE(PeekMessageA(&posted, parent_, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE));
  EXPECT_EQ(posted.wParam, reinterpret_cast<WPARAM>(parent_));
  EXPECT_EQ(posted.lParam, 0x00060005);
  // WM_HELP carries a pointer, which the NT family refuses to post; the answer is 1 all the same.
  HELPINFO help{};
  help.cbSize = sizeof(help);
  EXPECT_EQ(SendMessageA(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), 1);
  SendMessageA(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
  EXPECT_EQ(TakeCloseRequests(window), 0);
}

TEST_F(SaverWindowRules, HelpWithoutAParentStillAnswersOneOnlyInPreview) {
  const HWND window = CreateRouted(nullptr, WS_POPUP);
  EXPECT_EQ(SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), -1), 0);
  IsPreview = TRUE;
  EXPECT_EQ(SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), -1), 1);
}

}  // namespace
