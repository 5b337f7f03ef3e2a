// The saver window, full screen or as a preview inside a given window, and the rules that end the
// full-screen saver on user input and power events.
//
// Every message passes SaverShellWindowProc (the class's procedure), then the saver's own
// procedure, SaverAnimationProc, which hands what it does not consume to
// DefaultSaverProc: the closing rules and, last, DefWindowProcA. Closing is always a posted
// WM_CLOSE.
#pragma once

#include <windows.h>

#include <imm.h>

#include "process/saver_process_win32.h"

// ---- Constants -------------------------------------------------------------------------------

constexpr char kSaverClassName[] = "WindowsScreenSaverClass";
constexpr char kFullScreenTitle[] = "Screen Saver";
constexpr char kPreviewTitle[] = "Preview";
constexpr WORD kSaverIconId = 100;

// Pixels of cursor movement (horizontal plus vertical distance) that must be exceeded to close.
constexpr UINT MouseMoveThreshold = 4;

// AcLineStatus when the system cannot tell.
constexpr BYTE kUnknownAcLineStatus = 255;

// ---- Types -----------------------------------------------------------------------------------

// "ImmAssociateContext" of IMM32.DLL.
using ImmAssociateContextFn = HIMC(WINAPI*)(HWND window, HIMC context);

// ---- Process-wide state ----------------------------------------------------------------------
// Lives for the process; written by RunSaverWindow and the procedures below.

extern HWND SaverWindow;                             // the saver window once created
extern POINT ReferenceCursor;                        // where mouse movement is measured from
extern BYTE AcLineStatus;                            // last known AC line status
extern UINT AutoPlayQueryMessage;                    // "QueryCancelAutoPlay" on Windows 9x, else 0
extern HIMC SavedInputContext;                       // the input context detached at creation
extern HMODULE InputMethodModule;                    // IMM32.DLL, when the process had loaded it
extern ImmAssociateContextFn AssociateInputContext;  // its "ImmAssociateContext"

// ---- Functions -------------------------------------------------------------------------------

// Runs the saver window: full screen when `parent` is null, else as a preview filling `parent`.
// Returns the quit message's wParam, or 0 when no window was created.
int RunSaverWindow(HWND parent);

// The class's window procedure: input-method detach, quit, cursor hiding, system commands and
// what arrives after closing was confirmed; everything else goes on to SaverAnimationProc.
LRESULT CALLBACK SaverShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// DefaultSaverProc, the default of the saver's own procedure, is defined here and declared with
// the process-wide facts that the saver reads (process/saver_process_win32.h).
