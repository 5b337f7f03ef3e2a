// Start-up of the saver process: the command tail, the one mode that its switch asks for, and the
// fault guard around that mode. The mode's result is the process exit code.
#pragma once

#include <windows.h>

#include <cstdint>

#include "process/saver_process_win32.h"
#include "settings/settings_dialog_win32.h"

// ---- Functions -------------------------------------------------------------------------------

// The process entry's only call: cuts the program name off the command line, runs SaverMain and
// ends the process with its result.
[[noreturn]] void SaverStartup();

// Sets SaverInstance and IsWin9x, tells the fill whether the system saves the XMM registers, then
// runs the command tail's mode under the fault guard and returns the exit code.
int SaverMain(HINSTANCE instance, const char* commandTail);

// The window of a handle the command line gives: handles are 32-bit values in every Windows, given
// unsigned, and 64-bit Windows sign-extends them (bit 31 set is a valid handle there too).
HWND WindowFromValue(std::uint32_t value);

// The mode that the command tail's first switch asks for; its result is the exit code.
int RunSaverMode(const char* commandTail);

// The settings mode: the dialog over `parent` (may be null). 1 after OK, 2 after Cancel, -1 when
// the dialog cannot be created, 0 when PrepareSettingsDialog cancels it.
INT_PTR RunSettingsDialog(HWND parent);

// Runs `mode` with `commandTail`. A structured exception that no handler of the mode takes is
// offered to the system's UnhandledExceptionFilter; when it answers EXCEPTION_EXECUTE_HANDLER the
// screen-saver-running flag is cleared and the result is -1, any other answer is passed on.
int RunUnderFaultGuard(int (*mode)(const char* commandTail), const char* commandTail);

// Called right before the settings dialog is created; FALSE cancels the dialog.
BOOL PrepareSettingsDialog(HINSTANCE instance);
