// Stands in for the settings dialog's procedure until the dialog itself exists; the real dialog
// replaces this file. Without template 2003 the dialog cannot be created and the settings mode
// ends with -1.
#include "shell/saver_startup_win32.h"

INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}
