// The image decoder seam: the few GDI+ flat calls that turn a texture file into pixels. Windows
// builds bind it to the system's gdiplus.dll (image_decoder_win32.cpp); the portable binding
// (image_decoder_stb.cpp) decodes PNG, JPEG, GIF and BMP with stb_image and answers in GDI+'s
// terms, for the native tests and tools. Portable header: no <windows.h>.
#pragma once

#include <cstdint>

// ---- Constants -------------------------------------------------------------------------------

// GDI+ Status values.
constexpr int kDecoderOk = 0;
constexpr int kDecoderGenericError = 1;
constexpr int kDecoderInvalidParameter = 2;
constexpr int kDecoderOutOfMemory = 3;
constexpr int kDecoderNotImplemented = 6;
constexpr int kDecoderWin32Error = 7;
constexpr int kDecoderWrongState = 8;
constexpr int kDecoderUnknownImageFormat = 13;

// GDI+ PixelFormat values: bits 0-7 an index, bits 8-15 the bits per pixel, above them flags.
constexpr std::uint32_t kPixelFormatIndexed = 0x00010000;
constexpr std::uint32_t kPixelFormatGdi = 0x00020000;
constexpr std::uint32_t kPixelFormatAlpha = 0x00040000;
constexpr std::uint32_t kPixelFormat1bppIndexed = 0x00030101;
constexpr std::uint32_t kPixelFormat4bppIndexed = 0x00030402;
constexpr std::uint32_t kPixelFormat8bppIndexed = 0x00030803;
constexpr std::uint32_t kPixelFormat16bppGrayScale = 0x00101004;
constexpr std::uint32_t kPixelFormat16bppRGB555 = 0x00021005;
constexpr std::uint32_t kPixelFormat16bppRGB565 = 0x00021006;
constexpr std::uint32_t kPixelFormat16bppARGB1555 = 0x00061007;
constexpr std::uint32_t kPixelFormat24bppRGB = 0x00021808;
constexpr std::uint32_t kPixelFormat32bppRGB = 0x00022009;
constexpr std::uint32_t kPixelFormat32bppARGB = 0x0026200A;
constexpr std::uint32_t kPixelFormat32bppPARGB = 0x000E200B;
constexpr std::uint32_t kPixelFormat48bppRGB = 0x0010300C;
constexpr std::uint32_t kPixelFormat64bppARGB = 0x0034400D;

// The header of a GDI+ ColorPalette; `count` ARGB entries (alpha in bits 24-31, red 16-23, green
// 8-15, blue 0-7) follow it.
constexpr int kDecoderPaletteHeaderBytes = 8;

// ---- Types -----------------------------------------------------------------------------------

using DecodedImage = void*;  // GpBitmap*

// A GDI+ BitmapData: the rows that a lock gives access to.
struct DecoderLockedRows {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::int32_t stride = 0;  // bytes from one row to the next row down
  std::uint32_t pixelFormat = 0;
  std::uint8_t* scan0 = nullptr;  // the top row
  std::uintptr_t reserved = 0;
};

// ---- Functions -------------------------------------------------------------------------------

// GdiplusStartup with GdiplusVersion 1, no debug callback, the background thread and external
// codecs not suppressed. Sets *token (never 0 on success).
int DecoderStartup(std::uintptr_t* token);
void DecoderShutdown(std::uintptr_t token);

// GdipCreateBitmapFromFile (no colour management) on `path`, a file name in the ANSI code page.
int DecoderCreateBitmapFromFile(const char* path, DecodedImage* image);

int DecoderGetPixelFormat(DecodedImage image, std::uint32_t* format);
int DecoderGetHeight(DecodedImage image, std::uint32_t* height);
int DecoderGetWidth(DecodedImage image, std::uint32_t* width);

// GdipGetImagePaletteSize and GdipGetImagePalette: the ColorPalette in bytes, then into `palette`.
int DecoderGetPaletteSize(DecodedImage image, int* size);
int DecoderGetPalette(DecodedImage image, void* palette, int size);

// GdipBitmapLockBits with ImageLockModeRead on the rectangle (x, y, width, height), converted to
// `format`, then GdipBitmapUnlockBits with the same `rows`.
int DecoderLockRows(DecodedImage image, int x, int y, int width, int height, std::uint32_t format,
                    DecoderLockedRows* rows);
int DecoderUnlockRows(DecodedImage image, DecoderLockedRows* rows);

// GdipCreateBitmapFromScan0: an image over rows that the caller owns and keeps alive until the
// wrapper is disposed. `stride` may be negative, with `scan0` at the top row.
int DecoderWrapRows(int width, int height, int stride, std::uint32_t format, std::uint8_t* scan0,
                    DecodedImage* wrapper);

// Draws `source` at (0, 0) of `target`, converting its pixels to the target's format:
// GdipGetImageGraphicsContext on `target`, GdipDrawImageI, GdipDeleteGraphics.
int DecoderDrawImage(DecodedImage target, DecodedImage source);

// GdipDisposeImage; null is allowed and does nothing.
int DecoderDisposeImage(DecodedImage image);
