// The image decoder seam bound to the GDI+ flat API of the system's gdiplus.dll. The library is
// loaded at the first start-up rather than linked, so a system without it (early Windows 9x and
// NT 4 came without GDI+) fails to start GDI+ and reports each texture, instead of failing to
// start the saver at all. It is the system's copy only: the side-by-side store's, which the
// manifest's dependency names, or the system folder's.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <new>
#include <string>

#include "process/system_files_win32.h"
#include "settings/ansi_text_win32.h"
#include "textures/image_decoder.h"
#include "textures/texture_image.h"

namespace {

namespace flat = Gdiplus::DllExports;

struct GdiplusApi {
  bool loaded = false;
  decltype(&Gdiplus::GdiplusStartup) startup = nullptr;
  decltype(&Gdiplus::GdiplusShutdown) shutdown = nullptr;
  decltype(&flat::GdipCreateBitmapFromFile) createBitmapFromFile = nullptr;
  decltype(&flat::GdipGetImagePixelFormat) getImagePixelFormat = nullptr;
  decltype(&flat::GdipGetImageHeight) getImageHeight = nullptr;
  decltype(&flat::GdipGetImageWidth) getImageWidth = nullptr;
  decltype(&flat::GdipGetImagePaletteSize) getImagePaletteSize = nullptr;
  decltype(&flat::GdipGetImagePalette) getImagePalette = nullptr;
  decltype(&flat::GdipBitmapLockBits) bitmapLockBits = nullptr;
  decltype(&flat::GdipBitmapUnlockBits) bitmapUnlockBits = nullptr;
  decltype(&flat::GdipCreateBitmapFromScan0) createBitmapFromScan0 = nullptr;
  decltype(&flat::GdipGetImageGraphicsContext) getImageGraphicsContext = nullptr;
  decltype(&flat::GdipDrawImageI) drawImageI = nullptr;
  decltype(&flat::GdipDeleteGraphics) deleteGraphics = nullptr;
  decltype(&flat::GdipDisposeImage) disposeImage = nullptr;
};

// Filled by the first start-up that finds gdiplus.dll; the library stays loaded until the process
// ends. Starting GDI+ is serialised by GdiplusState's lock.
GdiplusApi api;

bool LoadGdiplus() {
  if (api.loaded) return true;
  HMODULE module = LoadSystemLibrary("gdiplus.dll");
  if (!module) return false;
  GdiplusApi found;
  found.loaded = FindEntry(module, "GdiplusStartup", found.startup) &&
                 FindEntry(module, "GdiplusShutdown", found.shutdown) &&
                 FindEntry(module, "GdipCreateBitmapFromFile", found.createBitmapFromFile) &&
                 FindEntry(module, "GdipGetImagePixelFormat", found.getImagePixelFormat) &&
                 FindEntry(module, "GdipGetImageHeight", found.getImageHeight) &&
                 FindEntry(module, "GdipGetImageWidth", found.getImageWidth) &&
                 FindEntry(module, "GdipGetImagePaletteSize", found.getImagePaletteSize) &&
                 FindEntry(module, "GdipGetImagePalette", found.getImagePalette) &&
                 FindEntry(module, "GdipBitmapLockBits", found.bitmapLockBits) &&
                 FindEntry(module, "GdipBitmapUnlockBits", found.bitmapUnlockBits) &&
                 FindEntry(module, "GdipCreateBitmapFromScan0", found.createBitmapFromScan0) &&
                 FindEntry(module, "GdipGetImageGraphicsContext", found.getImageGraphicsContext) &&
                 FindEntry(module, "GdipDrawImageI", found.drawImageI) &&
                 FindEntry(module, "GdipDeleteGraphics", found.deleteGraphics) &&
                 FindEntry(module, "GdipDisposeImage", found.disposeImage);
  if (!found.loaded) {
    FreeLibrary(module);
    return false;
  }
  api = found;
  return true;
}

Gdiplus::GpBitmap* AsBitmap(DecodedImage image) {
  return static_cast<Gdiplus::GpBitmap*>(image);
}

}  // namespace

int DecoderStartup(std::uintptr_t* token) {
  *token = 0;
  if (!LoadGdiplus()) return kDecoderGenericError;
  Gdiplus::GdiplusStartupInput input;
  input.GdiplusVersion = 1;
  input.DebugEventCallback = nullptr;
  input.SuppressBackgroundThread = FALSE;
  input.SuppressExternalCodecs = FALSE;
  Gdiplus::GdiplusStartupOutput output = {};
  ULONG_PTR started = 0;
  int status = api.startup(&started, &input, &output);
  if (status == kDecoderOk && started == 0) status = kDecoderGenericError;
  if (status == kDecoderOk) *token = started;
  return status;
}

void DecoderShutdown(std::uintptr_t token) {
  if (api.loaded && token != 0) api.shutdown(token);
}

int DecoderCreateBitmapFromFile(const char* path, DecodedImage* image) {
  *image = nullptr;
  if (!api.loaded) return kDecoderGenericError;
  std::wstring wide;
  try {
    if (!AnsiToWide(path, wide)) return kDecoderInvalidParameter;
  } catch (const std::bad_alloc&) {
    return kDecoderOutOfMemory;
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
  int status = api.createBitmapFromFile(wide.c_str(), &bitmap);
  *image = bitmap;
  return status;
}

int DecoderGetPixelFormat(DecodedImage image, std::uint32_t* format) {
  if (!api.loaded) return kDecoderGenericError;
  Gdiplus::PixelFormat value = 0;
  int status = api.getImagePixelFormat(AsBitmap(image), &value);
  *format = static_cast<std::uint32_t>(value);
  return status;
}

int DecoderGetHeight(DecodedImage image, std::uint32_t* height) {
  if (!api.loaded) return kDecoderGenericError;
  UINT value = 0;
  int status = api.getImageHeight(AsBitmap(image), &value);
  *height = value;
  return status;
}

int DecoderGetWidth(DecodedImage image, std::uint32_t* width) {
  if (!api.loaded) return kDecoderGenericError;
  UINT value = 0;
  int status = api.getImageWidth(AsBitmap(image), &value);
  *width = value;
  return status;
}

int DecoderGetPaletteSize(DecodedImage image, int* size) {
  if (!api.loaded) return kDecoderGenericError;
  INT value = 0;
  int status = api.getImagePaletteSize(AsBitmap(image), &value);
  *size = value;
  return status;
}

int DecoderGetPalette(DecodedImage image, void* palette, int size) {
  if (!api.loaded) return kDecoderGenericError;
  return api.getImagePalette(AsBitmap(image), static_cast<Gdiplus::ColorPalette*>(palette), size);
}

int DecoderLockRows(DecodedImage image, int x, int y, int width, int height, std::uint32_t format,
                    DecoderLockedRows* rows) {
  *rows = DecoderLockedRows();
  if (!api.loaded) return kDecoderGenericError;
  Gdiplus::GpRect rect(x, y, width, height);
  Gdiplus::BitmapData data = {};
  int status = api.bitmapLockBits(AsBitmap(image), &rect, Gdiplus::ImageLockModeRead,
                                  static_cast<Gdiplus::PixelFormat>(format), &data);
  if (status != kDecoderOk) return status;
  rows->width = data.Width;
  rows->height = data.Height;
  rows->stride = data.Stride;
  rows->pixelFormat = static_cast<std::uint32_t>(data.PixelFormat);
  rows->scan0 = static_cast<std::uint8_t*>(data.Scan0);
  rows->reserved = data.Reserved;
  return status;
}

int DecoderUnlockRows(DecodedImage image, DecoderLockedRows* rows) {
  if (!api.loaded) return kDecoderGenericError;
  Gdiplus::BitmapData data = {};
  data.Width = rows->width;
  data.Height = rows->height;
  data.Stride = rows->stride;
  data.PixelFormat = static_cast<Gdiplus::PixelFormat>(rows->pixelFormat);
  data.Scan0 = rows->scan0;
  data.Reserved = rows->reserved;
  return api.bitmapUnlockBits(AsBitmap(image), &data);
}

int DecoderWrapRows(int width, int height, int stride, std::uint32_t format, std::uint8_t* scan0,
                    DecodedImage* wrapper) {
  *wrapper = nullptr;
  if (!api.loaded) return kDecoderGenericError;
  Gdiplus::GpBitmap* bitmap = nullptr;
  int status = api.createBitmapFromScan0(width, height, stride,
                                         static_cast<Gdiplus::PixelFormat>(format), scan0, &bitmap);
  *wrapper = bitmap;
  return status;
}

int DecoderDrawImage(DecodedImage target, DecodedImage source) {
  if (!api.loaded) return kDecoderGenericError;
  Gdiplus::GpGraphics* graphics = nullptr;
  int status = api.getImageGraphicsContext(AsBitmap(target), &graphics);
  if (status != kDecoderOk) return status;
  status = api.drawImageI(graphics, AsBitmap(source), 0, 0);
  api.deleteGraphics(graphics);
  return status;
}

int DecoderDisposeImage(DecodedImage image) {
  if (!api.loaded || !image) return kDecoderOk;
  return api.disposeImage(AsBitmap(image));
}
