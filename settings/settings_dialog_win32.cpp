#include "settings/settings_dialog_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstddef>
#include <cstdint>

#include "settings/settings_dialog_ids.h"
#include "settings/settings_store.h"
#include "settings/texture_list.h"
#include "process/saver_process_win32.h"
#include "process/system_files_win32.h"

static_assert(IDD_SETTINGS == kSettingsDialogTemplate);
static_assert(IDC_REFRESH_SLIDER == kRefreshTimeTrackbarId);
static_assert(IDC_SPEED_SLIDER == kTimeIntervalTrackbarId);

namespace {

// The refresh trackbar counts tens of milliseconds, the speed trackbar milliseconds.
constexpr WORD kRefreshMinimum = 500;
constexpr WORD kRefreshMaximum = 7000;
constexpr WPARAM kRefreshTickFrequency = 500;
constexpr WORD kSpeedMinimum = 50;
constexpr WORD kSpeedMaximum = 5000;
constexpr WPARAM kSpeedTickFrequency = 50;

// Three times the 8192 bytes of a narrow code page: a selection in UTF-8 may take that much.
constexpr std::size_t kTextureFileBufferBytes = 3 * 8192;
// Description and pattern pairs; the literal's own NUL ends the list.
constexpr char kTextureFileFilter[] =
    "Bitmap Files (*.bmp)\0*.bmp\0"
    "Jpeg Files (*.jpg)\0*.jpg; *.jpeg\0"
    "Gif Files (*.gif)\0*.gif\0"
    "Portable Network Graphic (*.png)\0*.png\0"
    "All Files (*.*)\0*.*\0";
constexpr char kTextureFileTitle[] = "Select texture file name";
constexpr char kTextureFileDefaultExtension[] = "BMP";

// The record as the first explorer-style dialogs knew it, without the trailing reserved fields.
constexpr DWORD kOpenFileNameBytes =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
#ifndef _WIN64
static_assert(kOpenFileNameBytes == 76);
#endif

void SetUpTrackbar(HWND trackbar, WORD minimum, WORD maximum, WPARAM tickFrequency,
                   LPARAM position) {
  SendMessageA(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(minimum, maximum));
  SendMessageA(trackbar, TBM_SETTICFREQ, tickFrequency, 0);
  SendMessageA(trackbar, TBM_SETPOS, TRUE, position);
}

// Adds the display name of the entry at `position` as the list box's last row; returns the row's
// index, or LB_ERR / LB_ERRSPACE.
LRESULT AddTextureRow(HWND list, std::int32_t position) {
  char name[kTextureDisplayNameBytes];
  TextureDisplayName(TextureAt(position), name, sizeof name);
  return SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

void RepaintDialog(HWND dialog) {
  InvalidateRect(dialog, nullptr, FALSE);
  UpdateWindow(dialog);
}

INT_PTR OnInitDialog(HWND dialog) {
  LoadSettings();
  return InitSettingsDialog(dialog);
}

INT_PTR OnCommand(HWND dialog, WORD command) {
  switch (command) {
    case IDOK:
      SaveSettings(dialog);
      EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case IDC_ADD_TEXTURE:
      return AddTextureFiles(dialog);
    case IDC_REMOVE_TEXTURE:
      return RemoveSelectedTexture(dialog);
    case IDC_APPLY:
      return SaveSettings(dialog);
  }
  return TRUE;
}

// COMDLG32, and the shell that it brings in, load only when Add... needs them, from the system
// folder; they stay loaded for the rest of the process.
BOOL ShowOpenFileDialog(OPENFILENAMEA* request) {
  using GetOpenFileNameAFn = BOOL(WINAPI*)(LPOPENFILENAMEA);
  static const HMODULE dialogs = LoadSystemLibrary("comdlg32.dll");
  const auto open =
      dialogs == nullptr ? nullptr : FindEntry<GetOpenFileNameAFn>(dialogs, "GetOpenFileNameA");
  return open != nullptr && open(request);
}

}  // namespace

// Trackbar movements are not handled: Apply and OK read the positions.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_COMMAND:
      return OnCommand(dialog, LOWORD(wParam));
  }
  return FALSE;
}

BOOL InitSettingsDialog(HWND dialog) {
  SetUpTrackbar(GetDlgItem(dialog, IDC_REFRESH_SLIDER), kRefreshMinimum, kRefreshMaximum,
                kRefreshTickFrequency, SaverSettings.RefreshTime / 10);
  SetUpTrackbar(GetDlgItem(dialog, IDC_SPEED_SLIDER), kSpeedMinimum, kSpeedMaximum,
                kSpeedTickFrequency, SaverSettings.TimeInterval);
  const HWND list = GetDlgItem(dialog, IDC_TEXTURE_LIST);
  for (std::int32_t position = 0; position < TextureCount(); ++position)
    AddTextureRow(list, position);
  RepaintDialog(dialog);
  return TRUE;
}

BOOL AddTextureFiles(HWND dialog) {
  char files[kTextureFileBufferBytes] = {};
  OPENFILENAMEA request{};
  request.lStructSize = kOpenFileNameBytes;
  request.hwndOwner = dialog;
  request.hInstance = SaverInstance;
  request.lpstrFilter = kTextureFileFilter;
  request.lpstrFile = files;
  request.nMaxFile = sizeof files;
  request.lpstrInitialDir = SaverSettings.AppFolder;
  request.lpstrTitle = kTextureFileTitle;
  request.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
  request.lpstrDefExt = kTextureFileDefaultExtension;
  if (!ShowOpenFileDialog(&request)) return TRUE;

  const std::int32_t first = TextureCount();
  AppendTexturesFromFileDialog(files, sizeof files);
  const HWND list = GetDlgItem(dialog, IDC_TEXTURE_LIST);
  LRESULT lastRow = LB_ERR;
  for (std::int32_t position = first; position < TextureCount(); ++position)
    lastRow = AddTextureRow(list, position);
  if (lastRow >= 0) {
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(lastRow), 0);
    RepaintDialog(dialog);
  }
  return TRUE;
}

BOOL RemoveSelectedTexture(HWND dialog) {
  const HWND list = GetDlgItem(dialog, IDC_TEXTURE_LIST);
  const LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (row < 0) return TRUE;
  SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  RemoveTextureAt(static_cast<std::int32_t>(row));
  SendMessageA(list, LB_SETCURSEL, 0, 0);
  RepaintDialog(dialog);
  return TRUE;
}
