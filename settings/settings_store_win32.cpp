// The save half that reads the settings dialog's controls.
#include "settings/settings_store.h"

#include <windows.h>
#include <commctrl.h>

int SaveSettings(HWND dialog) {
  const HWND refreshTrackbar = GetDlgItem(dialog, kRefreshTimeTrackbarId);
  const HWND intervalTrackbar = GetDlgItem(dialog, kTimeIntervalTrackbarId);
  const auto refreshPosition = static_cast<int>(SendMessageA(refreshTrackbar, TBM_GETPOS, 0, 0));
  const auto intervalPosition = static_cast<int>(SendMessageA(intervalTrackbar, TBM_GETPOS, 0, 0));
  return WriteSettings(refreshPosition, intervalPosition);
}
