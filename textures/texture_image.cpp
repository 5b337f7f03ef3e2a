#include "textures/texture_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "textures/dc_cache.h"
#include "textures/gdiplus_state.h"
#include "textures/image_header.h"
#include "textures/texture_file.h"
#include "settings/texture_list.h"
#include "settings/user_message.h"

TextureImageSet TextureSet;

namespace {

constexpr char kLoadErrorHead[] = "Error loading textures from file\n";
constexpr char kLoadErrorTail[] =
    "!\nWrong texture name or missed file. This texture will not be displayed.";
constexpr char kNothingLoaded[] =
    "No textures were selected and loaded!\nScreensaver can't be started properly.";

constexpr std::uint32_t kArgbColorBits = 0x00FFFFFF;

PixelLayout LayoutOf(int bitsPerPixel, bool rgb565) {
  switch (bitsPerPixel) {
    case 1:
      return PixelLayout::kIndexed1;
    case 4:
      return PixelLayout::kIndexed4;
    case 8:
      return PixelLayout::kIndexed8;
    case 16:
      return rgb565 ? PixelLayout::kRgb565 : PixelLayout::kRgb555;
    case 24:
      return PixelLayout::kBgr24;
    default:
      return PixelLayout::kBgrx32;
  }
}

// The file's signature and header, read before any decoder believes them.
bool TextureFileAccepted(const char* path, std::int64_t limitBytes) {
  TextureFileView file;
  if (!OpenTextureFile(path, &file)) return false;
  ImageHeader header;
  const HeaderVerdict verdict = CheckImageHeader(file.data, file.size, limitBytes, &header);
  CloseTextureFile(&file);
  return verdict == HeaderVerdict::kAccepted;
}

}  // namespace

// ---- TextureImage ----------------------------------------------------------------------------

TextureImage::TextureImage() {
  GdiplusState.AddImage();
}

TextureImage::~TextureImage() {
  ReleaseDib();
  GdiplusState.RemoveImage();
}

void TextureImage::ReleaseDib() {
  if (!bitmap) return;
  BitmapHandle section = bitmap;
  bitmap = nullptr;
  bits = nullptr;
  width = 0;
  height = 0;
  pitch = 0;
  bitsPerPixel = 0;
  GdiDeleteObject(section);
}

bool TextureImage::CreateDib(std::int32_t newWidth, std::int32_t newHeight,
                             std::int32_t newBitsPerPixel, bool rgb565) {
  ReleaseDib();
  if (newWidth <= 0 || newHeight <= 0) return false;
  const PixelLayout wanted = LayoutOf(newBitsPerPixel, newBitsPerPixel == 16 && rgb565);
  if (DibRowBytes(newWidth, wanted) * newHeight > kMaxTextureBytes) return false;
  DibHeader header;
  header.width = newWidth;
  header.height = newHeight;
  header.bitCount = static_cast<std::uint16_t>(newBitsPerPixel);
  if (newBitsPerPixel == 16 && rgb565) {
    header.compression = kDibBitfields;
    std::copy(std::begin(kRgb565Masks), std::end(kRgb565Masks), header.colorMasks);
  }
  void* sectionBits = nullptr;
  BitmapHandle section = GdiCreateDibSection(header, &sectionBits);
  if (!section) return false;
  DibSectionInfo info;
  if (!GdiReadDibSection(section, &info) || !info.bits || info.width <= 0 || info.height == 0) {
    GdiDeleteObject(section);
    return false;
  }
  bitmap = section;
  width = info.width;
  height = info.height < 0 ? -info.height : info.height;
  bitsPerPixel = info.bitCount;
  layout = LayoutOf(bitsPerPixel, header.compression == kDibBitfields);
  const auto rowBytes = static_cast<std::ptrdiff_t>(DibRowBytes(width, layout));
  bits = info.bits + static_cast<std::ptrdiff_t>(height - 1) * rowBytes;
  pitch = -rowBytes;
  std::fill(std::begin(colorTable), std::end(colorTable), 0u);
  return true;
}

void TextureImage::SetColorTable(std::int32_t first, std::int32_t count,
                                 const std::uint32_t* entries) {
  if (first < 0 || first >= kColorTableEntries || count <= 0) return;
  count = std::min(count, kColorTableEntries - first);
  std::copy(entries, entries + count, colorTable + first);
  DcHandle context = AcquireDC();
  GdiSetDibColorTable(context, static_cast<unsigned>(first), static_cast<unsigned>(count), entries);
  RelinquishDC();
}

DcHandle TextureImage::AcquireDC() {
  ++dcUseCount;
  if (!dc) {
    dc = DCCache.Take();
    if (dc) previousBitmap = GdiSelectObject(dc, bitmap);
  }
  return dc;
}

void TextureImage::RelinquishDC() {
  if (--dcUseCount > 0 || !dc) return;
  GdiSelectObject(dc, previousBitmap);
  DCCache.PutBack(dc);
  dc = nullptr;
}

Surface TextureImage::AsSurface() const {
  Surface surface;
  if (!bitmap) return surface;
  surface.width = width;
  surface.height = height;
  surface.layout = layout;
  surface.pitch = pitch;
  surface.bits = bits;
  if (bitsPerPixel <= 8) {
    surface.colorTable = colorTable;
    surface.colorCount = 1 << bitsPerPixel;
  }
  return surface;
}

TextureStatus TextureImage::LoadFromFile(const char* path, std::int64_t limitBytes) {
  if (!GdiplusState.Start()) return kTextureFail;
  if (!TextureFileAccepted(path, limitBytes)) return kTextureFail;
  DecodedImage source = nullptr;
  if (DecoderCreateBitmapFromFile(path, &source) != kDecoderOk) {
    DecoderDisposeImage(source);
    return kTextureFail;
  }
  TextureStatus status = FillFromDecoded(source);
  DecoderDisposeImage(source);
  return status;
}

TextureStatus TextureImage::FillFromDecoded(DecodedImage source) {
  std::uint32_t format = 0;
  DecoderGetPixelFormat(source, &format);
  std::int32_t depth = 32;
  std::uint32_t target = kPixelFormat32bppRGB;
  if (format & kPixelFormatGdi) {
    depth = static_cast<std::int32_t>((format >> 8) & 0xFF);
    target = format;
  }
  if (format & kPixelFormatAlpha) {
    depth = 32;
    target = kPixelFormat32bppARGB;
  }

  std::uint32_t sourceHeight = 0;
  std::uint32_t sourceWidth = 0;
  DecoderGetHeight(source, &sourceHeight);
  DecoderGetWidth(source, &sourceWidth);
  if (sourceWidth > INT32_MAX || sourceHeight > INT32_MAX ||
      !CreateDib(static_cast<std::int32_t>(sourceWidth), static_cast<std::int32_t>(sourceHeight),
                 depth, target == kPixelFormat16bppRGB565)) {
    return kTextureFail;
  }

  if (format & kPixelFormatIndexed) {
    // A ColorPalette: flags, count, then the ARGB entries.
    std::uint32_t onStack[kPaletteStackBytes / sizeof(std::uint32_t)];
    std::unique_ptr<std::uint32_t[]> onHeap;
    std::uint32_t* palette = onStack;
    int size = 0;
    DecoderGetPaletteSize(source, &size);
    if (size > kPaletteStackBytes) {
      onHeap.reset(new (std::nothrow) std::uint32_t[(static_cast<std::size_t>(size) + 3) / 4]);
      if (!onHeap) return kTextureOutOfMemory;
      palette = onHeap.get();
    }
    if (size >= kDecoderPaletteHeaderBytes) {
      palette[0] = palette[1] = 0;
      DecoderGetPalette(source, palette, size);
      const std::int64_t room = (size - kDecoderPaletteHeaderBytes) / 4;
      const auto count =
          static_cast<std::int32_t>(std::min<std::int64_t>({palette[1], room, kColorTableEntries}));
      std::uint32_t* entries = palette + 2;
      for (std::int32_t i = 0; i < count; ++i)
        entries[i] &= kArgbColorBits;
      if (count > 0) SetColorTable(0, count, entries);
    }
  }

  if (target == format) {
    DecoderLockedRows rows;
    if (DecoderLockRows(source, 0, 0, width, height, format, &rows) != kDecoderOk) {
      return kTextureFail;
    }
    if (!rows.scan0) {
      DecoderUnlockRows(source, &rows);
      return kTextureFail;
    }
    const auto rowBytes = static_cast<std::size_t>((std::int64_t{width} * depth + 7) / 8);
    const std::uint8_t* from = rows.scan0;
    std::uint8_t* to = bits;
    for (std::int32_t y = 0; y < height; ++y, from += rows.stride, to += pitch) {
      std::memcpy(to, from, rowBytes);
    }
    DecoderUnlockRows(source, &rows);
  } else {
    // pitch and bits describe the top row, so the wrapper sees the image right side up.
    DecodedImage wrapper = nullptr;
    if (DecoderWrapRows(width, height, pitch, target, bits, &wrapper) != kDecoderOk || !wrapper) {
      return kTextureFail;
    }
    const int drawn = DecoderDrawImage(wrapper, source);
    DecoderDisposeImage(wrapper);
    if (drawn != kDecoderOk) return kTextureFail;
  }
  return kTextureOk;
}

// ---- TextureSet ------------------------------------------------------------------------------

TextureImage* TextureImageSet::At(std::int32_t index) const {
  return index >= 0 && index < Count() ? images_[static_cast<std::size_t>(index)] : nullptr;
}

bool TextureImageSet::Append(TextureImage* image) {
  try {
    images_.push_back(image);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void TextureImageSet::DestroyImages() {
  for (TextureImage* image : images_)
    delete image;
  images_.clear();
}

void LoadTextureImages() {
  const std::int32_t count = TextureCount();
  std::int64_t used = 0;
  for (std::int32_t position = 0; position < count; ++position) {
    const char* entry = TextureAt(position);
    if (!entry) continue;
    const std::int64_t room = std::min(kMaxTextureBytes, kTextureBudgetBytes - used);
    TextureImage* image = new (std::nothrow) TextureImage;
    // The header's estimate kept the decoder within `room`; the section it made must fit too.
    if (image && image->LoadFromFile(entry, room) == kTextureOk && image->PixelBytes() <= room &&
        TextureSet.Append(image)) {
      used += image->PixelBytes();
      continue;
    }
    // Entries are shorter than kTexturePathBytes, so the message holds the whole path.
    char text[sizeof kLoadErrorHead + kTexturePathBytes + sizeof kLoadErrorTail];
    std::strcpy(text, kLoadErrorHead);
    std::strncat(text, entry, kTexturePathBytes - 1);
    std::strcat(text, kLoadErrorTail);
    ShowUserMessage(text);
    delete image;
  }
  if (TextureSet.Count() == 0) ShowUserMessage(kNothingLoaded);
}

void ResetTextureImages() {
  TextureSet.DestroyImages();
  DCCache.Clear();
  GdiplusState.Reset();
}
