// The settings dialog (IDD_SETTINGS): the texture list and the two timing trackbars, loaded from
// and saved to the settings store. Its procedure, SettingsDialogProc, is declared with the shell
// that runs it (shell/saver_startup_win32.h).
#pragma once

#include <windows.h>

// Sets the trackbars' ranges and positions from SaverSettings and fills the list box from the
// TextureList, no row selected. Returns TRUE.
BOOL InitSettingsDialog(HWND dialog);

// Asks for texture files with the open-file dialog, appends them to the TextureList and the list
// box and selects the last added row. A cancelled or failed dialog changes nothing. Returns TRUE.
BOOL AddTextureFiles(HWND dialog);

// Removes the selected row and its TextureList entry, then selects the first row; nothing
// happens when no row is selected. Returns TRUE.
BOOL RemoveSelectedTexture(HWND dialog);
