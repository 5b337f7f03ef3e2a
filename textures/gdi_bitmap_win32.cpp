// The GDI seam bound to GDI32.
#include <windows.h>

#include <cstring>

#include "textures/gdi_bitmap.h"

namespace {

// A BITMAPINFO with room for the whole colour table (or the three masks of BI_BITFIELDS).
struct DibInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[kDibColorTableSize];
};

}  // namespace

BitmapHandle GdiCreateDibSection(const DibHeader& header, void** bits) {
  *bits = nullptr;
  DibInfo info;
  std::memset(&info, 0, sizeof info);
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = header.width;
  info.header.biHeight = header.height;
  info.header.biPlanes = 1;
  info.header.biBitCount = header.bitCount;
  info.header.biCompression = header.compression;
  if (header.compression == kDibBitfields) {
    std::memcpy(info.colors, header.colorMasks, sizeof header.colorMasks);
  }
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    bits, nullptr, 0);
  if (!bitmap) *bits = nullptr;
  return bitmap;
}

bool GdiReadDibSection(BitmapHandle bitmap, DibSectionInfo* info) {
  DIBSECTION section;
  if (GetObjectA(static_cast<HBITMAP>(bitmap), sizeof section, &section) != sizeof section) {
    return false;
  }
  info->width = section.dsBmih.biWidth;
  info->height = section.dsBmih.biHeight;
  info->bitCount = section.dsBmih.biBitCount;
  info->bits = static_cast<std::uint8_t*>(section.dsBm.bmBits);
  return true;
}

bool GdiDeleteObject(GdiObjectHandle object) {
  return DeleteObject(static_cast<HGDIOBJ>(object)) != FALSE;
}

DcHandle GdiCreateMemoryDC() {
  return CreateCompatibleDC(nullptr);
}

bool GdiDeleteDC(DcHandle dc) {
  return DeleteDC(static_cast<HDC>(dc)) != FALSE;
}

GdiObjectHandle GdiSelectObject(DcHandle dc, GdiObjectHandle object) {
  return SelectObject(static_cast<HDC>(dc), static_cast<HGDIOBJ>(object));
}

unsigned GdiSetDibColorTable(DcHandle dc, unsigned first, unsigned count,
                             const std::uint32_t* entries) {
  static_assert(sizeof(RGBQUAD) == sizeof(std::uint32_t), "an RGBQUAD is one 32-bit value");
  return SetDIBColorTable(static_cast<HDC>(dc), first, count,
                          reinterpret_cast<const RGBQUAD*>(entries));
}
