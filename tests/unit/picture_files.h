// Minimal BMP and PNG writers for tests that need picture files of exact, known content in every
// layout a decoder may meet, without relying on an encoder that is itself under test.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace picture_files {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& out, std::uint32_t value) {
  out.push_back(value & 0xFF);
  out.push_back((value >> 8) & 0xFF);
}

inline void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

inline void Put32BigEndian(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back((value >> shift) & 0xFF);
}

// Bytes in a DIB row: padded to a multiple of 4.
inline std::size_t DibRowSize(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

// A BMP file. `rows` are top-down, DibRowSize bytes each, exactly as the pixels lie in a DIB row.
struct Bmp {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;
  std::vector<std::uint32_t> palette;  // RGBQUAD values; written with biClrUsed = its size
  Bytes rows;
};

inline Bytes EncodeBmp(const Bmp& bmp) {
  const std::size_t rowSize = DibRowSize(bmp.width, bmp.bitsPerPixel);
  const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * bmp.palette.size());
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<std::uint32_t>(offset + rowSize * bmp.height));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(bmp.width));
  Put32(out, static_cast<std::uint32_t>(bmp.height));
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(bmp.bitsPerPixel));
  Put32(out, 0);  // BI_RGB
  Put32(out, static_cast<std::uint32_t>(rowSize * bmp.height));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, static_cast<std::uint32_t>(bmp.palette.size()));
  Put32(out, 0);
  for (std::uint32_t entry : bmp.palette)
    Put32(out, entry);
  for (int y = bmp.height - 1; y >= 0; --y) {
    auto row = bmp.rows.begin() + static_cast<std::ptrdiff_t>(y * rowSize);
    out.insert(out.end(), row, row + static_cast<std::ptrdiff_t>(rowSize));
  }
  return out;
}

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

inline void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  Put32BigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32BigEndian(out, Crc32(out.data() + start, out.size() - start));
}

// A PNG file, uncompressed (stored deflate blocks). `rows` are top-down scanlines as PNG packs
// them, without the filter byte. `claimedWidth` and `claimedHeight`, when not 0, replace the size
// in the header, to make files that lie about it.
struct Png {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 8;
  int colorType = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
  Bytes palette;      // RGB triples
  Bytes rows;
  std::uint32_t claimedWidth = 0;
  std::uint32_t claimedHeight = 0;
};

inline Bytes EncodePng(const Png& png) {
  static const int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
  const std::size_t rowSize =
      (static_cast<std::size_t>(png.width) * kChannels[png.colorType] * png.bitDepth + 7) / 8;
  Bytes raw;
  for (std::uint32_t y = 0; y < png.height; ++y) {
    raw.push_back(0);
    auto row = png.rows.begin() + static_cast<std::ptrdiff_t>(y * rowSize);
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(rowSize));
  }
  Bytes zlib = {0x78, 0x01};
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  std::size_t done = 0;
  do {
    const std::size_t block = std::min<std::size_t>(raw.size() - done, 65535);
    zlib.push_back(done + block == raw.size() ? 1 : 0);
    Put16(zlib, static_cast<std::uint32_t>(block));
    Put16(zlib, static_cast<std::uint32_t>(~block & 0xFFFF));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(done),
                raw.begin() + static_cast<std::ptrdiff_t>(done + block));
    done += block;
  } while (done < raw.size());
  Put32BigEndian(zlib, (b << 16) | a);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32BigEndian(header, png.claimedWidth ? png.claimedWidth : png.width);
  Put32BigEndian(header, png.claimedHeight ? png.claimedHeight : png.height);
  header.push_back(static_cast<std::uint8_t>(png.bitDepth));
  header.push_back(static_cast<std::uint8_t>(png.colorType));
  header.push_back(0);
  header.push_back(0);
  header.push_back(0);
  PutChunk(out, "IHDR", header);
  if (!png.palette.empty()) PutChunk(out, "PLTE", png.palette);
  PutChunk(out, "IDAT", zlib);
  PutChunk(out, "IEND", {});
  return out;
}

// Files no texture loader may accept, by name: an empty file, a PNG cut off halfway, text named
// .png, a PNG whose header claims 65535 x 65535 pixels, and a 1-bit BMP claiming 2^31 - 1 pixels
// a row (a row size that overflows 32 bits).
inline std::vector<std::pair<std::string, Bytes>> BrokenPictureFiles() {
  Png huge;
  huge.width = huge.height = 2;
  huge.rows.assign(12, 0x55);
  const Bytes whole = EncodePng(huge);
  huge.claimedWidth = huge.claimedHeight = 65535;
  Bmp wide;
  wide.width = 8;
  wide.height = 2;
  wide.bitsPerPixel = 1;
  wide.palette = {0x000000, 0xFFFFFF};
  wide.rows.assign(8, 0x5A);
  Bytes wideFile = EncodeBmp(wide);
  for (int i = 0; i < 4; ++i)
    wideFile[18 + i] = i < 3 ? 0xFF : 0x7F;
  return {{"empty.png", {}},
          {"truncated.png", Bytes(whole.begin(), whole.begin() + whole.size() / 2)},
          {"text.png", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}},
          {"huge.png", EncodePng(huge)},
          {"wide.bmp", wideFile}};
}

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  // fwrite may not be handed the null data of an empty vector, even for zero bytes.
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace picture_files
