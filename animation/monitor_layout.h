// The monitors as the canvases see them, and where the user's wallpaper lies on each of them.
//
// Canvas (0, 0) is the virtual screen's top-left corner. On one monitor, that monitor covers the
// whole canvas; with several, parts of the canvas may lie on none (the corners left over by
// monitors of different sizes). The wallpaper layout here is what the saver shows on a desktop it
// cannot copy from the screen; it is portable and works on any Surface.
#pragma once

#include <vector>

#include "raster/raster.h"

// ---- Types -----------------------------------------------------------------------------------

// A rectangle in canvas pixels: left and top inside, right and bottom just outside.
struct MonitorRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// How a wallpaper is laid out on a monitor, from "WallpaperStyle" and "TileWallpaper".
enum class WallpaperStyle {
  kCenter,   // style 0: the picture at its own size, centred, cut at the monitor's edges
  kTile,     // style 0 with TileWallpaper 1: repeated from the monitor's top-left corner
  kStretch,  // 2: scaled to the monitor, its proportions lost
  kFit,      // 6: scaled whole into the monitor, centred, the desktop colour beside it
  kFill,     // 10: scaled to cover the monitor, centred, cut at its edges
  kSpan,     // 22: one picture laid as kFill over the virtual screen, each monitor its part
};

// ---- Functions -------------------------------------------------------------------------------

// True when (x, y) lies on one of `monitors`. An empty list stands for one monitor covering
// everything.
bool OnAnyMonitor(const std::vector<MonitorRect>& monitors, int x, int y);

// The smallest rectangle holding every monitor; an empty rectangle for an empty list.
MonitorRect BoundingRect(const std::vector<MonitorRect>& monitors);

// The style that the registry's "WallpaperStyle" and "TileWallpaper" name. TileWallpaper counts
// only with style 0; values the system does not know are taken as style 0 (centred or tiled).
WallpaperStyle WallpaperStyleFromValues(int wallpaperStyle, int tileWallpaper);

// Where the whole picture of pictureWidth x pictureHeight lands for a monitor: its size after
// scaling and its position, possibly reaching past the monitor (kFill, kCenter, kSpan) or short
// of it (kFit). kSpan places it over `spanArea`; kTile gives the first tile, at the monitor's
// corner. Fit and Fill keep the picture's proportions, rounding the scaled side to the nearest
// pixel and centring with the odd pixel to the right or bottom.
MonitorRect WallpaperPlacement(const MonitorRect& monitor, int pictureWidth, int pictureHeight,
                               WallpaperStyle style, const MonitorRect& spanArea);

// Paints the part of `monitor` that lies on `canvas`: `background` first, then `picture` (when it
// has pixels) laid out per `style`. A picture at its own size is copied pixel for pixel; a scaled
// one is resampled with a tent filter as wide as one source pixel, or one output pixel when it
// shrinks, so that it shows no blocks when it grows and no moire when it shrinks. False when
// memory for the working rows cannot be had: the background then shows where the picture is not.
bool LayOutWallpaper(Surface& canvas, const MonitorRect& monitor, const Surface* picture,
                     WallpaperStyle style, ColorRef background, const MonitorRect& spanArea);

// True when every pixel of `surface` has the same colour (an empty surface counts as uniform).
bool IsUniform(const Surface& surface);
