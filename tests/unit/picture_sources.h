// Pictures for the texture tests, each with what every pixel must read as once loaded: DIB rows
// in any layout (and the BMP file of them), and PNG files of 8 or 16 bits a channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/unit/picture_files.h"

namespace picture_files {

// A picture's rows and what each pixel must read as: RGBQUAD values top-down, the alpha in bits
// 24-31 where the picture has one.
struct Source {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  Bytes rows;  // top-down DIB rows, for BMP files and GDI+ bitmaps made in memory
  Bytes file;
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint32_t> palette;
};

inline std::uint32_t Quad(int red, int green, int blue, int alpha = 0) {
  return static_cast<std::uint32_t>(blue | green << 8 | red << 16 | alpha << 24);
}

inline int Channel(int x, int y, int salt) {
  return (x * 37 + y * 91 + salt * 53) & 0xFF;
}

inline std::uint32_t Expand5(std::uint32_t v) {
  return v << 3 | v >> 2;
}

inline std::uint32_t Expand6(std::uint32_t v) {
  return v << 2 | v >> 4;
}

// DIB rows of any layout, written as a BMP file too (16-bit ones as RGB555 unless `rgb565`).
// Indexed pixels take (x + 2y) mod the palette's size, except that pixel (1, 0) takes the highest
// index of the depth, which lies past a short palette and must read black.
inline Source MakeDib(int bitsPerPixel, int paletteSize = 0, bool rgb565 = false) {
  Source source;
  source.width = 9;
  source.height = 4;
  source.bitsPerPixel = bitsPerPixel;
  for (int i = 0; i < paletteSize; ++i) {
    source.palette.push_back(Quad(i * 40 + 10, 250 - i * 30, i * 7 + 3));
  }
  const std::size_t rowSize = DibRowSize(source.width, bitsPerPixel);
  source.rows.assign(rowSize * source.height, 0);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      std::uint8_t* row = &source.rows[y * rowSize];
      const int r = Channel(x, y, 0), g = Channel(x, y, 1), b = Channel(x, y, 2);
      if (bitsPerPixel <= 8) {
        const int index = x == 1 && y == 0 ? (1 << bitsPerPixel) - 1 : (x + 2 * y) % paletteSize;
        const int bit = x * bitsPerPixel;
        row[bit / 8] |= index << (8 - bitsPerPixel - bit % 8);
        source.pixels.push_back(index < paletteSize ? source.palette[index] : 0);
      } else if (bitsPerPixel == 16) {
        const std::uint32_t word = rgb565 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                          : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
        row[2 * x] = word & 0xFF;
        row[2 * x + 1] = word >> 8;
        source.pixels.push_back(Expand5(b >> 3) |
                                (rgb565 ? Expand6(g >> 2) : Expand5(g >> 3)) << 8 |
                                Expand5(r >> 3) << 16);
      } else {
        std::uint8_t* pixel = row + bitsPerPixel / 8 * x;
        pixel[0] = b;
        pixel[1] = g;
        pixel[2] = r;
        source.pixels.push_back(Quad(r, g, b));
      }
    }
  }
  picture_files::Bmp bmp;
  bmp.width = source.width;
  bmp.height = source.height;
  bmp.bitsPerPixel = bitsPerPixel;
  bmp.palette = source.palette;
  bmp.rows = source.rows;
  source.file = EncodeBmp(bmp);
  return source;
}

// 8 or 16 bits a channel; with alpha, every third pixel transparent and others half or opaque.
inline Source MakePng(int bitDepth, bool alpha) {
  Source source;
  picture_files::Png png;
  png.width = source.width = 5;
  png.height = source.height = 4;
  png.bitDepth = bitDepth;
  png.colorType = alpha ? 6 : 2;
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const int a = (x + y) % 3 == 0 ? 0 : (x % 2 ? 0x80 : 0xFF);
      const int channels[] = {Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2), a};
      for (int c = 0; c < (alpha ? 4 : 3); ++c) {
        png.rows.push_back(channels[c]);
        // 0xXY becomes 0xXYXY: exact in any conversion to 8 bits.
        if (bitDepth == 16) png.rows.push_back(channels[c]);
      }
      source.pixels.push_back(Quad(channels[0], channels[1], channels[2], alpha ? a : 0));
    }
  }
  source.file = EncodePng(png);
  return source;
}

}  // namespace picture_files
