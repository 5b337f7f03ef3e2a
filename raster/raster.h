// Raster operations: the only way the fill engine and the animation cycle touch pixels.
//
// A Surface describes rows of pixels in memory in one of the layouts that GDI's device-independent
// bitmaps use. Native code backs it with a PixelBuffer; on Windows a DIB section's bits are wrapped
// the same way, so a pixel read is a memory load and a copy is a loop over rows, never a system
// call per pixel. This header is portable: it must not include <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// ---- Constants -------------------------------------------------------------------------------

// A colour as GDI's COLORREF holds it: red in bits 0-7, green in 8-15, blue in 16-23; bits 24-31
// take no part in any comparison.
using ColorRef = std::uint32_t;

// What ReadPixel returns for a point outside the surface (the same value as GDI's).
#ifndef CLR_INVALID
#define CLR_INVALID 0xFFFFFFFF
#endif

// ---- Types -----------------------------------------------------------------------------------

// How the pixels of a row are stored, matching the DIB formats GDI uses.
enum class PixelLayout : std::uint8_t {
  kIndexed1,  // colour-table indices, leftmost pixel in the most significant bits
  kIndexed4,
  kIndexed8,
  kRgb555,  // 16-bit little-endian words: blue in bits 0-4, green 5-9, red 10-14
  kRgb565,  // 16-bit little-endian words: blue in bits 0-4, green 5-10, red 11-15
  kBgr24,   // blue, green, red bytes
  kBgrx32,  // blue, green, red bytes and a fourth byte that reads and conversions ignore
};

// The red, green and blue masks of a 16-bit BI_BITFIELDS DIB that holds kRgb565 pixels.
constexpr std::uint32_t kRgb565Masks[3] = {0xF800, 0x07E0, 0x001F};

// A view of pixel rows owned elsewhere.
struct Surface {
  int width = 0;
  int height = 0;
  PixelLayout layout = PixelLayout::kBgrx32;
  std::ptrdiff_t pitch = 0;      // bytes from one row to the next row down; negative if bottom-up
  std::uint8_t* bits = nullptr;  // first byte of the top row
  const std::uint32_t* colorTable = nullptr;  // RGBQUAD entries (blue in bits 0-7), indexed only
  int colorCount = 0;  // entries in colorTable; an index past them reads as black
};

// An in-memory surface that owns its rows and colour table.
struct PixelBuffer {
  Surface surface;
  std::vector<std::uint8_t> storage;
  std::vector<std::uint32_t> colors;
};

// ---- Functions -------------------------------------------------------------------------------

int BitsPerPixel(PixelLayout layout);

// Bytes in one row of a DIB of this width and layout: padded to a multiple of 4. In 64 bits on
// every build: a declared width of 2^30 or more would wrap a 32-bit size_t.
std::int64_t DibRowBytes(int width, PixelLayout layout);

// Sizes `buffer` to width x height pixels of `layout`, cleared to 0 (black, or colour-table entry
// 0). Rows are stored top-down, or bottom-up like a DIB section with a positive height. Indexed
// layouts get a colour table of 2^bits entries, all black. Returns false, leaving `buffer` empty,
// when the size is not positive, overflows, or memory cannot be had.
bool AllocatePixelBuffer(PixelBuffer& buffer, int width, int height, PixelLayout layout,
                         bool bottomUp = false);

// The colour of pixel (x, y); CLR_INVALID for a point outside the surface. 16-bit channels are
// widened as GDI does (5-bit v becomes v << 3 | v >> 2, 6-bit v becomes v << 2 | v >> 4).
ColorRef ReadPixel(const Surface& surface, int x, int y);

// Pixel-exact copy of the width x height rectangle at (sx, sy) of `source` to (dx, dy) of
// `destination`, as BitBlt with SRCCOPY: no scaling or blending, converted from the source's layout
// to the destination's. The copy is clipped to both surfaces; pixels of the destination whose
// source lies outside the source surface are left as they are, and a width or height <= 0 copies
// nothing. Conversions go through the colour: 16-bit destinations keep the top 5 (or 6) bits of a
// channel; indexed ones take the nearest colour-table entry (smallest sum of squared channel
// differences, the lowest index among equals), or the same index when both surfaces have equal
// tables. The fourth byte of a 32-bit destination is 0 after a conversion but carries the source's
// after a 32-bit to 32-bit copy, which moves whole rows: no reader looks at it. `source` and
// `destination` may be the same surface, even with overlapping rectangles.
void CopyRect(Surface& destination, int dx, int dy, int width, int height, const Surface& source,
              int sx, int sy);

// A ColorRef as a 32-bit DIB pixel read as one value (blue in bits 0-7, red in 16-23), or such a
// pixel as a ColorRef: red and blue trade places, bits 24-31 are cleared.
constexpr std::uint32_t SwapRedBlue(std::uint32_t color) {
  return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

// Row y of a surface, for code that walks pixels itself (y must lie inside the surface).
inline std::uint8_t* SurfaceRow(const Surface& surface, int y) {
  return surface.bits + static_cast<std::ptrdiff_t>(y) * surface.pitch;
}
