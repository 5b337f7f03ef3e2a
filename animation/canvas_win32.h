// The two off-screen copies of the desktop: WorkCanvas, which the fill engine paints and every
// paint shows, and DesktopSnapshot, the untouched copy the wipe restores from.
//
// Each canvas is a DIB section in the screen's pixel format (32 bits for 24- and 32-bit screens
// and for palette screens, the screen's 5-5-5 or 5-6-5 layout for 16-bit ones) selected into a
// memory DC compatible with the screen. GDI copies into and out of it through the DC; the engine
// reads and paints the same bits through a Surface, so a pixel read is a memory load and never a
// system call.
#pragma once

#include <windows.h>

#include <cstdint>

#include "raster/raster.h"

// ---- Process-wide state ----------------------------------------------------------------------
// Written once by CaptureCanvases; lives until the process ends (nothing is ever released).

extern std::int32_t ScreenWidth;   // width of the virtual screen when it was captured
extern std::int32_t ScreenHeight;  // its height
extern POINT
    CanvasScreenOrigin;  // where canvas (0, 0) was on the screen: the virtual screen's corner
extern HDC WorkCanvas;
extern HDC DesktopSnapshot;
extern HBITMAP WorkCanvasBitmap;
extern HBITMAP DesktopSnapshotBitmap;
extern Surface WorkCanvasPixels;  // the bits of WorkCanvasBitmap
extern Surface DesktopSnapshotPixels;

// ---- Functions -------------------------------------------------------------------------------

// Takes the virtual screen's size and copies the screen into both canvases, each straight from
// the screen (on one monitor, the desktop window's client rectangle). On a desktop other than the
// user's own, where the copy comes back in one colour, both canvases show the user's wallpaper
// instead. Results of the system calls are not examined: on failure the canvases are empty
// surfaces and the engine finds nothing to do.
void CaptureCanvases();

// The layout the canvases take on a screen of `bitsPerPixel`, given the green mask of its 16-bit
// format (0x07E0 for 5-6-5, anything else counts as 5-5-5).
PixelLayout CanvasLayoutForScreen(int bitsPerPixel, DWORD greenMask);
