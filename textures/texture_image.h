// Texture images: each texture file decoded into a DIB section of its own, which the fill copies
// pixels from, and the TextureSet of the images that loaded. After loading, only GDI (and memory
// reads through AsSurface) touch an image; the decoder is needed for loading alone.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/raster.h"
#include "textures/gdi_bitmap.h"
#include "textures/image_decoder.h"

// ---- Constants -------------------------------------------------------------------------------

// Results of loading, of the platform's HRESULT kind.
using TextureStatus = std::int32_t;
constexpr TextureStatus kTextureOk = 0;
constexpr TextureStatus kTextureFail = static_cast<TextureStatus>(0x80004005);  // E_FAIL
constexpr TextureStatus kTextureOutOfMemory =
    static_cast<TextureStatus>(0x8007000E);  // E_OUTOFMEMORY

// A decoded palette up to this size is staged on the stack.
constexpr int kPaletteStackBytes = 1024;

// Entries of a colour table; longer palettes keep their first ones.
constexpr int kColorTableEntries = 256;

// Images whose pixels, as their DIB section keeps them (depth and row padding), would take more
// bytes than this are not loaded: 256 MiB.
constexpr std::int64_t kMaxTextureBytes = std::int64_t{256} << 20;

// Decoded pixels of all textures together: a texture past this is refused like a broken file.
constexpr std::int64_t kTextureBudgetBytes = std::int64_t{sizeof(void*) >= 8 ? 512 : 256} << 20;

// ---- Types -----------------------------------------------------------------------------------

// One texture: a bottom-up DIB section and, while a fill uses it, a memory DC with the section
// selected into it. Created on the heap and destroyed through its destructor; every AcquireDC is
// matched by a RelinquishDC before that.
class TextureImage {
 public:
  TextureImage();  // empty; counts itself in GdiplusState's live images
  virtual ~TextureImage();
  TextureImage(const TextureImage&) = delete;
  TextureImage& operator=(const TextureImage&) = delete;

  // Decodes the file at `path` (ANSI code page) into this image: kTextureOk, kTextureFail or
  // kTextureOutOfMemory. A file that is not a disk file, whose header is not one of BMP, PNG, GIF
  // or JPEG, or whose declared picture takes more than `limitBytes` fails before any decoder
  // sees it.
  TextureStatus LoadFromFile(const char* path, std::int64_t limitBytes = kMaxTextureBytes);

  // The second half of loading: makes the DIB section for a decoded bitmap and copies or draws
  // its pixels into it. The caller keeps `source`.
  TextureStatus FillFromDecoded(DecodedImage source);

  // Makes the DIB section: width x height pixels of bitsPerPixel bits, kept bottom-up. 16-bit
  // sections are RGB555 unless `rgb565`. False, leaving the image empty, when the size is not
  // positive, exceeds kMaxTextureBytes, or GDI cannot make the section.
  bool CreateDib(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                 bool rgb565 = false);

  // Sets `count` colour-table entries (RGBQUAD values) from index `first`, in the DIB section and
  // in colorTable.
  void SetColorTable(std::int32_t first, std::int32_t count, const std::uint32_t* entries);

  // A DC with the bitmap selected into it, attached by the first of nested calls and given back
  // to DCCache by the matching last RelinquishDC.
  DcHandle AcquireDC();
  void RelinquishDC();

  // The pixels as the fill reads them: the image's rows, layout and colour table.
  Surface AsSurface() const;

  // Bytes of the DIB section's pixels; 0 while the image is empty.
  std::int64_t PixelBytes() const { return std::int64_t{height} * (pitch < 0 ? -pitch : pitch); }

  BitmapHandle bitmap = nullptr;  // the DIB section; null while the image is empty
  std::uint8_t* bits = nullptr;   // the top image row
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive
  std::int32_t pitch = 0;   // bytes to the next row down: negative, the section is bottom-up
  std::int32_t bitsPerPixel = 0;
  DcHandle dc = nullptr;  // present while dcUseCount is above 0
  std::int32_t dcUseCount = 0;
  GdiObjectHandle previousBitmap = nullptr;  // what the bitmap replaced in dc
  // A copy of the section's colour table, for reading indexed pixels in memory.
  std::uint32_t colorTable[kColorTableEntries] = {};
  PixelLayout layout = PixelLayout::kBgrx32;

 private:
  void ReleaseDib();
};

// The images that loaded, in TextureList order with the failed files left out; the fill and the
// saver cycle address them by index. Owns its images.
class TextureImageSet {
 public:
  std::int32_t Count() const { return static_cast<std::int32_t>(images_.size()); }
  TextureImage* At(std::int32_t index) const;  // null outside 0 to Count() - 1

  // Takes ownership of `image`; false, with the image still the caller's, when memory is short.
  bool Append(TextureImage* image);

  // Destroys every image and empties the set.
  void DestroyImages();

 private:
  std::vector<TextureImage*> images_;
};

// ---- Process-wide state ----------------------------------------------------------------------

// Empty at start; filled by LoadTextureImages at the saver window's creation; its images are
// destroyed with the window (DestroyImages); its storage is released at process exit.
extern TextureImageSet TextureSet;

// ---- Functions -------------------------------------------------------------------------------

// Loads every file of the TextureList into the TextureSet, within kTextureBudgetBytes. Each file
// that fails is reported to the user and left out; an empty result is reported once more at the
// end.
void LoadTextureImages();

// Destroys the TextureSet's images and the spare DCs, and stops GDI+ (tests only).
void ResetTextureImages();
