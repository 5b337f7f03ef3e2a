// The canvases and textures of the fill benchmarks, shared by the native benchmarks and the web
// tree's benchmark page, so that both time the same pixels.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "raster/raster.h"

// ---- Constants -------------------------------------------------------------------------------

constexpr int kBenchThreshold = 21;

// ---- Functions -------------------------------------------------------------------------------

inline PixelBuffer BenchCanvas(int width, int height) {
  PixelBuffer buffer;
  if (!AllocatePixelBuffer(buffer, width, height, PixelLayout::kBgrx32)) std::abort();
  return buffer;
}

inline void BenchPut(Surface& s, int x, int y, std::uint32_t bgr) {
  std::memcpy(SurfaceRow(s, y) + static_cast<std::ptrdiff_t>(x) * 4, &bgr, 4);
}

inline void BenchFillWith(Surface& s, std::uint32_t bgr) {
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x)
      BenchPut(s, x, y, bgr);
  }
}

inline PixelBuffer SolidTexture(std::uint32_t bgr) {
  PixelBuffer texture = BenchCanvas(64, 64);
  BenchFillWith(texture.surface, bgr);
  return texture;
}

inline PixelBuffer PatternTexture() {
  PixelBuffer texture = BenchCanvas(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x)
      BenchPut(texture.surface, x, y, 0x203040u + ((x * 4) << 8) + y * 4);
  }
  return texture;
}

// Neighbours differ by the threshold minus one in red, folding back at the top, so the whole
// canvas is one area although its colours span the full range. Filled from its centre.
inline PixelBuffer RampPicture(int width, int height) {
  PixelBuffer picture = BenchCanvas(width, height);
  const int step = kBenchThreshold - 1;
  const int levels = 255 / step;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int phase = x % (2 * levels);
      const int level = phase <= levels ? phase : 2 * levels - phase;
      BenchPut(picture.surface, x, y,
               0x005030u + static_cast<std::uint32_t>(level * step) * 0x10000u);
    }
  }
  return picture;
}

// One-pixel corridors in the even columns, walls in the odd ones opening alternately at the
// bottom and the top: one serpentine area of half the canvas. Filled from (0, 0).
inline PixelBuffer MazePicture(int width, int height) {
  PixelBuffer picture = BenchCanvas(width, height);
  BenchFillWith(picture.surface, 0x202020);
  for (int x = 1; x < width; x += 2) {
    const int gap = (x / 2) % 2 == 0 ? height - 1 : 0;
    for (int y = 0; y < height; ++y) {
      if (y != gap) BenchPut(picture.surface, x, y, 0xE0E0E0);
    }
  }
  return picture;
}
