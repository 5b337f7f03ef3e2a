// The GDI seam of the texture images: DIB sections, memory DCs and colour tables. Windows builds
// bind it to GDI32 (gdi_bitmap_win32.cpp); the portable binding (gdi_bitmap_memory.cpp) keeps
// bitmaps on the heap and DCs as records of what is selected into them, for the native tests and
// tools. Portable header: no <windows.h>.
#pragma once

#include <cstdint>

// ---- Constants -------------------------------------------------------------------------------

// biCompression values.
constexpr std::uint32_t kDibRgb = 0;        // BI_RGB
constexpr std::uint32_t kDibBitfields = 3;  // BI_BITFIELDS: 16-bit pixels laid out by colorMasks

// Entries in the colour table of a BITMAPINFO built by GdiCreateDibSection.
constexpr int kDibColorTableSize = 256;

// ---- Types -----------------------------------------------------------------------------------

using BitmapHandle = void*;     // HBITMAP
using DcHandle = void*;         // HDC
using GdiObjectHandle = void*;  // HGDIOBJ

// The fields of the BITMAPINFOHEADER that a texture's DIB section sets; every other field is 0.
struct DibHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;  // positive: rows stored bottom-up
  std::uint16_t bitCount = 0;
  std::uint32_t compression = kDibRgb;
  std::uint32_t colorMasks[3] = {};  // red, green, blue; with kDibBitfields only
};

// What GetObjectA reports in a DIBSECTION.
struct DibSectionInfo {
  std::int32_t width = 0;   // biWidth
  std::int32_t height = 0;  // biHeight, negative for a top-down section
  std::int32_t bitCount = 0;
  std::uint8_t* bits = nullptr;  // the first row in memory
};

// ---- Functions -------------------------------------------------------------------------------

// CreateDIBSection(NULL, info, DIB_RGB_COLORS, bits, NULL, 0) with a BITMAPINFO made of `header`
// and 256 black colour entries. Null on failure, with *bits null.
BitmapHandle GdiCreateDibSection(const DibHeader& header, void** bits);

// GetObjectA(bitmap, sizeof(DIBSECTION), ...). False when `bitmap` is no DIB section.
bool GdiReadDibSection(BitmapHandle bitmap, DibSectionInfo* info);

bool GdiDeleteObject(GdiObjectHandle object);

// CreateCompatibleDC(NULL): a memory DC compatible with the screen, or null.
DcHandle GdiCreateMemoryDC();

bool GdiDeleteDC(DcHandle dc);

// SelectObject: returns the object that `object` replaced, or null on failure.
GdiObjectHandle GdiSelectObject(DcHandle dc, GdiObjectHandle object);

// SetDIBColorTable on the DIB section selected into `dc`; `entries` are RGBQUAD values. Returns
// the number of entries set.
unsigned GdiSetDibColorTable(DcHandle dc, unsigned first, unsigned count,
                             const std::uint32_t* entries);
