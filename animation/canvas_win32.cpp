#include "animation/canvas_win32.h"

std::int32_t ScreenWidth = 0;
std::int32_t ScreenHeight = 0;
HDC WorkCanvas = nullptr;
HDC DesktopSnapshot = nullptr;
HBITMAP WorkCanvasBitmap = nullptr;
HBITMAP DesktopSnapshotBitmap = nullptr;
Surface WorkCanvasPixels;
Surface DesktopSnapshotPixels;

namespace {

constexpr DWORD kGreenMask565 = 0x07E0;

// BITMAPINFO with room for a full 8-bit colour table, or the three masks of BI_BITFIELDS.
struct CanvasBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

// Both canvases of an 8-bit screen share the system palette as their colour table; the Surfaces
// point here, so it lives as long as they do.
std::uint32_t PaletteTable[256];

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
    green = reinterpret_cast<const DWORD*>(info.colors)[1];
  }
  DeleteObject(probe);
  return green;
}

// The system palette in RGBQUAD order; false when the screen has none.
bool ReadSystemPalette(HDC screen) {
  PALETTEENTRY entries[256] = {};
  if (GetSystemPaletteEntries(screen, 0, 256, entries) == 0) return false;
  for (int i = 0; i < 256; ++i) {
    PaletteTable[i] = entries[i].peBlue | (entries[i].peGreen << 8) | (entries[i].peRed << 16);
  }
  return true;
}

PixelLayout ScreenLayout(HDC screen) {
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  const bool palette = bits <= 8 && (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0 &&
                       ReadSystemPalette(screen);
  return CanvasLayoutForScreen(bits, bits == 16 ? ScreenGreenMask(screen) : 0, palette);
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
  DWORD* masks = reinterpret_cast<DWORD*>(info.colors);
  if (layout == PixelLayout::kRgb565) {
    header.biCompression = BI_BITFIELDS;
    masks[0] = 0xF800, masks[1] = 0x07E0, masks[2] = 0x001F;
  } else if (layout == PixelLayout::kIndexed8) {
    header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i) {
      masks[i] = PaletteTable[i];
    }
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
  BitBlt(canvas, 0, 0, area.right, area.bottom, screen, 0, 0, SRCCOPY);
  pixels = Surface{};
  if (bitmap && bits) {
    pixels.width = width;
    pixels.height = height;
    pixels.layout = layout;
    pixels.pitch = static_cast<std::ptrdiff_t>(DibRowBytes(width, layout));
    pixels.bits = static_cast<std::uint8_t*>(bits);
    if (layout == PixelLayout::kIndexed8) {
      pixels.colorTable = PaletteTable;
      pixels.colorCount = 256;
    }
  }
  return canvas;
}

}  // namespace

PixelLayout CanvasLayoutForScreen(int bitsPerPixel, DWORD greenMask, bool palette) {
  if (bitsPerPixel == 16) {
    return greenMask == kGreenMask565 ? PixelLayout::kRgb565 : PixelLayout::kRgb555;
  }
  // A palette screen keeps its palette's colours in the canvas too, so what the engine reads after
  // a fill is what the screen can show. Every other depth is held in 32 bits, which keep each
  // colour exactly and are the engine's fastest layout.
  if (bitsPerPixel <= 8 && palette) return PixelLayout::kIndexed8;
  return PixelLayout::kBgrx32;
}

void CaptureCanvases() {
  HWND desktop = GetDesktopWindow();
  HDC screen = GetDC(desktop);
  RECT area = {};
  GetClientRect(desktop, &area);
  ScreenWidth = area.right;
  ScreenHeight = area.bottom;
  const PixelLayout layout = ScreenLayout(screen);
  WorkCanvas = CaptureCanvas(screen, layout, area, WorkCanvasBitmap, WorkCanvasPixels);
  DesktopSnapshot =
      CaptureCanvas(screen, layout, area, DesktopSnapshotBitmap, DesktopSnapshotPixels);
  ReleaseDC(desktop, screen);
  // GDI may batch its drawing; the engine reads the bits directly from here on.
  GdiFlush();
}
