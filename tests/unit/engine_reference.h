// Test support for the fill engine: pictures written as text and random pictures, on which the
// fast engine is checked against the plain model of fill_model.h.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raster/raster.h"
#include "tests/unit/fill_model.h"

namespace engine_test {

// ---- Pictures --------------------------------------------------------------------------------

// A PixelBuffer of `layout` from rows of characters, each character a colour of `palette`.
inline PixelBuffer TextPicture(const std::vector<std::string>& rows,
                               const std::map<char, ColorRef>& palette,
                               PixelLayout layout = PixelLayout::kBgrx32) {
  PixelBuffer buffer;
  const int height = static_cast<int>(rows.size());
  const int width = static_cast<int>(rows[0].size());
  EXPECT_TRUE(AllocatePixelBuffer(buffer, width, height, layout));
  PixelBuffer one;
  EXPECT_TRUE(AllocatePixelBuffer(one, 1, 1, PixelLayout::kBgrx32));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const ColorRef c = palette.at(rows[y][x]);
      // Written as a 32-bit pixel, then copied so that the layout converts.
      SetPixel32(one.surface, 0, 0, c);
      CopyRect(buffer.surface, x, y, 1, 1, one.surface, 0, 0);
    }
  }
  return buffer;
}

// Random 32-bit pictures of the kinds that exercise the engine: blocks of a few colours, noise
// close to the threshold, ramps, thin lines. The fourth byte is random, since nothing may read it.
inline PixelBuffer RandomPicture(std::mt19937& rng, int width, int height) {
  PixelBuffer buffer;
  EXPECT_TRUE(AllocatePixelBuffer(buffer, width, height, PixelLayout::kBgrx32));
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<ColorRef> colors;
  for (int i = 0; i < 2 + pick(3); ++i)
    colors.push_back(rng() & 0xFFFFFF);
  const int kind = pick(4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      ColorRef c = colors[0];
      if (kind == 1) {  // noise of up to +-12 per channel around two colours
        c = colors[pick(2)];
        ColorRef noisy = 0;
        for (int shift = 0; shift < 24; shift += 8) {
          int v = static_cast<int>((c >> shift) & 0xFF) + pick(25) - 12;
          v = v < 0 ? 0 : v > 255 ? 255 : v;
          noisy |= static_cast<ColorRef>(v) << shift;
        }
        c = noisy;
      } else if (kind == 2) {  // a ramp in red with steps of 19 to 22, folded at 255
        const int v = (x * (19 + (y / 3) % 4)) % 510;
        c = static_cast<ColorRef>(v < 256 ? v : 509 - v) | (colors[0] & 0xFFFF00);
      }
      SetPixel32(buffer.surface, x, y, c, static_cast<std::uint8_t>(rng()));
    }
  }
  // Blocks and lines of other colours on top.
  for (int i = pick(8); i > 0; --i) {
    const ColorRef c = colors[pick(static_cast<int>(colors.size()))];
    const int x0 = pick(width), y0 = pick(height);
    const int w = pick(3) == 0 ? 1 : 1 + pick(width), h = pick(3) == 0 ? 1 : 1 + pick(height);
    for (int y = y0; y < height && y < y0 + h; ++y) {
      for (int x = x0; x < width && x < x0 + w; ++x)
        SetPixel32(buffer.surface, x, y, c);
    }
  }
  return buffer;
}

}  // namespace engine_test
