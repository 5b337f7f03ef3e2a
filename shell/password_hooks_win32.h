// The Windows 9x screen-saver password: the system's password prompt before the saver may close,
// the system's screen-saver-running flag while the prompt is armed, and the change-password
// dialog of the "a" mode. Both system components are loaded at run time; without them, or on the
// NT family (IsWin9x false), everything here does nothing and the saver closes when asked.
#pragma once

#include <windows.h>

#include <string>

// ---- Constants -------------------------------------------------------------------------------

// Sent to the saver window to run the password prompt inside its own window procedure.
constexpr UINT WM_VERIFY_PASSWORD = WM_APP;

// Close requests within this many milliseconds after a prompt closed are refused unasked.
constexpr DWORD kVerifyQuietPeriod = 200;

// LastVerifyTick before the first prompt.
constexpr DWORD kNoVerifyYet = 0xFFFFFFFF;

// ---- Types -----------------------------------------------------------------------------------

// "VerifyScreenSavePwd" of PASSWORD.CPL: runs the prompt over the window; nonzero lets it close.
using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND saverWindow);
// "PwdChangePasswordA" of MPR.DLL: runs the change-password dialog for a provider.
using PwdChangePasswordAFn = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved1,
                                            DWORD reserved2);

// ---- Process-wide state ----------------------------------------------------------------------
// Lives for the process; written only by the functions below.

extern HMODULE PasswordModule;                  // PASSWORD.CPL while loaded
extern VerifyScreenSavePwdFn VerifyPasswordFn;  // its entry while loaded
extern BOOL VerifyInProgress;                   // the prompt is open: input is ignored meanwhile
extern DWORD LastVerifyTick;                    // GetTickCount when the last prompt closed
extern BOOL CloseConfirmed;  // the saver window may close: no more input or timer work
// The folder both components are loaded from by full path; empty (always, in the saver) means the
// system folder. The Win32 tests point it at their stand-ins.
extern std::string PasswordComponentFolder;

// ---- Functions -------------------------------------------------------------------------------

// Loads PASSWORD.CPL when the user's "ScreenSaveUsePassword" asks for a password, and raises the
// running flag once its entry is found. Once per full-screen run, before the window exists.
void LoadPasswordHook();
// Frees PASSWORD.CPL; lowers the running flag if LoadPasswordHook raised it.
void UnloadPasswordHook();

// On WM_CLOSE: nonzero when the saver window may close now, after the prompt if one is wanted.
BOOL VerifyPasswordOnClose(HWND saverWindow);

// The "a" mode: the system's change-password dialog for "SCRSAVE" over `parent`.
void ChangeSaverPassword(HWND parent);

// Tells the system whether a saver runs (SPI_SCREENSAVERRUNNING); only on Windows 9x.
void SetSaverRunningFlag(BOOL running);
