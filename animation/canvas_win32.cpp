#include "animation/canvas_win32.h"

#include <algorithm>
#include <iterator>

#include "animation/desktop_wallpaper_win32.h"
#include "animation/monitors_win32.h"

std::int32_t ScreenWidth = 0;
std::int32_t ScreenHeight = 0;
POINT CanvasScreenOrigin = {0, 0};
HDC WorkCanvas = nullptr;
HDC DesktopSnapshot = nullptr;
HBITMAP WorkCanvasBitmap = nullptr;
HBITMAP DesktopSnapshotBitmap = nullptr;
Surface WorkCanvasPixels;
Surface DesktopSnapshotPixels;

namespace {

// BITMAPINFO with room for the three masks of BI_BITFIELDS.
struct CanvasBitmapInfo {
  BITMAPINFOHEADER header;
  DWORD masks[3];
};

// The masks of the screen's 16-bit format, read back from a bitmap compatible with it. The first
// GetDIBits fills in the header; the second, asked for BI_BITFIELDS, writes the masks.
DWORD ScreenGreenMask(HDC screen) {
  HBITMAP probe = CreateCompatibleBitmap(screen, 1, 1);
  CanvasBitmapInfo info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  GetDIBits(screen, probe, 0, 1, nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DWORD green = 0;
  if (info.header.biCompression == BI_BITFIELDS) {
    GetDIBits(screen, probe, 0, 1, nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    green = info.masks[1];
  }
  DeleteObject(probe);
  return green;
}

PixelLayout ScreenLayout(HDC screen) {
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  return CanvasLayoutForScreen(bits, bits == 16 ? ScreenGreenMask(screen) : 0);
}

CanvasBitmapInfo DescribeCanvas(PixelLayout layout, int width, int height) {
  CanvasBitmapInfo info = {};
  BITMAPINFOHEADER& header = info.header;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = -height;  // top-down: row 0 first, like a Surface with a positive pitch
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(BitsPerPixel(layout));
  header.biCompression = BI_RGB;
  if (layout == PixelLayout::kRgb565) {
    header.biCompression = BI_BITFIELDS;
    std::copy(std::begin(kRgb565Masks), std::end(kRgb565Masks), info.masks);
  }
  return info;
}

// A memory DC holding a DIB section of the screen's format, filled from the screen.
HDC CaptureCanvas(HDC screen, PixelLayout layout, const RECT& area, HBITMAP& bitmap,
                  Surface& pixels) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  HDC canvas = CreateCompatibleDC(screen);
  const CanvasBitmapInfo info = DescribeCanvas(layout, width, height);
  void* bits = nullptr;
  bitmap = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                            &bits, nullptr, 0);
  SelectObject(canvas, bitmap);
  BitBlt(canvas, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  pixels = Surface{};
  if (bitmap && bits) {
    pixels.width = width;
    pixels.height = height;
    pixels.layout = layout;
    pixels.pitch = static_cast<std::ptrdiff_t>(DibRowBytes(width, layout));
    pixels.bits = static_cast<std::uint8_t*>(bits);
  }
  return canvas;
}

// Frees a canvas of an earlier capture: a process that opens the saver window more than once gets
// new canvases each time and keeps no old ones.
void ReleaseCanvas(HDC& canvas, HBITMAP& bitmap, Surface& pixels) {
  if (canvas) DeleteDC(canvas);  // the bitmap is no longer selected anywhere after this
  if (bitmap) DeleteObject(bitmap);
  canvas = nullptr;
  bitmap = nullptr;
  pixels = Surface{};
}

}  // namespace

PixelLayout CanvasLayoutForScreen(int bitsPerPixel, DWORD greenMask) {
  if (bitsPerPixel == 16) {
    return greenMask == kRgb565Masks[1] ? PixelLayout::kRgb565 : PixelLayout::kRgb555;
  }
  // Every other depth is held in 32 bits: they keep each colour exactly and are the engine's
  // fastest layout. On a palette screen the capture reads each pixel's palette colour; the
  // textures keep their own colours in the canvas, and GDI maps them to the palette when it paints.
  return PixelLayout::kBgrx32;
}

void CaptureCanvases() {
  ReleaseCanvas(WorkCanvas, WorkCanvasBitmap, WorkCanvasPixels);
  ReleaseCanvas(DesktopSnapshot, DesktopSnapshotBitmap, DesktopSnapshotPixels);
  const MonitorSetup setup = ReadMonitorSetup();
  const RECT& area = setup.virtualScreen;
  // The screen's DC has the primary monitor's corner at (0, 0); the virtual screen may start left
  // of or above it.
  HDC screen = GetDC(nullptr);
  ScreenWidth = area.right - area.left;
  ScreenHeight = area.bottom - area.top;
  CanvasScreenOrigin = {area.left, area.top};
  const PixelLayout layout = ScreenLayout(screen);
  WorkCanvas = CaptureCanvas(screen, layout, area, WorkCanvasBitmap, WorkCanvasPixels);
  DesktopSnapshot =
      CaptureCanvas(screen, layout, area, DesktopSnapshotBitmap, DesktopSnapshotPixels);
  ReleaseDC(nullptr, screen);
  // GDI may batch its drawing; the engine reads the bits directly from here on.
  GdiFlush();
  // The secure desktop shows the saver a blank screen: paint what the user's desktop shows.
  if (OnSecureDesktop() && IsUniform(WorkCanvasPixels)) {
    PaintDesktopWallpaper(WorkCanvasPixels, Shifted(setup.monitors, -area.left, -area.top),
                          CanvasScreenOrigin);
    CopyRect(DesktopSnapshotPixels, 0, 0, ScreenWidth, ScreenHeight, WorkCanvasPixels, 0, 0);
  }
}
