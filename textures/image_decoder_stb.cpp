// The image decoder seam on stb_image, for the native tests and tools.
#include "textures/image_decoder_stb.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "textures/image_decoder.h"

// stb's implementation is compiled here, private to this file, so that it cannot clash with the
// stb library a program may also link. Debian installs it under /usr/include, which mingw's
// compilers do not search.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_NO_LINEAR
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#if __has_include(<stb/stb_image.h>)
#include <stb/stb_image.h>
#else
#include "/usr/include/stb/stb_image.h"
#endif
#pragma GCC diagnostic pop

namespace {

// Tells our images from stray pointers.
constexpr std::uint32_t kImageMagic = 0x56494D47;

struct StbImage {
  std::uint32_t magic = kImageMagic;
  std::uint32_t format = 0;  // what the image reports
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;  // of the rows as stored: 24 (B, G, R) or 32 (B, G, R, A), or a wrapper's
  std::ptrdiff_t stride = 0;
  std::uint8_t* rows = nullptr;             // the top row
  std::unique_ptr<std::uint8_t[]> storage;  // a decoded file's rows; a wrapper's are the caller's
  std::vector<std::uint32_t> palette;       // ARGB entries
  bool isWrapper = false;
  bool locked = false;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Counters only: trivially destructible, so they outlive whatever disposes of images at exit.
std::atomic<bool> failStartup{false};
std::atomic<bool> failLocks{false};
std::atomic<bool> failDraws{false};
std::atomic<int> runningSessions{0};
std::atomic<int> liveImages{0};
std::atomic<std::uintptr_t> lastToken{0};

StbImage* AsImage(DecodedImage image) {
  auto* found = static_cast<StbImage*>(image);
  return found && found->magic == kImageMagic ? found : nullptr;
}

StbImage* NewImage() {
  StbImage* image = new (std::nothrow) StbImage;
  if (image) ++liveImages;
  return image;
}

std::uint32_t LittleEndian(const std::uint8_t* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = value << 8 | bytes[i];
  return value;
}

void PutLittleEndian(std::uint8_t* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i, value >>= 8)
    bytes[i] = static_cast<std::uint8_t>(value);
}

// stb's BMP reader leaves the colour table past a short palette unset, so an index past the
// palette would read whatever its stack held; GDI+ reads black there. A BMP of 8 bits or fewer a
// pixel with a short palette is therefore read from a copy whose palette is padded with black to
// the depth's full size. Empty when the file needs no copy (or is left to stb to refuse).
std::vector<std::uint8_t> WithFullPalette(std::FILE* file) {
  std::uint8_t header[30];
  const bool read = std::fread(header, 1, sizeof header, file) == sizeof header;
  std::rewind(file);
  if (!read || header[0] != 'B' || header[1] != 'M') return {};
  const std::uint32_t offset = LittleEndian(header + 10, 4);
  const std::uint32_t headerSize = LittleEndian(header + 14, 4);
  const std::uint32_t bits = LittleEndian(header + 28, 2);
  // The 12-byte OS/2 header keeps 3-byte entries and is left as it is.
  if (headerSize < 40 || headerSize > 124 || bits == 0 || bits > 8) return {};
  if (offset < 14 + headerSize) return {};
  // As stb counts them: whatever lies between the header and the pixels.
  const std::uint32_t entries = (offset - 14 - headerSize) / 4;
  const std::uint32_t full = 1u << bits;
  if (entries == 0 || entries >= full) return {};
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[1 << 16];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + got);
  std::rewind(file);
  const std::size_t paletteEnd = 14 + headerSize + 4 * entries;
  if (bytes.size() < paletteEnd || bytes.size() > INT_MAX - 1024) return {};
  const std::uint32_t added = 4 * (full - entries);
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(paletteEnd), added, 0);
  PutLittleEndian(&bytes[10], offset + added);
  PutLittleEndian(&bytes[46], full);  // biClrUsed
  return bytes;
}

// What stb reads: the file, or the copy that WithFullPalette made of it.
struct StbSource {
  std::FILE* file;
  std::vector<std::uint8_t> copy;

  int Info(int* width, int* height, int* channels) {
    if (copy.empty()) return stbi_info_from_file(file, width, height, channels);
    return stbi_info_from_memory(copy.data(), static_cast<int>(copy.size()), width, height,
                                 channels);
  }
  bool Deep() {
    if (copy.empty()) return stbi_is_16_bit_from_file(file) != 0;
    return stbi_is_16_bit_from_memory(copy.data(), static_cast<int>(copy.size())) != 0;
  }
  stbi_uc* Load(int* width, int* height, int* channels, int wanted) {
    if (copy.empty()) return stbi_load_from_file(file, width, height, channels, wanted);
    return stbi_load_from_memory(copy.data(), static_cast<int>(copy.size()), width, height,
                                 channels, wanted);
  }
};

int Decode(StbSource& file, StbImage& image) {
  int width = 0;
  int height = 0;
  int channels = 0;
  if (!file.Info(&width, &height, &channels)) return kDecoderUnknownImageFormat;
  const bool alpha = channels == 2 || channels == 4;
  const bool deep = file.Deep();
  const int bytesPerPixel = alpha ? 4 : 3;
  if (width <= 0 || height <= 0 || width > (INT_MAX - 3) / bytesPerPixel) {
    return kDecoderOutOfMemory;
  }
  // stb hands out R, G, B(, A) rows, packed.
  std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      file.Load(&width, &height, &channels, bytesPerPixel), &stbi_image_free);
  if (!pixels) return kDecoderOutOfMemory;

  const std::ptrdiff_t stride = (width * bytesPerPixel + 3) & ~3;
  image.storage.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(stride) * height]);
  if (!image.storage) return kDecoderOutOfMemory;
  const stbi_uc* source = pixels.get();
  for (int y = 0; y < height; ++y) {
    std::uint8_t* target = image.storage.get() + y * stride;
    for (int x = 0; x < width; ++x, source += bytesPerPixel, target += bytesPerPixel) {
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
      if (alpha) target[3] = source[3];
    }
  }
  if (deep) {
    image.format = alpha ? kPixelFormat64bppARGB : kPixelFormat48bppRGB;
  } else {
    image.format = alpha ? kPixelFormat32bppARGB : kPixelFormat24bppRGB;
  }
  image.width = width;
  image.height = height;
  image.bitsPerPixel = 8 * bytesPerPixel;
  image.stride = stride;
  image.rows = image.storage.get();
  return kDecoderOk;
}

}  // namespace

int DecoderStartup(std::uintptr_t* token) {
  *token = 0;
  if (failStartup) return kDecoderGenericError;
  *token = ++lastToken;
  ++runningSessions;
  return kDecoderOk;
}

void DecoderShutdown(std::uintptr_t token) {
  if (token != 0) --runningSessions;
}

int DecoderCreateBitmapFromFile(const char* path, DecodedImage* result) {
  *result = nullptr;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return kDecoderWin32Error;
  std::unique_ptr<StbImage> image(NewImage());
  if (!image) return kDecoderOutOfMemory;
  StbSource source{file.get(), WithFullPalette(file.get())};
  int status = Decode(source, *image);
  if (status != kDecoderOk) {
    --liveImages;
    return status;
  }
  *result = image.release();
  return kDecoderOk;
}

int DecoderGetPixelFormat(DecodedImage handle, std::uint32_t* format) {
  StbImage* image = AsImage(handle);
  if (!image) return kDecoderInvalidParameter;
  *format = image->format;
  return kDecoderOk;
}

int DecoderGetHeight(DecodedImage handle, std::uint32_t* height) {
  StbImage* image = AsImage(handle);
  if (!image) return kDecoderInvalidParameter;
  *height = static_cast<std::uint32_t>(image->height);
  return kDecoderOk;
}

int DecoderGetWidth(DecodedImage handle, std::uint32_t* width) {
  StbImage* image = AsImage(handle);
  if (!image) return kDecoderInvalidParameter;
  *width = static_cast<std::uint32_t>(image->width);
  return kDecoderOk;
}

// Decoded files have no palette; only a wrapper given one by StbDecoderSetPalette has.
int DecoderGetPaletteSize(DecodedImage handle, int* size) {
  StbImage* image = AsImage(handle);
  if (!image) return kDecoderInvalidParameter;
  *size = kDecoderPaletteHeaderBytes + static_cast<int>(4 * image->palette.size());
  return kDecoderOk;
}

int DecoderGetPalette(DecodedImage handle, void* palette, int size) {
  StbImage* image = AsImage(handle);
  int needed = 0;
  if (!image || !palette || DecoderGetPaletteSize(handle, &needed) != kDecoderOk || size < needed) {
    return kDecoderInvalidParameter;
  }
  const std::uint32_t header[2] = {0, static_cast<std::uint32_t>(image->palette.size())};
  auto* bytes = static_cast<std::uint8_t*>(palette);
  std::memcpy(bytes, header, sizeof header);
  if (!image->palette.empty()) {
    std::memcpy(bytes + sizeof header, image->palette.data(), 4 * image->palette.size());
  }
  return kDecoderOk;
}

int DecoderLockRows(DecodedImage handle, int x, int y, int width, int height, std::uint32_t format,
                    DecoderLockedRows* rows) {
  *rows = DecoderLockedRows();
  StbImage* image = AsImage(handle);
  if (!image || x < 0 || y < 0 || width <= 0 || height <= 0 || width > image->width - x ||
      height > image->height - y) {
    return kDecoderInvalidParameter;
  }
  if (image->locked) return kDecoderWrongState;
  if (failLocks) return kDecoderGenericError;
  const bool stored = image->format == kPixelFormat24bppRGB ||
                      image->format == kPixelFormat32bppARGB || image->isWrapper;
  if (format != image->format || !stored) return kDecoderNotImplemented;
  image->locked = true;
  rows->width = static_cast<std::uint32_t>(width);
  rows->height = static_cast<std::uint32_t>(height);
  rows->stride = static_cast<std::int32_t>(image->stride);
  rows->pixelFormat = format;
  rows->scan0 = image->rows + y * image->stride + x * image->bitsPerPixel / 8;
  return kDecoderOk;
}

int DecoderUnlockRows(DecodedImage handle, DecoderLockedRows* rows) {
  StbImage* image = AsImage(handle);
  if (!image || !rows) return kDecoderInvalidParameter;
  if (!image->locked) return kDecoderWrongState;
  image->locked = false;
  return kDecoderOk;
}

int DecoderWrapRows(int width, int height, int stride, std::uint32_t format, std::uint8_t* scan0,
                    DecodedImage* wrapper) {
  *wrapper = nullptr;
  if (width <= 0 || height <= 0 || !scan0) return kDecoderInvalidParameter;
  const int bits = static_cast<int>(format >> 8 & 0xFF);
  const bool layout = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (!(format & kPixelFormatGdi) || !layout) return kDecoderNotImplemented;
  StbImage* image = NewImage();
  if (!image) return kDecoderOutOfMemory;
  image->format = format;
  image->width = width;
  image->height = height;
  image->bitsPerPixel = bits;
  image->stride = stride;
  image->rows = scan0;
  image->isWrapper = true;
  *wrapper = image;
  return kDecoderOk;
}

// Copies rather than blends: the loader only draws into transparent black, where drawing a
// picture gives the picture.
int DecoderDrawImage(DecodedImage targetHandle, DecodedImage sourceHandle) {
  StbImage* target = AsImage(targetHandle);
  StbImage* source = AsImage(sourceHandle);
  if (!target || !source || !target->isWrapper) return kDecoderInvalidParameter;
  if (failDraws) return kDecoderGenericError;
  if ((target->format != kPixelFormat32bppRGB && target->format != kPixelFormat32bppARGB) ||
      (source->format & kPixelFormatIndexed) || source->bitsPerPixel < 24) {
    return kDecoderNotImplemented;
  }
  const int sourceBytes = source->bitsPerPixel / 8;
  const bool keepAlpha = target->format == kPixelFormat32bppARGB && sourceBytes == 4;
  const int width = std::min(target->width, source->width);
  const int height = std::min(target->height, source->height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* from = source->rows + y * source->stride;
    std::uint8_t* to = target->rows + y * target->stride;
    for (int x = 0; x < width; ++x, from += sourceBytes, to += 4) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
      to[3] = keepAlpha ? from[3] : 0xFF;
    }
  }
  return kDecoderOk;
}

int DecoderDisposeImage(DecodedImage handle) {
  if (!handle) return kDecoderOk;
  StbImage* image = AsImage(handle);
  if (!image) return kDecoderInvalidParameter;
  image->magic = 0;
  delete image;
  --liveImages;
  return kDecoderOk;
}

void StbDecoderFailStartup(bool fail) {
  failStartup = fail;
}

void StbDecoderFailLocks(bool fail) {
  failLocks = fail;
}

void StbDecoderFailDraws(bool fail) {
  failDraws = fail;
}

int StbDecoderSetPalette(DecodedImage handle, const std::uint32_t* entries, int count) {
  StbImage* image = AsImage(handle);
  if (!image || !image->isWrapper || count < 0) return kDecoderInvalidParameter;
  try {
    image->palette.assign(entries, entries + count);
  } catch (const std::bad_alloc&) {
    return kDecoderOutOfMemory;
  }
  return kDecoderOk;
}

int StbDecoderRunningSessions() {
  return runningSessions;
}

int StbDecoderLiveImages() {
  return liveImages;
}
