// The header check every texture file passes before a decoder sees it: the signature must be one
// of the four picture formats the saver takes, and the picture the header declares must be small
// enough to decode. Decoders believe a header and allocate the whole declared picture first, so
// a small file may otherwise cost gigabytes and seconds; and GDI+ decodes other types too (TIFF,
// icons, metafiles) whatever the file's name. Portable header.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Constants -------------------------------------------------------------------------------

enum class ImageFormat { kNone, kBmp, kPng, kGif, kJpeg };

enum class HeaderVerdict {
  kAccepted,
  kNotAnImage,  // no signature of the four formats
  kMalformed,   // the signature is there, the header is cut short or declares no picture
  kTooLarge,    // the declared picture takes more bytes than the limit
};

// ---- Types -----------------------------------------------------------------------------------

struct ImageHeader {
  ImageFormat format = ImageFormat::kNone;
  std::int64_t width = 0;  // of the picture a decoder makes (for a GIF, every frame within it)
  std::int64_t height = 0;
  // Bytes of that picture at the depth a decoder gives it: the file's own depth for an
  // uncompressed BMP, 32 bits per pixel otherwise (64 for a 16-bit-per-channel PNG).
  std::int64_t decodedBytes = 0;
};

// ---- Functions -------------------------------------------------------------------------------

// Reads the signature and header of the file whose first `size` bytes are at `data`: a BMP's core
// or info header, a PNG's IHDR, a GIF's logical screen and every image descriptor, a JPEG's first
// frame header (SOF0 to SOF15 but DHT, JPG and DAC). One pass, never past `size`. Fills `header`
// as far as it read; kTooLarge when decodedBytes exceeds `limitBytes`.
HeaderVerdict CheckImageHeader(const std::uint8_t* data, std::size_t size, std::int64_t limitBytes,
                               ImageHeader* header);

// Bytes of a picture of width x height pixels at bitsPerPixel in rows padded to 4 bytes, as a
// DIB keeps it; INT64_MAX when that does not fit 64 bits. Sizes below 0 count as 0.
std::int64_t DibPictureBytes(std::int64_t width, std::int64_t height, std::int64_t bitsPerPixel);
