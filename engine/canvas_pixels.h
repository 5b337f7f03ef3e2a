// Pixel access for the engine's hot loops.
//
// Every engine operation is written once, as a template over one of these readers. Raw32Pixels
// reads a 32-bit canvas straight from its rows; AnyPixels goes through ReadPixel and serves every
// other layout. Raw32Pixels keeps each pixel's blue, green and red bytes in memory order, so red
// and blue trade places compared with a ColorRef. The distance is a sum over channels, so it does
// not see the swap; only colours handed in from outside need converting (FromColorRef).
#pragma once

#include <cstdint>
#include <cstring>

#include "raster/raster.h"
#include "engine/color_span.h"

namespace engine_detail {

struct Raw32Pixels {
  explicit Raw32Pixels(const Surface& surface)
      : bits(surface.bits), pitch(surface.pitch), width(surface.width), height(surface.height) {}

  const std::uint8_t* Row(int y) const { return bits + static_cast<std::ptrdiff_t>(y) * pitch; }

  // (x, y) inside the canvas.
  std::uint32_t In(int x, int y) const {
    std::uint32_t value;
    std::memcpy(&value, Row(y) + static_cast<std::ptrdiff_t>(x) * 4, 4);
    return value & 0x00FFFFFFu;
  }

  // Any point; outside the canvas it reads as CLR_INVALID, like ReadPixel.
  std::uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    return In(x, y);
  }

  static std::uint32_t FromColorRef(ColorRef color) { return SwapRedBlue(color); }

  const std::uint8_t* bits;
  std::ptrdiff_t pitch;
  int width;
  int height;
};

struct AnyPixels {
  explicit AnyPixels(const Surface& surface)
      : surface(surface), width(surface.width), height(surface.height) {}

  std::uint32_t In(int x, int y) const { return ReadPixel(surface, x, y); }
  std::uint32_t At(int x, int y) const { return ReadPixel(surface, x, y); }
  static std::uint32_t FromColorRef(ColorRef color) { return color; }

  const Surface& surface;
  int width;
  int height;
};

// The channel-wise distance of two pixels of the same reader (or two ColorRefs).
inline int Distance(std::uint32_t a, std::uint32_t b) {
  const int red = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
  const int green = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
  const int blue = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
  return (red < 0 ? -red : red) + (green < 0 ? -green : green) + (blue < 0 ? -blue : blue);
}

inline bool Similar(std::uint32_t a, std::uint32_t b, int threshold) {
  return Distance(a, b) < threshold;
}

// The span of row y around column x; the walks stop at the first pair of neighbours that is not
// similar, or at the canvas edge. Each interior pixel is read once.
template <typename Pixels>
Span SpanAround(const Pixels& pixels, int threshold, int x, int y) {
  int left = x;
  std::uint32_t right_neighbour = pixels.In(x, y);
  while (left > 0) {
    const std::uint32_t pixel = pixels.In(left - 1, y);
    if (!Similar(pixel, right_neighbour, threshold)) break;
    right_neighbour = pixel;
    --left;
  }
  int right = x;
  std::uint32_t left_neighbour = pixels.In(x, y);
  while (right < pixels.width - 1) {
    const std::uint32_t pixel = pixels.In(right + 1, y);
    if (!Similar(left_neighbour, pixel, threshold)) break;
    left_neighbour = pixel;
    ++right;
  }
  return Span{left, right, y};
}

// Runs `body` with the fastest reader that serves this canvas.
template <typename Body>
auto WithPixels(const Surface& canvas, Body&& body) {
  if (canvas.layout == PixelLayout::kBgrx32) return body(Raw32Pixels(canvas));
  return body(AnyPixels(canvas));
}

}  // namespace engine_detail
