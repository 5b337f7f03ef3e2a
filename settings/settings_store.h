// The settings store: the saver's few persisted values, read once per process from one registry
// key of the current user and written by the settings dialog. Portable header.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Constants -------------------------------------------------------------------------------

constexpr char SettingsKeyPath[] = "Software\\Ondrel\\Vesperine";

constexpr std::size_t kAppFolderBytes = 1024;  // a folder of 259 characters in UTF-8, and a NUL
// Where the installer puts the samples: below the system's Program Files folder, read from
// HKEY_LOCAL_MACHINE (a 32-bit program on 64-bit Windows sees the 32-bit folder); the literal
// default only when the system names none.
constexpr char kProgramFilesKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kProgramFilesValue[] = "ProgramFilesDir";
constexpr char kAppFolderBelowProgramFiles[] = "Ondrel\\Vesperine\\";
constexpr char kDefaultAppFolder[] = "C:\\Program Files\\Ondrel\\Vesperine\\";
constexpr std::int32_t kDefaultRefreshTime = 50000;
constexpr std::int32_t kDefaultTimeInterval = 3500;
constexpr std::int32_t kDefaultColorDifference = 21;

// The settings dialog's trackbars that a save reads.
constexpr int kRefreshTimeTrackbarId = 1004;   // positions in tens of milliseconds
constexpr int kTimeIntervalTrackbarId = 1016;  // positions in milliseconds

// ---- Types -----------------------------------------------------------------------------------

struct SaverSettingsValues {
  char AppFolder[kAppFolderBytes];  // NUL-terminated; initial folder of the texture file dialog
  std::int32_t RefreshTime;         // ms of filling before the wipe back to the desktop
  std::int32_t TimeInterval;        // ms between two fills
  std::int32_t ColorDifference;     // colour-distance threshold of the fill engine
};

// ---- Process-wide state ----------------------------------------------------------------------

// Defaults from start-up; set by LoadSettings once per process, only read afterwards.
extern SaverSettingsValues SaverSettings;

// ---- Functions -------------------------------------------------------------------------------

// Sets every field to its default (AppFolder below the system's Program Files folder), then reads
// the key's values over them and appends the stored paths to the TextureList. A value of another
// type or size than its field, or an empty "AppFolder", takes the default; a
// key that cannot be opened leaves the defaults and the list as it was. When "Texture" was never
// stored, the picture files directly in AppFolder are appended instead (AppendTexturesFromFolder).
void LoadSettings();

// Writes "Refresh Time" (refreshPosition x 10), "Time Interval", "Color Difference" (always 21)
// and the TextureList as "Texture". Never writes "AppFolder". Returns 1, written or not.
int WriteSettings(int refreshPosition, int intervalPosition);

#ifdef _WIN32
// HWND without <windows.h>: the handle type its STRICT declaration names.
struct HWND__;

// Reads the dialog's two trackbars and passes their positions to WriteSettings. Returns 1.
int SaveSettings(HWND__* dialog);
#endif

// Puts the defaults back (tests only).
void ResetSaverSettings();
