// The settings dialog (IDD_SETTINGS): the texture list and the two timing trackbars, loaded from
// and saved to the settings store. The program runs it with SettingsDialogProc.
#pragma once

#include <windows.h>

// ---- Constants -------------------------------------------------------------------------------

// The dialog's template (IDD_SETTINGS) in the saver's resources.
constexpr WORD kSettingsDialogTemplate = 2003;

// ---- Functions -------------------------------------------------------------------------------

// The dialog's procedure: WM_INITDIALOG and WM_COMMAND, each routed to a function below.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Sets the trackbars' ranges and positions from SaverSettings and fills the list box from the
// TextureList, no row selected. Returns TRUE.
BOOL InitSettingsDialog(HWND dialog);

// Asks for texture files with the open-file dialog, appends them to the TextureList and the list
// box and selects the last added row. A cancelled or failed dialog changes nothing. Returns TRUE.
BOOL AddTextureFiles(HWND dialog);

// Removes the selected row and its TextureList entry, then selects the first row; nothing
// happens when no row is selected. Returns TRUE.
BOOL RemoveSelectedTexture(HWND dialog);
