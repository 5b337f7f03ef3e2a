// SaverAnimationProc on real windows, the real registry, GDI and GDI+: what creation sets up, what
// a timer tick does to the work canvas, the window and the timer, what the two paints put on the
// window, and what destruction leaves. Windows run without a message loop: ticks and paints are
// sent, and nothing else is dispatched, so the closing rules never end a test's window.
#include "animation/saver_animation_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "animation/canvas_win32.h"
#include "animation/saver_cycle.h"
#include "settings/settings_store.h"
#include "textures/texture_image.h"
#include "settings/texture_list.h"
#include "settings/user_message.h"
#include "shell/saver_startup_win32.h"
#include "shell/saver_window_win32.h"
#include "tests/unit/message_capture.h"
#include "tests/unit/picture_files.h"
#include "tests/win32/canvas_format.h"

namespace {

constexpr char kClassName[] = "VesperineAnimationTest";
constexpr int kTextureWidth = 8;
constexpr int kTextureHeight = 6;
constexpr COLORREF kPlainColor = RGB(30, 40, 50);

// The texture's pixel (x, y) as a COLORREF.
COLORREF TexturePixel(int x, int y) {
  return RGB(x * 30 + 15, y * 40 + 10, 200 - x * 20);
}

// A 24-bit BMP of kTextureWidth x kTextureHeight with TexturePixel's colours.
std::string WriteTextureFile(const char* name) {
  picture_files::Bmp bmp;
  bmp.width = kTextureWidth;
  bmp.height = kTextureHeight;
  const std::size_t rowSize = picture_files::DibRowSize(bmp.width, 24);
  bmp.rows.assign(rowSize * bmp.height, 0);
  for (int y = 0; y < bmp.height; ++y) {
    for (int x = 0; x < bmp.width; ++x) {
      const COLORREF color = TexturePixel(x, y);
      std::uint8_t* pixel = &bmp.rows[y * rowSize + x * 3];
      pixel[0] = GetBValue(color);
      pixel[1] = GetGValue(color);
      pixel[2] = GetRValue(color);
    }
  }
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  const std::string path = std::string(folder) + name;
  EXPECT_TRUE(picture_files::WriteFile(path, picture_files::EncodeBmp(bmp)));
  return path;
}

// The desktop's size, which the canvases take at creation.
RECT DesktopArea() {
  RECT area;
  GetClientRect(GetDesktopWindow(), &area);
  return area;
}

void FillWorkCanvas(COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  const RECT all = {0, 0, ScreenWidth, ScreenHeight};
  FillRect(WorkCanvas, &all, brush);
  DeleteObject(brush);
  GdiFlush();
}

// What the window shows: its pixels read back through its DC, as COLORREFs, row by row.
struct WindowPixels {
  explicit WindowPixels(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    width = client.right;
    height = client.bottom;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    HDC source = GetDC(window);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    ReleaseDC(window, source);
    GdiFlush();
    const auto* quads = static_cast<const std::uint32_t*>(bits);
    pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      const std::uint32_t q = quads[i];
      pixels[i] = RGB((q >> 16) & 0xFF, (q >> 8) & 0xFF, q & 0xFF);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
  }

  COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }

  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
};

// Waits up to `limit` ms for a WM_TIMER of the window; returns the ms it took, or -1.
int WaitForTimer(HWND window, DWORD limit) {
  const DWORD start = GetTickCount();
  MSG message;
  while (GetTickCount() - start < limit) {
    if (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
      EXPECT_EQ(message.wParam, kAnimationTimerId);
      return static_cast<int>(GetTickCount() - start);
    }
    Sleep(1);
  }
  return -1;
}

void DropTimerMessages(HWND window) {
  MSG message;
  while (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
  }
}

class SaverAnimation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = SaverAnimationProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    goodTexture_ = WriteTextureFile("vesperine_animation_texture.bmp");
  }

  static void TearDownTestSuite() { DeleteFileA(goodTexture_.c_str()); }

  void SetUp() override {
    SaverInstance = GetModuleHandleA(nullptr);
    IsPreview = TRUE;
    AnimationTimer = 0;
    ResetSaverCycle();
    ResetSaverSettings();
    ResetTextureList();
    ResetTextureImages();
  }

  void TearDown() override {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    MSG left;
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
    ResetTextureImages();
    ResetTextureList();
    ResetSaverSettings();
    RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyPath);
    IsPreview = FALSE;
  }

  // The settings that creation will load, in the real registry.
  static void StoreSettings(DWORD refreshTime, DWORD timeInterval,
                            const std::vector<std::string>& textures) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD colorDifference = 21;
    RegSetValueExA(key, "Refresh Time", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&refreshTime),
                   sizeof refreshTime);
    RegSetValueExA(key, "Time Interval", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&timeInterval),
                   sizeof timeInterval);
    RegSetValueExA(key, "Color Difference", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&colorDifference), sizeof colorDifference);
    std::string block;
    for (const std::string& path : textures)
      block += path + '\0';
    block += '\0';
    RegSetValueExA(key, "Texture", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(block.data()),
                   static_cast<DWORD>(block.size()));
    RegCloseKey(key);
  }

  // Shown without activation: under wine without a window manager, destroying an activated
  // window waits two seconds for a state change that never comes.
  void Create(int width, int height, bool visible = true) {
    window_ = CreateWindowExA(WS_EX_TOPMOST, kClassName, "Animation", WS_POPUP, 0, 0, width, height,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    if (visible) {
      SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    }
  }

  void Tick() { SendMessageA(window_, WM_TIMER, kAnimationTimerId, 0); }

  RECT UpdateArea() const {
    RECT area = {};
    GetUpdateRect(window_, &area, FALSE);
    return area;
  }

  // The window's pixels in `area` must be those of bitmap 114 drawn at (x, y) over black. The
  // reference is drawn by GDI on the window itself, so it goes through the same conversions to
  // the screen's format.
  void ExpectShows(int x, int y, const RECT& area) {
    const WindowPixels shown(window_);
    HBITMAP picture = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                      MAKEINTRESOURCEA(kPreviewBitmapId),
                                                      IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE));
    HDC pictureDc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(pictureDc, picture);
    HDC dc = GetDC(window_);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    BitBlt(dc, x, y, 80, 88, pictureDc, 0, 0, SRCCOPY);
    ReleaseDC(window_, dc);
    SelectObject(pictureDc, previous);
    DeleteDC(pictureDc);
    DeleteObject(picture);
    const WindowPixels expected(window_);
    int pictureLike = 0;
    for (int row = area.top; row < area.bottom; ++row) {
      for (int column = area.left; column < area.right; ++column) {
        ASSERT_EQ(shown.At(column, row), expected.At(column, row)) << column << "," << row;
        if (shown.At(column, row) != RGB(0, 0, 0)) ++pictureLike;
      }
    }
    // The picture is there, not just black on both sides.
    EXPECT_GT(pictureLike, (area.right - area.left) * (area.bottom - area.top) / 3);
  }

  static std::string goodTexture_;
  HWND window_ = nullptr;
  MessageCapture messages_;
};

std::string SaverAnimation::goodTexture_;

TEST_F(SaverAnimation, CreationCapturesLoadsAndStartsTimerOneAtTheTimeInterval) {
  StoreSettings(50000, 300, {goodTexture_, goodTexture_});
  const std::uint32_t before = static_cast<std::uint32_t>(std::time(nullptr));
  Create(152, 112, false);
  const std::uint32_t after = static_cast<std::uint32_t>(std::time(nullptr));

  EXPECT_EQ(WorkCanvasPixels.width, DesktopArea().right);
  EXPECT_EQ(WorkCanvasPixels.height, DesktopArea().bottom);
  BITMAP picture = {};
  ASSERT_NE(GetObjectA(PreviewPicture.bitmap, sizeof picture, &picture), 0);
  EXPECT_EQ(picture.bmWidth, 80);
  EXPECT_EQ(picture.bmHeight, 88);
  EXPECT_NE(PreviewPicture.dc, nullptr);
  EXPECT_EQ(SaverSettings.TimeInterval, 300);
  EXPECT_EQ(TextureSet.Count(), 2);
  EXPECT_TRUE(CapturedMessages.empty());
  // Seeded from the clock and not drawn from yet.
  EXPECT_GE(RandomState, before);
  EXPECT_LE(RandomState, after);

  EXPECT_EQ(AnimationTimer, kAnimationTimerId);
  const int firstTick = WaitForTimer(window_, 3000);
  EXPECT_GE(firstTick, 250);
}

// One fill, then the wipe: with "Refresh Time" equal to "Time Interval" the second tick switches.
TEST_F(SaverAnimation, TicksFillTheCanvasThenWipeItBackFromTheBottom) {
  StoreSettings(1000, 1000, {goodTexture_});
  IsPreview = FALSE;
  // One row short of the screen, so that wine does not take it for a full-screen window.
  const int height = DesktopArea().bottom;
  Create(200, height - 1);
  FillWorkCanvas(kPlainColor);

  ValidateRect(window_, nullptr);
  Tick();
  // A uniform canvas is one area: textured whole, tiled from the canvas origin.
  COLORREF tile[kTextureHeight][kTextureWidth];
  for (int y = 0; y < kTextureHeight; ++y) {
    for (int x = 0; x < kTextureWidth; ++x)
      tile[y][x] = canvas_format::AsCanvasStores(TexturePixel(x, y));
  }
  for (int y = 0; y < height; y += 3) {
    for (int x = 0; x < ScreenWidth; x += 5) {
      ASSERT_EQ(ReadPixel(WorkCanvasPixels, x, y), tile[y % kTextureHeight][x % kTextureWidth])
          << x << "," << y;
    }
  }
  EXPECT_EQ(AccumulatedFillTime, 1000);
  const RECT filled = UpdateArea();
  EXPECT_EQ(filled.top, 0);
  EXPECT_EQ(filled.bottom, height - 1);
  EXPECT_EQ(filled.right, 200);

  ValidateRect(window_, nullptr);
  DropTimerMessages(window_);
  Tick();
  EXPECT_EQ(AnimationPhase, CyclePhase::Wipe);
  const int bytes = static_cast<int>(DibRowBytes(ScreenWidth, WorkCanvasPixels.layout));
  auto rowRestored = [&](int y) {
    return std::memcmp(SurfaceRow(WorkCanvasPixels, y), SurfaceRow(DesktopSnapshotPixels, y),
                       bytes) == 0;
  };
  EXPECT_TRUE(rowRestored(height - 1));
  EXPECT_TRUE(rowRestored(height - 2));
  EXPECT_EQ(ReadPixel(WorkCanvasPixels, 0, height - 3),
            canvas_format::AsCanvasStores(TexturePixel(0, (height - 3) % kTextureHeight)));
  // Only the two restored rows are repainted (clipped to the client area).
  const RECT band = UpdateArea();
  EXPECT_EQ(band.left, 0);
  EXPECT_EQ(band.right, 200);
  EXPECT_EQ(band.top, height - 2);
  EXPECT_EQ(band.bottom, height - 1);
  // The timer now runs at 10 ms, far below the interval of 1000 ms.
  const int wipeTick = WaitForTimer(window_, 900);
  EXPECT_GE(wipeTick, 0);
  EXPECT_LT(wipeTick, 500);

  // The bands up to row 0; then the canvas is the desktop again.
  for (int band = height - 2; band >= 0; band -= 2)
    Tick();
  for (int y = 0; y < height; ++y)
    ASSERT_TRUE(rowRestored(y)) << "row " << y;
  EXPECT_EQ(AnimationPhase, CyclePhase::Wipe);
  Tick();
  EXPECT_EQ(AnimationPhase, CyclePhase::Fill);
  EXPECT_EQ(AnimationTimer, kAnimationTimerId);
}

TEST_F(SaverAnimation, PreviewPaintCentresBitmap114InThePaintRectangle) {
  StoreSettings(50000, 3500, {goodTexture_});
  Create(152, 112);
  UpdateWindow(window_);
  ExpectShows(36, 12, RECT{0, 0, 152, 112});

  // A paint of the top-left part only centres in that part: x (100 - 80) / 2, y pinned at 0.
  ValidateRect(window_, nullptr);
  const RECT part = {0, 0, 100, 80};
  InvalidateRect(window_, &part, FALSE);
  UpdateWindow(window_);
  ExpectShows(10, 0, part);

  // A window narrower and lower than the picture pins it to both edges.
  SetWindowPos(window_, nullptr, 0, 0, 60, 50, SWP_NOZORDER | SWP_NOMOVE);
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
  ExpectShows(0, 0, RECT{0, 0, 60, 50});
}

TEST_F(SaverAnimation, FullScreenPaintShowsTheCanvasAndTheCaptionAtTheTopRight) {
  StoreSettings(50000, 3500, {goodTexture_});
  IsPreview = FALSE;
  // One row short of the screen, so that wine does not take it for a full-screen window.
  Create(DesktopArea().right, DesktopArea().bottom - 1);
  FillWorkCanvas(kPlainColor);
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
  const WindowPixels shown(window_);

  // The caption's box, measured with the same font.
  LOGFONTA font = {};
  font.lfHeight = 30;
  font.lfWidth = 15;
  font.lfWeight = 700;
  font.lfCharSet = DEFAULT_CHARSET;
  std::strcpy(font.lfFaceName, "Verdana");
  HFONT captionFont = CreateFontIndirectA(&font);
  HDC measure = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(measure, captionFont);
  SIZE extent = {};
  GetTextExtentPoint32A(measure, kPublisherCaption, sizeof kPublisherCaption - 1, &extent);
  SelectObject(measure, previous);
  DeleteDC(measure);
  DeleteObject(captionFont);
  ASSERT_GT(extent.cx, 0);

  // The canvas colour as the window shows it: the bottom-left corner holds no caption.
  const COLORREF plain = shown.At(0, shown.height - 1);
  int left = ScreenWidth, right = -1, bottom = -1, white = 0;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) {
      const COLORREF color = shown.At(x, y);
      if (color == plain) continue;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y > bottom) bottom = y;
      if (color == RGB(255, 255, 255)) ++white;
    }
  }
  EXPECT_GT(white, 50);
  EXPECT_GE(left, ScreenWidth - extent.cx);
  EXPECT_LE(left, ScreenWidth - extent.cx + 10);
  EXPECT_GE(right, ScreenWidth - 10);
  EXPECT_LT(bottom, extent.cy);
  // Drawn on the window only: the canvas keeps no trace of it.
  const COLORREF canvasPlain = canvas_format::AsCanvasStores(kPlainColor);
  EXPECT_EQ(ReadPixel(WorkCanvasPixels, ScreenWidth - 5, 10), canvasPlain);
  EXPECT_EQ(ReadPixel(WorkCanvasPixels, ScreenWidth - extent.cx / 2, extent.cy / 2), canvasPlain);
}

TEST_F(SaverAnimation, DestructionStopsTheTimerFreesTheTexturesAndPostsQuit) {
  StoreSettings(50000, 3500, {goodTexture_});
  Create(152, 112, false);
  ASSERT_EQ(TextureSet.Count(), 1);
  DestroyWindow(window_);
  EXPECT_EQ(AnimationTimer, 0u);
  EXPECT_EQ(TextureSet.Count(), 0);
  MSG quit;
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace
