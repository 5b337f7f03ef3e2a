// The saver's own window procedure: on creation it captures the canvases and loads the preview
// picture, the settings and the textures and starts the timer; each tick runs one step of the
// fill-and-wipe cycle (saver_cycle.h); a paint shows the work canvas with the publisher caption,
// or in a preview only the built-in picture; destruction stops the timer and frees the textures.
// A change of the displays places the canvas anew in the window. Every other message goes to
// DefaultSaverProc.
#pragma once

#include <windows.h>

#include <vector>

#include "animation/monitor_layout.h"

// ---- Constants -------------------------------------------------------------------------------

constexpr WORD kPreviewBitmapId = 114;  // 80 x 88 pixels, 24 bits per pixel
constexpr UINT_PTR kAnimationTimerId = 1;

// The line at the top right of the full-screen saver; drawn on the window only, never into the
// work canvas.
constexpr char kPublisherCaption[] = "Vesperine Light by Ondrel";

// The caption font as LOGFONT fields.
constexpr LONG kCaptionHeight = 30;
constexpr LONG kCaptionWidth = 15;
constexpr LONG kCaptionWeight = 700;
constexpr char kCaptionFace[] = "Verdana";

// ---- Types -----------------------------------------------------------------------------------

// Where the canvas and the monitors lie in the full-screen window's client area. The canvas
// stays where it was captured when the displays change; what lies beyond it or on no monitor is
// painted black.
struct CanvasPlacement {
  POINT origin = {0, 0};           // canvas (0, 0) in client coordinates
  MonitorRect captionMonitor;      // the primary monitor in client coordinates
  HRGN offMonitors = nullptr;      // the client area on no monitor; null when there is none
  std::vector<MonitorRect> fills;  // the monitors in canvas pixels: where a fill may start
};

struct PreviewPictureHandles {
  HBITMAP bitmap = nullptr;  // bitmap resource kPreviewBitmapId
  HDC dc = nullptr;          // memory DC the bitmap is selected into for painting
};

// ---- Process-wide state ----------------------------------------------------------------------
// Written by SaverAnimationProc; the preview picture lives until the process ends.

extern UINT_PTR AnimationTimer;  // the running timer (always id 1), 0 when none runs
extern PreviewPictureHandles PreviewPicture;
extern CanvasPlacement CanvasOnScreen;  // full screen only; set at creation and on display changes

// ---- Functions -------------------------------------------------------------------------------

LRESULT CALLBACK SaverAnimationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
