// The few facts of the saver process that every room above reads: the module the saver runs from,
// the Windows family, whether its window is a preview, and the default window procedure that the
// saver's own procedure hands messages to. This header is the whole contract between the program
// (shell/) and the rooms it runs: they read these and include nothing of the program.
#pragma once

#include <windows.h>

// ---- Process-wide state ----------------------------------------------------------------------
// SaverInstance and IsWin9x are set once by the program's start-up before any mode runs; IsPreview
// by the saver window before it is created, never cleared. All live for the process.

extern HINSTANCE SaverInstance;  // the saver's module: window class, dialog, resources
extern BOOL IsWin9x;             // Windows 95, 98 or Me: the password hooks apply
extern BOOL IsPreview;           // the saver window runs inside a parent window

// ---- Supplied by the program -----------------------------------------------------------------

// The saver window's default procedure: the closing rules and the password request, then
// DefWindowProcA. The saver's own procedure passes it every message that it does not consume.
LRESULT CALLBACK DefaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
