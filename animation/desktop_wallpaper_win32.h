// The desktop as the user sees it, painted from the wallpaper settings: for a saver that runs on
// a desktop of its own (the secure desktop), where a copy of the screen comes back blank.
#pragma once

#include <windows.h>

#include <vector>

#include "animation/monitor_layout.h"
#include "raster/raster.h"

// ---- Constants -------------------------------------------------------------------------------

// The name of the user's own desktop; the saver of a password-protected session runs elsewhere.
constexpr char kUserDesktopName[] = "Default";

// ---- Functions -------------------------------------------------------------------------------

// True when the saver's thread desktop has a name other than "Default". A desktop whose name
// cannot be read counts as the user's own.
bool OnSecureDesktop();

// Paints every monitor of `canvas` (`monitors` in canvas pixels, canvas (0, 0) at
// `canvasScreenOrigin` on the screen) as the desktop shows it: the desktop colour
// (COLOR_DESKTOP) with the wallpaper laid out per "WallpaperStyle" and "TileWallpaper" of
// HKCU\Control Panel\Desktop. The pictures are the per-monitor wallpapers of IDesktopWallpaper
// where the system has it, else the file SPI_GETDESKWALLPAPER names, decoded as textures are. A
// picture that does not load leaves its monitor in the desktop colour.
void PaintDesktopWallpaper(Surface& canvas, const std::vector<MonitorRect>& monitors,
                           POINT canvasScreenOrigin);
