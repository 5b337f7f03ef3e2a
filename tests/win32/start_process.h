// Starting a program from a Windows test program, for the tests that run other processes.
#pragma once

#include <windows.h>

#include <string>

// CreateProcessA with the given command line, no inherited handles and default start-up data (on
// `desktop`, "WinSta0\\NAME", when one is given).
// Under wine a new process now and then dies while it is being set up, before any code of the
// program runs, and CreateProcess fails with ERROR_INTERNAL_ERROR: that says nothing about the
// program started, so that failure alone is tried again, up to three starts in all.
inline BOOL StartTestProcess(const char* application, const std::string& commandLine,
                             PROCESS_INFORMATION* process, const char* desktop = nullptr) {
  std::string desktopName = desktop ? desktop : "";
  for (int attempt = 1;; ++attempt) {
    std::string line = commandLine;  // CreateProcessA may write to the buffer
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (desktop) startup.lpDesktop = &desktopName[0];
    if (CreateProcessA(application, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, process)) {
      return TRUE;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
      SetLastError(error);
      return FALSE;
    }
    Sleep(200);
  }
}
