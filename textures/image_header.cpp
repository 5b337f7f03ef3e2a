#include "textures/image_header.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int64_t kDecodedBitsPerPixel = 32;

// Bounds-checked reads: every read names its offset and fails past the end instead of reading.
struct Bytes {
  const std::uint8_t* data;
  std::size_t size;

  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= size && count <= size - offset;
  }
  std::uint32_t Little(std::size_t offset, int count) const {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
      value = value << 8 | data[offset + static_cast<std::size_t>(i)];
    return value;
  }
  std::uint32_t Big(std::size_t offset, int count) const {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
      value = value << 8 | data[offset + static_cast<std::size_t>(i)];
    return value;
  }
  bool StartsWith(const char* signature, std::size_t length) const {
    return Has(0, length) && std::memcmp(data, signature, length) == 0;
  }
};

HeaderVerdict Declare(ImageHeader* header, std::int64_t width, std::int64_t height,
                      std::int64_t bitsPerPixel, std::int64_t limitBytes) {
  header->width = width;
  header->height = height;
  if (width <= 0 || height <= 0) return HeaderVerdict::kMalformed;
  header->decodedBytes = DibPictureBytes(width, height, bitsPerPixel);
  return header->decodedBytes > limitBytes ? HeaderVerdict::kTooLarge : HeaderVerdict::kAccepted;
}

// BITMAPFILEHEADER, then a BITMAPCOREHEADER (12 bytes, 16-bit sizes) or an info header of any of
// the longer kinds (32-bit sizes, a negative height for top-down rows).
HeaderVerdict CheckBmp(const Bytes& file, std::int64_t limitBytes, ImageHeader* header) {
  if (!file.Has(14, 4)) return HeaderVerdict::kMalformed;
  const std::uint32_t headerSize = file.Little(14, 4);
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t bitCount = 0;
  std::uint32_t compression = 0;
  if (headerSize == 12) {
    if (!file.Has(14, 12)) return HeaderVerdict::kMalformed;
    width = file.Little(18, 2);
    height = file.Little(20, 2);
    bitCount = file.Little(24, 2);
  } else if (headerSize >= 16) {
    if (!file.Has(14, 16)) return HeaderVerdict::kMalformed;
    width = static_cast<std::int32_t>(file.Little(18, 4));
    height = static_cast<std::int32_t>(file.Little(22, 4));
    height = height < 0 ? -height : height;
    bitCount = file.Little(28, 2);
    if (file.Has(30, 4)) compression = file.Little(30, 4);
  } else {
    return HeaderVerdict::kMalformed;
  }
  // Uncompressed rows (BI_RGB, BI_BITFIELDS) decode at their own depth; the rest at 32 bits.
  const bool ownDepth = (compression == 0 || compression == 3) && bitCount != 0;
  return Declare(header, width, height, ownDepth ? bitCount : kDecodedBitsPerPixel, limitBytes);
}

// The signature, then IHDR: the first chunk, 13 bytes of big-endian width, height, bit depth.
HeaderVerdict CheckPng(const Bytes& file, std::int64_t limitBytes, ImageHeader* header) {
  if (!file.Has(8, 8 + 13) || file.Big(8, 4) != 13 || std::memcmp(file.data + 12, "IHDR", 4) != 0)
    return HeaderVerdict::kMalformed;
  const std::uint32_t width = file.Big(16, 4);
  const std::uint32_t height = file.Big(20, 4);
  if (width > INT32_MAX || height > INT32_MAX) return HeaderVerdict::kMalformed;
  const std::int64_t bits = file.data[24] == 16 ? 64 : kDecodedBitsPerPixel;
  return Declare(header, width, height, bits, limitBytes);
}

// Skips a run of data sub-blocks (a length byte, that many bytes) up to the empty one; returns
// the offset after it, or `size` when the file ends first.
std::size_t SkipSubBlocks(const Bytes& file, std::size_t at) {
  while (file.Has(at, 1)) {
    const std::size_t length = file.data[at];
    if (length == 0 || !file.Has(at + 1, length)) return length == 0 ? at + 1 : file.size;
    at += 1 + length;
  }
  return file.size;
}

// The logical screen, then every block: decoders make a picture as large as the screen and every
// frame placed on it. A file cut short, or with bytes no block starts with, ends the walk: what
// the decoder makes of the rest is its business, but it cannot be larger.
HeaderVerdict CheckGif(const Bytes& file, std::int64_t limitBytes, ImageHeader* header) {
  if (!file.Has(6, 7)) return HeaderVerdict::kMalformed;
  std::int64_t width = file.Little(6, 2);
  std::int64_t height = file.Little(8, 2);
  const auto tableBytes = [](std::uint8_t packed) -> std::size_t {
    return (packed & 0x80) ? std::size_t{3} << ((packed & 7) + 1) : 0;
  };
  std::size_t at = 13 + tableBytes(file.data[10]);
  while (file.Has(at, 1)) {
    const std::uint8_t block = file.data[at];
    if (block == 0x2C) {
      if (!file.Has(at, 10)) break;
      width = std::max<std::int64_t>(width,
                                     file.Little(at + 1, 2) + std::int64_t{file.Little(at + 5, 2)});
      height = std::max<std::int64_t>(
          height, file.Little(at + 3, 2) + std::int64_t{file.Little(at + 7, 2)});
      at += 10 + tableBytes(file.data[at + 9]) + 1;  // the LZW code size byte
      at = SkipSubBlocks(file, at);
    } else if (block == 0x21) {
      at = SkipSubBlocks(file, at + 2);
    } else {
      break;  // the trailer, or nothing a decoder reads further
    }
  }
  return Declare(header, width, height, kDecodedBitsPerPixel, limitBytes);
}

bool IsFrameHeader(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Segments from SOI to the first frame header. Markers may be padded with 0xFF bytes; RSTn, TEM
// and SOI carry no length. A scan or the end before any frame header declares no picture.
HeaderVerdict CheckJpeg(const Bytes& file, std::int64_t limitBytes, ImageHeader* header) {
  std::size_t at = 2;
  while (true) {
    if (!file.Has(at, 2) || file.data[at] != 0xFF) return HeaderVerdict::kMalformed;
    std::uint8_t marker = file.data[at + 1];
    ++at;
    while (marker == 0xFF) {
      if (!file.Has(at, 2)) return HeaderVerdict::kMalformed;
      marker = file.data[++at];
    }
    ++at;
    if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xDA || marker == 0xD9 || marker == 0x00) return HeaderVerdict::kMalformed;
    if (!file.Has(at, 2)) return HeaderVerdict::kMalformed;
    const std::size_t length = file.Big(at, 2);
    if (length < 2 || !file.Has(at, length)) return HeaderVerdict::kMalformed;
    if (IsFrameHeader(marker)) {
      if (length < 8) return HeaderVerdict::kMalformed;
      // Precision, then height and width; a height of 0 would come from a later DNL segment.
      return Declare(header, file.Big(at + 5, 2), file.Big(at + 3, 2), kDecodedBitsPerPixel,
                     limitBytes);
    }
    at += length;
  }
}

}  // namespace

std::int64_t DibPictureBytes(std::int64_t width, std::int64_t height, std::int64_t bitsPerPixel) {
  if (width <= 0 || height <= 0 || bitsPerPixel <= 0) return 0;
  if (width > INT32_MAX || bitsPerPixel > 0xFFFF) return INT64_MAX;
  const std::int64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
  return height > INT64_MAX / rowBytes ? INT64_MAX : rowBytes * height;
}

HeaderVerdict CheckImageHeader(const std::uint8_t* data, std::size_t size, std::int64_t limitBytes,
                               ImageHeader* header) {
  *header = ImageHeader{};
  const Bytes file{data, data != nullptr ? size : 0};
  if (file.StartsWith("BM", 2)) {
    header->format = ImageFormat::kBmp;
    return CheckBmp(file, limitBytes, header);
  }
  if (file.StartsWith("\x89PNG\r\n\x1a\n", 8)) {
    header->format = ImageFormat::kPng;
    return CheckPng(file, limitBytes, header);
  }
  if (file.StartsWith("GIF87a", 6) || file.StartsWith("GIF89a", 6)) {
    header->format = ImageFormat::kGif;
    return CheckGif(file, limitBytes, header);
  }
  if (file.StartsWith("\xFF\xD8", 2)) {
    header->format = ImageFormat::kJpeg;
    return CheckJpeg(file, limitBytes, header);
  }
  return HeaderVerdict::kNotAnImage;
}
