// Colours as the canvases hold them, worked out by GDI alone: a 1 x 1 DIB section made with the
// WorkCanvas's own format is drawn into with SetPixel and read back with GetPixel.
#pragma once

#include <windows.h>

#include "animation/canvas_win32.h"

namespace canvas_format {

// BITMAPINFO with room for the masks of BI_BITFIELDS.
struct DibInfo {
  BITMAPINFOHEADER header;
  DWORD masks[3];
};

// A width x height DIB section of the WorkCanvas's format (after CaptureCanvases).
inline HBITMAP CreateLikeCanvas(int width, int height) {
  DIBSECTION section = {};
  GetObjectA(WorkCanvasBitmap, sizeof section, &section);
  DibInfo info = {};
  info.header = section.dsBmih;
  info.header.biWidth = width;
  info.header.biHeight = -height;
  info.header.biSizeImage = 0;
  for (int i = 0; i < 3; ++i)
    info.masks[i] = section.dsBitfields[i];
  void* bits = nullptr;
  return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                          nullptr, 0);
}

// The colour as a 1 x 1 `bitmap` holds it after GDI draws it there; the bitmap is deleted.
inline COLORREF StoredIn(HBITMAP bitmap, COLORREF color) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  SetPixelV(dc, 0, 0, color);
  const COLORREF stored = GetPixel(dc, 0, 0);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return stored;
}

inline COLORREF AsCanvasStores(COLORREF color) {
  return StoredIn(CreateLikeCanvas(1, 1), color);
}

}  // namespace canvas_format
