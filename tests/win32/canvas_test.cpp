// The canvases on the real screen and real GDI: the capture copies what the screen shows, and the
// Surface over a canvas's DIB section reads and paints exactly what GDI reads and paints through
// the canvas's DC.
#include "animation/canvas_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/region_fill.h"
#include "tests/win32/canvas_format.h"

namespace {

constexpr int kPatternLeft = 40;
constexpr int kPatternTop = 30;
constexpr int kPatternWidth = 256;
constexpr int kPatternHeight = 160;
constexpr int kBlock = 16;

// A distinct colour for each 16x16 block of the pattern window; all channels stay apart from
// their neighbours' so that no two blocks look alike.
COLORREF BlockColor(int column, int row) {
  return RGB(column * 16 + 7, row * 24 + 11, (column * 5 + row * 3) * 9 % 256);
}

LRESULT CALLBACK PatternWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  for (int row = 0; row * kBlock < kPatternHeight; ++row) {
    for (int column = 0; column * kBlock < kPatternWidth; ++column) {
      HBRUSH brush = CreateSolidBrush(BlockColor(column, row));
      RECT block = {column * kBlock, row * kBlock, (column + 1) * kBlock, (row + 1) * kBlock};
      FillRect(dc, &block, brush);
      DeleteObject(brush);
    }
  }
  EndPaint(window, &paint);
  return 0;
}

// The colour as a bitmap compatible with the screen holds it: GDI's own rounding, on a 16-bit
// screen.
COLORREF AsScreenStores(COLORREF color) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  ReleaseDC(nullptr, screen);
  return canvas_format::StoredIn(bitmap, color);
}

// A palette screen shows the nearest palette colour of what was painted.
bool PaletteScreen() {
  HDC screen = GetDC(nullptr);
  const bool palette = GetDeviceCaps(screen, BITSPIXEL) <= 8;
  ReleaseDC(nullptr, screen);
  return palette;
}

void PumpMessagesFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

// Captures the canvases once for the whole suite, with a window of known blocks on the screen.
class Canvas : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PatternWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VesperineCanvasTestPattern";
    RegisterClassA(&windowClass);
    patternWindow_ = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "Pattern", WS_POPUP,
                                     kPatternLeft, kPatternTop, kPatternWidth, kPatternHeight,
                                     nullptr, nullptr, windowClass.hInstance, nullptr);
    // Not activated: wine without a window manager would take two seconds to destroy it.
    ShowWindow(patternWindow_, SW_SHOWNOACTIVATE);
    UpdateWindow(patternWindow_);
    PumpMessagesFor(300);
    CaptureCanvases();
  }

  static void TearDownTestSuite() { DestroyWindow(patternWindow_); }

  static HWND patternWindow_;
};

HWND Canvas::patternWindow_ = nullptr;

TEST_F(Canvas, CaptureTakesTheDesktopSizeAndWhatTheScreenShows) {
  RECT desktop;
  GetClientRect(GetDesktopWindow(), &desktop);
  EXPECT_EQ(ScreenWidth, desktop.right);
  EXPECT_EQ(ScreenHeight, desktop.bottom);
  ASSERT_GT(ScreenWidth, kPatternLeft + kPatternWidth);
  ASSERT_GT(ScreenHeight, kPatternTop + kPatternHeight);
  for (const Surface* canvas : {&WorkCanvasPixels, &DesktopSnapshotPixels}) {
    EXPECT_EQ(canvas->width, ScreenWidth);
    EXPECT_EQ(canvas->height, ScreenHeight);
  }

  // Inside the pattern: the colours painted, at the corners and the middle of every block. (A
  // palette screen shows palette colours instead: the screen's own reading is checked below.)
  HDC screen = GetDC(nullptr);
  const bool palette = PaletteScreen();
  for (int row = 0; row * kBlock < kPatternHeight; ++row) {
    for (int column = 0; column * kBlock < kPatternWidth; ++column) {
      const int x = kPatternLeft + column * kBlock, y = kPatternTop + row * kBlock;
      const COLORREF color = AsScreenStores(BlockColor(column, row));
      for (const POINT& p : {POINT{x, y}, POINT{x + 7, y + 8}, POINT{x + 15, y + 15}}) {
        if (palette) continue;
        ASSERT_EQ(ReadPixel(WorkCanvasPixels, p.x, p.y), color)
            << "work canvas at " << p.x << "," << p.y;
        ASSERT_EQ(ReadPixel(DesktopSnapshotPixels, p.x, p.y), color)
            << "snapshot at " << p.x << "," << p.y;
      }
    }
  }

  // Everywhere: what a bitmap compatible with the screen holds after its own copy of the screen.
  // (A 16-bit screen's compatible bitmaps need not share the screen's own 16-bit layout, so
  // GetPixel on the screen itself may round differently.) On a palette screen the canvas holds
  // the palette colours that the screen itself reads.
  HDC reference = CreateCompatibleDC(screen);
  HBITMAP referenceBitmap = CreateCompatibleBitmap(screen, ScreenWidth, ScreenHeight);
  SelectObject(reference, referenceBitmap);
  BitBlt(reference, 0, 0, ScreenWidth, ScreenHeight, screen, 0, 0, SRCCOPY);
  HDC truth = palette ? screen : reference;
  for (int y = 0; y < ScreenHeight; y += 7) {
    for (int x = 0; x < ScreenWidth; x += 5) {
      ASSERT_EQ(ReadPixel(WorkCanvasPixels, x, y), GetPixel(truth, x, y)) << x << "," << y;
    }
  }
  ReleaseDC(nullptr, screen);
  DeleteDC(reference);
  DeleteObject(referenceBitmap);
  // A still screen: both canvases hold the same rows, in memory of their own.
  ASSERT_NE(WorkCanvasPixels.bits, DesktopSnapshotPixels.bits);
  const auto bytes = static_cast<std::size_t>(DibRowBytes(ScreenWidth, WorkCanvasPixels.layout));
  for (int y = 0; y < ScreenHeight; ++y) {
    ASSERT_EQ(
        std::memcmp(SurfaceRow(WorkCanvasPixels, y), SurfaceRow(DesktopSnapshotPixels, y), bytes),
        0)
        << "row " << y;
  }
  EXPECT_EQ(ReadPixel(WorkCanvasPixels, -1, 0), CLR_INVALID);
  EXPECT_EQ(ReadPixel(WorkCanvasPixels, 0, ScreenHeight), CLR_INVALID);
}

TEST_F(Canvas, LayoutFollowsTheScreenFormat) {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  const int canvasBits = BitsPerPixel(WorkCanvasPixels.layout);
  // The run on a 16-bit screen says so: it must get a 16-bit GDI and 16-bit canvases, or it would
  // only repeat the 24-bit run.
  if (const char* expected = std::getenv("VESPERINE_EXPECT_SCREEN_BITS")) {
    ASSERT_EQ(bits, std::atoi(expected));
  }
  if (bits == 16) {
    EXPECT_EQ(canvasBits, 16);
  } else {
    EXPECT_EQ(WorkCanvasPixels.layout, PixelLayout::kBgrx32);
  }
}

// Engine and GDI see one picture: GDI draws through the DC and the Surface reads it; the Surface
// is written and GDI reads it. GetPixel is the reference for every pixel of the region.
TEST_F(Canvas, SurfaceAndDcReadAndWriteTheSamePixels) {
  const RECT band = {kPatternLeft - 8, kPatternTop - 8, kPatternLeft + 72, kPatternTop + 40};
  HBRUSH brush = CreateSolidBrush(RGB(200, 40, 90));
  RECT drawn = {kPatternLeft + 20, kPatternTop + 3, kPatternLeft + 50, kPatternTop + 9};
  FillRect(WorkCanvas, &drawn, brush);
  DeleteObject(brush);
  GdiFlush();
  for (int y = band.top; y < band.bottom; ++y) {
    for (int x = band.left; x < band.right; ++x) {
      ASSERT_EQ(ReadPixel(WorkCanvasPixels, x, y), GetPixel(WorkCanvas, x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(ReadPixel(WorkCanvasPixels, kPatternLeft + 20, kPatternTop + 3),
            canvas_format::AsCanvasStores(RGB(200, 40, 90)));

  // Engine writes: a copy from the snapshot puts the untouched picture back, and GDI sees it.
  CopyRect(WorkCanvasPixels, band.left, band.top, band.right - band.left, band.bottom - band.top,
           DesktopSnapshotPixels, band.left, band.top);
  for (int y = band.top; y < band.bottom; ++y) {
    for (int x = band.left; x < band.right; ++x) {
      ASSERT_EQ(GetPixel(WorkCanvas, x, y), GetPixel(DesktopSnapshot, x, y)) << x << "," << y;
    }
  }
}

// A texture as a GDI DIB section: 8-bit with a colour table, so that the fill also converts.
struct GdiTexture {
  GdiTexture(int width, int height) {
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colors[256];
    } info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;  // bottom-up, as texture images are
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i) {
      colors[i] = static_cast<std::uint32_t>(i * 0x010307 + 0x402010) & 0xFFFFFF;
      std::memcpy(&info.colors[i], &colors[i], 4);
    }
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                              nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    const std::ptrdiff_t rowBytes = (width + 3) / 4 * 4;
    surface.width = width;
    surface.height = height;
    surface.layout = PixelLayout::kIndexed8;
    surface.pitch = -rowBytes;
    surface.bits = static_cast<std::uint8_t*>(bits) + (height - 1) * rowBytes;
    surface.colorTable = colors;
    surface.colorCount = 256;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        SurfaceRow(surface, y)[x] = static_cast<std::uint8_t>((x * 7 + y * 13) & 0xFF);
    }
  }
  ~GdiTexture() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }

  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  Surface surface;
  std::uint32_t colors[256];
};

// FillRegion on the canvas Surface against the same fill made of GDI BitBlt pieces: on a plain
// rectangle set in a contrasting frame, the area is the rectangle, and tiling the texture over it
// from the canvas origin is one BitBlt per tile piece.
TEST_F(Canvas, FillThroughTheSurfaceEqualsTheFillMadeWithBitBlt) {
  const RECT frame = {100, 200, 260, 320};
  const RECT area = {110, 205, 247, 311};
  HBRUSH frameBrush = CreateSolidBrush(RGB(250, 250, 250));
  HBRUSH areaBrush = CreateSolidBrush(RGB(10, 60, 20));
  FillRect(WorkCanvas, &frame, frameBrush);
  FillRect(WorkCanvas, &area, areaBrush);
  DeleteObject(frameBrush);
  DeleteObject(areaBrush);

  // The reference: a bitmap of the canvas's format holding the same picture, the texture tiles
  // BitBlt'ed into it through GDI's own conversion.
  GdiTexture texture(23, 17);
  HDC expected = CreateCompatibleDC(nullptr);
  HBITMAP expectedBitmap = canvas_format::CreateLikeCanvas(ScreenWidth, ScreenHeight);
  SelectObject(expected, expectedBitmap);
  BitBlt(expected, 0, 0, ScreenWidth, ScreenHeight, WorkCanvas, 0, 0, SRCCOPY);
  for (int tileTop = area.top / 17 * 17; tileTop < area.bottom; tileTop += 17) {
    for (int tileLeft = area.left / 23 * 23; tileLeft < area.right; tileLeft += 23) {
      const int left = (std::max)(tileLeft, static_cast<int>(area.left));
      const int top = (std::max)(tileTop, static_cast<int>(area.top));
      const int right = (std::min)(tileLeft + 23, static_cast<int>(area.right));
      const int bottom = (std::min)(tileTop + 17, static_cast<int>(area.bottom));
      BitBlt(expected, left, top, right - left, bottom - top, texture.dc, left - tileLeft,
             top - tileTop, SRCCOPY);
    }
  }
  GdiFlush();

  ASSERT_EQ(FillRegion(WorkCanvasPixels, 21, 150, 250, texture.surface), FillResult::kFilled);
  for (int y = frame.top; y < frame.bottom; ++y) {
    for (int x = frame.left; x < frame.right; ++x) {
      ASSERT_EQ(GetPixel(WorkCanvas, x, y), GetPixel(expected, x, y)) << x << "," << y;
    }
  }
  DeleteDC(expected);
  DeleteObject(expectedBitmap);
  CopyRect(WorkCanvasPixels, 0, 0, ScreenWidth, ScreenHeight, DesktopSnapshotPixels, 0, 0);
}

}  // namespace
