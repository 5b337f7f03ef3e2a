#include "raster/raster.h"

#include <climits>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace {

constexpr PixelLayout kLayouts[] = {
    PixelLayout::kIndexed1, PixelLayout::kIndexed4, PixelLayout::kIndexed8, PixelLayout::kRgb555,
    PixelLayout::kRgb565,   PixelLayout::kBgr24,    PixelLayout::kBgrx32};

PixelBuffer Make(PixelLayout layout, int width, int height, bool bottomUp = false) {
  PixelBuffer buffer;
  EXPECT_TRUE(AllocatePixelBuffer(buffer, width, height, layout, bottomUp));
  return buffer;
}

// Writes bytes into rows already allocated, so that surface.bits stays valid.
void Fill(PixelBuffer& buffer, std::initializer_list<std::uint8_t> bytes) {
  ASSERT_EQ(bytes.size(), buffer.storage.size());
  std::copy(bytes.begin(), bytes.end(), buffer.storage.begin());
}

void Randomise(PixelBuffer& buffer, std::mt19937& rng) {
  for (auto& byte : buffer.storage) {
    byte = static_cast<std::uint8_t>(rng());
  }
  for (auto& entry : buffer.colors) {
    entry = rng();  // reserved byte included: must be ignored
  }
}

// What a destination of `buffer`'s layout makes of colour `c`.
ColorRef Represent(const PixelBuffer& buffer, ColorRef c) {
  const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  auto five = [](int v) { return ((v >> 3) << 3) | (v >> 5); };
  switch (buffer.surface.layout) {
    case PixelLayout::kRgb555:
      return five(r) | five(g) << 8 | five(b) << 16;
    case PixelLayout::kRgb565:
      return five(r) | (((g >> 2) << 2) | (g >> 6)) << 8 | five(b) << 16;
    case PixelLayout::kBgr24:
    case PixelLayout::kBgrx32:
      return c;
    default:
      break;
  }
  long best = LONG_MAX;
  ColorRef nearest = 0;
  for (std::uint32_t e : buffer.colors) {
    const long dr = long((e >> 16) & 0xFF) - r, dg = long((e >> 8) & 0xFF) - g;
    const long db = long(e & 0xFF) - b, d = dr * dr + dg * dg + db * db;
    if (d < best) best = d, nearest = ((e >> 16) & 0xFF) | (e & 0xFF00) | (e & 0xFF) << 16;
  }
  return nearest;
}

TEST(RasterAllocate, LaysOutRowsLikeADibAndRejectsBadSizes) {
  EXPECT_EQ(DibRowBytes(33, PixelLayout::kIndexed1), 8);
  EXPECT_EQ(DibRowBytes(9, PixelLayout::kIndexed4), 8);
  EXPECT_EQ(DibRowBytes(3, PixelLayout::kBgr24), 12);
  EXPECT_EQ(DibRowBytes(3, PixelLayout::kRgb565), 8);
  // Also on a 32-bit build, where a size_t would wrap to a few bytes.
  EXPECT_EQ(DibRowBytes(INT_MAX, PixelLayout::kBgrx32), 8589934588);
  EXPECT_EQ(DibRowBytes(1 << 30, PixelLayout::kBgr24), 3221225472);

  PixelBuffer up = Make(PixelLayout::kIndexed4, 9, 3, true);
  EXPECT_EQ(up.surface.pitch, -8);
  EXPECT_EQ(SurfaceRow(up.surface, 2), up.storage.data());
  EXPECT_EQ(up.surface.colorCount, 16);
  EXPECT_EQ(up.surface.colorTable, up.colors.data());
  for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-4, 5}, {65536, 8193}}) {
    EXPECT_FALSE(AllocatePixelBuffer(up, w, h, PixelLayout::kBgrx32));
    EXPECT_TRUE(up.storage.empty() && up.colors.empty() && up.surface.bits == nullptr);
  }
}

TEST(RasterReadPixel, DecodesEachLayoutAndRejectsOutsidePoints) {
  PixelBuffer b = Make(PixelLayout::kIndexed1, 10, 1);
  Fill(b, {0b10110000, 0b01000000, 0, 0});
  b.colors[1] = 0xFFAABBCC;
  const ColorRef one = 0xCCBBAA;
  EXPECT_EQ(ReadPixel(b.surface, 0, 0), one);
  EXPECT_EQ(ReadPixel(b.surface, 1, 0), 0u);
  EXPECT_EQ(ReadPixel(b.surface, 3, 0), one);
  EXPECT_EQ(ReadPixel(b.surface, 9, 0), one);
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {10, 0}, {0, 1}, {INT_MIN, INT_MAX}}) {
    EXPECT_EQ(ReadPixel(b.surface, x, y), CLR_INVALID);
  }

  b = Make(PixelLayout::kIndexed4, 2, 1);
  b.storage[0] = 0x3A;
  b.colors[3] = 0x030303;
  b.colors[10] = 0x0A0A0A;
  EXPECT_EQ(ReadPixel(b.surface, 0, 0), 0x030303u);
  EXPECT_EQ(ReadPixel(b.surface, 1, 0), 0x0A0A0Au);
  b.surface.colorCount = 10;  // index 10 is now past the table
  EXPECT_EQ(ReadPixel(b.surface, 1, 0), 0u);
  b.surface.colorTable = nullptr;
  EXPECT_EQ(ReadPixel(b.surface, 0, 0), 0u);

  b = Make(PixelLayout::kRgb555, 1, 1);
  Fill(b, {0x01, 0xFE, 0, 0});  // red 31, green 16, blue 1, top bit set
  EXPECT_EQ(ReadPixel(b.surface, 0, 0), 0x0884FFu);
  b = Make(PixelLayout::kRgb565, 1, 1);
  Fill(b, {0xF0, 0x0F, 0, 0});  // red 1, green 63, blue 16
  EXPECT_EQ(ReadPixel(b.surface, 0, 0), 0x84FF08u);
  b = Make(PixelLayout::kBgrx32, 1, 1);
  Fill(b, {0x11, 0x22, 0x33, 0x99});
  EXPECT_EQ(ReadPixel(b.surface, 0, 0), 0x112233u);
}

TEST(RasterCopyRect, SixteenBitChannelsSurviveATrueColourRoundTrip) {
  for (PixelLayout layout : {PixelLayout::kRgb555, PixelLayout::kRgb565}) {
    PixelBuffer narrow = Make(layout, 64, 1), wide = Make(PixelLayout::kBgr24, 64, 1);
    for (int v = 0; v < 64; ++v) {  // every channel value in each position
      const int w = layout == PixelLayout::kRgb565 ? (v % 32) << 11 | v << 5 | (31 - v % 32)
                                                   : (v % 32) << 10 | (v / 2) << 5 | (31 - v % 32);
      narrow.storage[2 * v] = w & 0xFF;
      narrow.storage[2 * v + 1] = w >> 8;
    }
    const std::vector<std::uint8_t> original = narrow.storage;
    CopyRect(wide.surface, 0, 0, 64, 1, narrow.surface, 0, 0);
    for (int x = 0; x < 64; ++x) {
      EXPECT_EQ(ReadPixel(wide.surface, x, 0), ReadPixel(narrow.surface, x, 0));
    }
    std::fill(narrow.storage.begin(), narrow.storage.end(), 0);
    CopyRect(narrow.surface, 0, 0, 64, 1, wide.surface, 0, 0);
    EXPECT_EQ(narrow.storage, original);
  }
}

// Every layout pair, random pictures, rectangles reaching past any edge of either surface: each
// destination pixel holds the converted source pixel or, outside the clipped copy, what it held.
TEST(RasterCopyRect, ConvertsBetweenAllLayoutsAsReadPixelSees) {
  std::mt19937 rng(42);
  for (PixelLayout from : kLayouts)
    for (PixelLayout to : kLayouts)
      for (int round = 0; round < 25; ++round) {
        PixelBuffer src = Make(from, 1 + rng() % 9, 1 + rng() % 4, rng() & 1);
        PixelBuffer dst = Make(to, 1 + rng() % 9, 1 + rng() % 4, rng() & 1);
        Randomise(src, rng);
        Randomise(dst, rng);
        if (from == to && round % 2) dst.colors = src.colors;  // shared palettes copy indices
        const int w = rng() % 12 - 1, h = rng() % 6 - 1;
        const int dx = rng() % 12 - 3, dy = rng() % 6 - 2, sx = rng() % 12 - 3, sy = rng() % 6 - 2;
        PixelBuffer before = dst;
        before.surface.colorTable = before.colors.data();
        before.surface.bits = before.storage.data() + (dst.surface.bits - dst.storage.data());
        CopyRect(dst.surface, dx, dy, w, h, src.surface, sx, sy);
        for (int y = 0; y < dst.surface.height; ++y)
          for (int x = 0; x < dst.surface.width; ++x) {
            const bool inside = x >= dx && x < dx + w && y >= dy && y < dy + h;
            const ColorRef c =
                inside ? ReadPixel(src.surface, sx + x - dx, sy + y - dy) : CLR_INVALID;
            ASSERT_EQ(ReadPixel(dst.surface, x, y),
                      c == CLR_INVALID ? ReadPixel(before.surface, x, y) : Represent(dst, c))
                << int(from) << "->" << int(to) << " round " << round << " at " << x << "," << y;
          }
      }
  PixelBuffer a = Make(PixelLayout::kBgrx32, 2, 2);
  CopyRect(a.surface, INT_MIN, INT_MAX, INT_MAX, INT_MAX, a.surface, INT_MAX, INT_MIN);
}

TEST(RasterCopyRect, IgnoresAndClearsTheFourthByte) {
  PixelBuffer a = Make(PixelLayout::kBgrx32, 1, 1), b = Make(PixelLayout::kBgrx32, 1, 1);
  PixelBuffer c = Make(PixelLayout::kBgr24, 1, 1);
  Fill(a, {1, 2, 3, 0xFF});
  Fill(b, {1, 2, 3, 0x00});
  CopyRect(c.surface, 0, 0, 1, 1, a.surface, 0, 0);
  EXPECT_EQ(ReadPixel(a.surface, 0, 0), ReadPixel(b.surface, 0, 0));
  EXPECT_EQ(c.storage[2], 3);
  CopyRect(a.surface, 0, 0, 1, 1, c.surface, 0, 0);  // converted, not a row copy
  EXPECT_EQ(a.storage, b.storage);
}

TEST(RasterCopyRect, PrefersExactThenNearestThenLowestIndex) {
  PixelBuffer src = Make(PixelLayout::kBgr24, 4, 1), dst = Make(PixelLayout::kIndexed8, 4, 1);
  Fill(src, {50, 50, 50, 10, 10, 10, 0, 0, 0x80, 0, 0, 0x7E});
  dst.colors = {0x505050, 0x323232, 0x323232, 0x000000, 0x141414, 0x780000, 0x880000};
  dst.surface.colorCount = 7;
  CopyRect(dst.surface, 0, 0, 4, 1, src.surface, 0, 0);
  EXPECT_EQ(dst.storage[0], 1);  // exact, first of two
  EXPECT_EQ(dst.storage[1], 3);  // as near to black as to 0x141414
  EXPECT_EQ(dst.storage[2], 5);  // red 0x80 halfway between 0x78 and 0x88
  EXPECT_EQ(dst.storage[3], 5);
}

TEST(RasterCopyRect, OverlappingCopiesWithinOneSurfaceActAsThroughACopy) {
  std::mt19937 rng(3);
  for (PixelLayout layout : {PixelLayout::kBgrx32, PixelLayout::kIndexed4}) {
    for (auto [dx, dy] : {std::pair{1, 1}, {-1, -1}, {2, 0}, {-2, 0}, {0, 1}, {1, -2}}) {
      PixelBuffer s = Make(layout, 7, 6, dx > 0);
      Randomise(s, rng);
      PixelBuffer expected = s;
      expected.surface.bits = expected.storage.data() + (s.surface.bits - s.storage.data());
      CopyRect(expected.surface, 1 + dx, 1 + dy, 5, 4, s.surface, 1, 1);
      CopyRect(s.surface, 1 + dx, 1 + dy, 5, 4, s.surface, 1, 1);
      EXPECT_EQ(s.storage, expected.storage) << dx << "," << dy;
    }
  }
}

}  // namespace
