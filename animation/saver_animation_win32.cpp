#include "animation/saver_animation_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "animation/canvas_win32.h"
#include "animation/monitors_win32.h"
#include "animation/saver_cycle.h"
#include "engine/region_fill.h"
#include "settings/settings_store.h"
#include "textures/texture_image.h"
#include "process/saver_process_win32.h"

UINT_PTR AnimationTimer = 0;
PreviewPictureHandles PreviewPicture;
CanvasPlacement CanvasOnScreen;

namespace {

FillResult FillWithTexture(int x, int y, int textureIndex) {
  TextureImage* image = TextureSet.At(textureIndex);
  if (!image) return FillResult::kFilled;
  return FillWithImage(WorkCanvasPixels, SaverSettings.ColorDifference, x, y, *image);
}

void RestartAnimationTimer(HWND window, int period) {
  KillTimer(window, AnimationTimer);
  AnimationTimer = SetTimer(window, kAnimationTimerId, static_cast<UINT>(period), nullptr);
}

// A wipe tick changes two rows: repainting only those shows the same as a full repaint (the
// caption is redrawn, clipped, over them) at a fraction of the cost. A preview centres its
// picture in the paint rectangle, so it is always invalidated whole.
void InvalidateChangedRows(HWND window, const TickOutcome& outcome) {
  RECT client;
  GetClientRect(window, &client);
  const bool allRows = outcome.firstDirtyRow <= 0 && outcome.lastDirtyRow >= ScreenHeight - 1;
  if (IsPreview || allRows) {
    InvalidateRect(window, nullptr, FALSE);
    return;
  }
  const LONG top = CanvasOnScreen.origin.y;
  const RECT rows = {0, top + outcome.firstDirtyRow, client.right, top + outcome.lastDirtyRow + 1};
  InvalidateRect(window, &rows, FALSE);
}

void FillBlack(HDC dc, LONG left, LONG top, LONG right, LONG bottom) {
  // FillRect would paint a reversed rectangle too.
  if (right <= left || bottom <= top) return;
  const RECT area = {left, top, right, bottom};
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

// What lies outside the copied picture (a window larger than the canvas or the preview picture)
// is painted black, the class's background.
void BlackenAround(HDC dc, const RECT& paint, const RECT& picture) {
  FillBlack(dc, paint.left, paint.top, paint.right, picture.top);
  FillBlack(dc, paint.left, picture.bottom, paint.right, paint.bottom);
  const LONG top = (std::max)(paint.top, picture.top);
  const LONG bottom = (std::min)(paint.bottom, picture.bottom);
  FillBlack(dc, paint.left, top, picture.left, bottom);
  FillBlack(dc, picture.right, top, paint.right, bottom);
}

void PaintPreview(HDC dc, const RECT& paint) {
  BITMAP picture = {};
  GetObjectA(PreviewPicture.bitmap, sizeof picture, &picture);
  SelectObject(PreviewPicture.dc, PreviewPicture.bitmap);
  int x = (paint.right - picture.bmWidth) / 2;
  int y = (paint.bottom - picture.bmHeight) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  BitBlt(dc, x, y, paint.right, paint.bottom, PreviewPicture.dc, 0, 0, SRCCOPY);
  BlackenAround(dc, paint, RECT{x, y, x + picture.bmWidth, y + picture.bmHeight});
}

HFONT CreateCaptionFont() {
  LOGFONTA font = {};
  font.lfHeight = kCaptionHeight;
  font.lfWidth = kCaptionWidth;
  font.lfWeight = kCaptionWeight;
  font.lfCharSet = DEFAULT_CHARSET;
  std::strcpy(font.lfFaceName, kCaptionFace);
  return CreateFontIndirectA(&font);
}

void PaintFullScreen(HDC dc, const RECT& paint) {
  HFONT captionFont = CreateCaptionFont();
  // Only the paint rectangle: what lies outside it is clipped away anyway.
  const POINT origin = CanvasOnScreen.origin;
  BitBlt(dc, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top, WorkCanvas,
         paint.left - origin.x, paint.top - origin.y, SRCCOPY);
  BlackenAround(dc, paint,
                RECT{origin.x, origin.y, origin.x + ScreenWidth, origin.y + ScreenHeight});
  if (CanvasOnScreen.offMonitors)
    FillRgn(dc, CanvasOnScreen.offMonitors, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HGDIOBJ previousFont = SelectObject(dc, captionFont);
  SetTextColor(dc, RGB(255, 255, 255));
  const int length = static_cast<int>(sizeof kPublisherCaption - 1);
  SIZE extent = {};
  GetTextExtentPoint32A(dc, kPublisherCaption, length, &extent);
  SetBkMode(dc, TRANSPARENT);
  const MonitorRect& primary = CanvasOnScreen.captionMonitor;
  TextOutA(dc, primary.right - extent.cx, primary.top, kPublisherCaption, length);
  SelectObject(dc, previousFont);
  DeleteObject(captionFont);
}

// Places the canvas and the monitors in the window as it lies on the screen now.
void PlaceCanvas(HWND window) {
  const MonitorSetup setup = ReadMonitorSetup();
  POINT client = {0, 0};
  ClientToScreen(window, &client);
  CanvasPlacement& placed = CanvasOnScreen;
  placed.origin = {CanvasScreenOrigin.x - client.x, CanvasScreenOrigin.y - client.y};
  placed.captionMonitor = Shifted(setup.primary, -client.x, -client.y);
  placed.fills = Shifted(setup.monitors, -CanvasScreenOrigin.x, -CanvasScreenOrigin.y);
  if (placed.offMonitors) DeleteObject(placed.offMonitors);
  // Everything the window may ever show, whatever its size is at this moment.
  placed.offMonitors = CreateRectRgn(0, 0, 0x7FFF, 0x7FFF);
  int kind = NULLREGION;
  for (const MonitorRect& m : Shifted(setup.monitors, -client.x, -client.y)) {
    HRGN monitor = CreateRectRgn(m.left, m.top, m.right, m.bottom);
    kind = CombineRgn(placed.offMonitors, placed.offMonitors, monitor, RGN_DIFF);
    DeleteObject(monitor);
  }
  if (kind == NULLREGION) {
    DeleteObject(placed.offMonitors);
    placed.offMonitors = nullptr;
  }
}

LRESULT OnDisplayChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsPreview) {
    PlaceCanvas(window);
    InvalidateRect(window, nullptr, FALSE);
  }
  return DefaultSaverProc(window, message, wParam, lParam);
}

LRESULT OnCreate(HWND window, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = DefaultSaverProc(window, WM_CREATE, wParam, lParam);
  CaptureCanvases();
  if (IsPreview) {
    // A preview fills the whole canvas, however the screen is laid out, and never shows it.
    if (CanvasOnScreen.offMonitors) DeleteObject(CanvasOnScreen.offMonitors);
    CanvasOnScreen = CanvasPlacement{};
  } else {
    PlaceCanvas(window);
  }
  // A window opened earlier in this process leaves its preview picture behind: free it.
  if (PreviewPicture.dc) DeleteDC(PreviewPicture.dc);
  if (PreviewPicture.bitmap) DeleteObject(PreviewPicture.bitmap);
  PreviewPicture.dc = CreateCompatibleDC(nullptr);
  PreviewPicture.bitmap = static_cast<HBITMAP>(LoadImageA(
      SaverInstance, MAKEINTRESOURCEA(kPreviewBitmapId), IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE));
  LoadSettings();
  LoadTextureImages();
  SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
  AnimationTimer =
      SetTimer(window, kAnimationTimerId, static_cast<UINT>(SaverSettings.TimeInterval), nullptr);
  return result;
}

LRESULT OnTimer(HWND window) {
  // The engine reads and writes the bits directly: whatever GDI still holds back goes first.
  GdiFlush();
  const CycleSettings settings = {SaverSettings.RefreshTime, SaverSettings.TimeInterval,
                                  SaverSettings.ColorDifference};
  const TickOutcome outcome =
      AnimationTick(WorkCanvasPixels, DesktopSnapshotPixels, settings, TextureSet.Count(),
                    FillWithTexture, CanvasOnScreen.fills);
  if (outcome.restartTimer) RestartAnimationTimer(window, outcome.timerPeriod);
  if (outcome.repaint) InvalidateChangedRows(window, outcome);
  return 0;
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (IsPreview) {
    PaintPreview(dc, paint.rcPaint);
  } else {
    PaintFullScreen(dc, paint.rcPaint);
  }
  EndPaint(window, &paint);
  return 0;
}

LRESULT OnDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = DefaultSaverProc(window, WM_DESTROY, wParam, lParam);
  if (AnimationTimer != 0) {
    KillTimer(window, AnimationTimer);
    AnimationTimer = 0;
  }
  TextureSet.DestroyImages();
  PostQuitMessage(0);
  return result;
}

}  // namespace

LRESULT CALLBACK SaverAnimationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, wParam, lParam);
    case WM_TIMER:
      return OnTimer(window);
    case WM_PAINT:
      return OnPaint(window);
    case WM_DESTROY:
      return OnDestroy(window, wParam, lParam);
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
      return OnDisplayChange(window, message, wParam, lParam);
    default:
      return DefaultSaverProc(window, message, wParam, lParam);
  }
}
