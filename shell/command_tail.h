// The saver's command line: where the program name ends and which mode the switch after it asks
// for. Pure byte scanning, portable and tested natively; the Windows start-up turns the result
// into a mode run (window checks and the foreground fallback happen there).
#pragma once

#include <cstdint>

// ---- Types -----------------------------------------------------------------------------------

// The one mode a process runs.
enum class SaverMode {
  kSettingsNoParent,  // empty tail: the settings dialog without a parent window
  kSettings,          // "c": the settings dialog over the window after ":", else the foreground one
  kFullScreen,        // "s"
  kPreview,           // "p", "l": preview inside the given window
  kChangePassword,    // "a": the system's change-password dialog (Windows 9x only)
  kUnrecognised,      // any other switch: the process ends with -1
};

// What the scan found: the mode and the decimal window handle read after its letter (0 when the
// mode reads none or no digits stood there).
struct TailSwitch {
  SaverMode mode;
  std::uint32_t windowValue;
};

// Steps from one character to the next; the start-up passes the code page's CharNextA, which
// never steps past a NUL.
using CharStep = const char* (*)(const char* character);

// ---- Functions -------------------------------------------------------------------------------

// Cuts the program name, quoted or not, and the blanks and control bytes after it off the command
// line. The result points into `commandLine`.
const char* SkipProgramName(const char* commandLine, CharStep next);

// Finds the first switch letter of the tail, skipping any mix of " ", "-" and "/" before it.
TailSwitch ScanCommandTail(const char* tail);

// Decimal digits at `cursor`, up to the first other byte, in 32-bit arithmetic that wraps. No
// sign, no blanks, no hexadecimal; no digits give 0.
std::uint32_t ParseWindowHandle(const char* cursor);
