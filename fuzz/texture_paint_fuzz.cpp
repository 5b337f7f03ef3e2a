// Fuzzes painting from texture images: rows of every GDI+ pixel format the loader meets, with
// palettes of any length, are loaded into a TextureImage through the portable decoder and GDI
// bindings, then painted into canvases of every layout (indexed ones with tables of any length).
// Checks that the image shows the source's pixels, that a painted row equals the same pixels
// copied one at a time, that a fill changes pixels only to the texture's, and that GDI's rules
// are kept.
//
// Input: format, texture width and height, stride padding (bit 7: rows bottom-up), two palette
// length bytes, canvas layout (bit 7: bottom-up), canvas width and height, canvas table length,
// the painted row's columns and row, the fill's point and threshold; then palette, canvas table,
// texture rows and canvas pixels. Past the input's end, bytes come from a fixed sequence.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/region_fill.h"
#include "fuzz/fuzz_support.h"
#include "raster/raster.h"
#include "textures/gdi_bitmap_memory.h"
#include "textures/image_decoder.h"
#include "textures/image_decoder_stb.h"
#include "textures/texture_image.h"

namespace {

struct Format {
  std::uint32_t pixelFormat;
  PixelLayout layout;  // how the source rows read
};

constexpr Format kFormats[] = {
    {kPixelFormat1bppIndexed, PixelLayout::kIndexed1},
    {kPixelFormat4bppIndexed, PixelLayout::kIndexed4},
    {kPixelFormat8bppIndexed, PixelLayout::kIndexed8},
    {kPixelFormat16bppRGB555, PixelLayout::kRgb555},
    {kPixelFormat16bppRGB565, PixelLayout::kRgb565},
    {kPixelFormat16bppARGB1555, PixelLayout::kRgb555},
    {kPixelFormat24bppRGB, PixelLayout::kBgr24},
    {kPixelFormat32bppRGB, PixelLayout::kBgrx32},
    {kPixelFormat32bppARGB, PixelLayout::kBgrx32},
    {kPixelFormat32bppPARGB, PixelLayout::kBgrx32},
};

constexpr PixelLayout kLayouts[] = {
    PixelLayout::kIndexed1, PixelLayout::kIndexed4, PixelLayout::kIndexed8, PixelLayout::kRgb555,
    PixelLayout::kRgb565,   PixelLayout::kBgr24,    PixelLayout::kBgrx32};

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint32_t filler = 0;
  std::uint8_t Byte() {
    if (size == 0) return static_cast<std::uint8_t>(++filler * 167 + 13);
    --size;
    return *data++;
  }
  std::uint32_t Word() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return value;
  }
};

// Every pixel of `a` reads as the same colour as in `b`.
bool SameColours(const Surface& a, const Surface& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (ReadPixel(a, x, y) != ReadPixel(b, x, y)) return false;
    }
  }
  return true;
}

// A second buffer with the same pixels and table.
bool Duplicate(PixelBuffer& copy, const PixelBuffer& original) {
  const Surface& s = original.surface;
  if (!AllocatePixelBuffer(copy, s.width, s.height, s.layout, s.pitch < 0)) return false;
  copy.storage = original.storage;
  copy.colors = original.colors;
  copy.surface.colorCount = s.colorCount;
  return true;
}

// Loads the image and checks it against the source rows; false when the format cannot load.
bool LoadTexture(Input& in, TextureImage& image) {
  const Format& format = kFormats[in.Byte() % (sizeof kFormats / sizeof kFormats[0])];
  const int width = 1 + in.Byte() % 40;
  const int height = 1 + in.Byte() % 4;
  const std::uint8_t strideByte = in.Byte();
  std::size_t paletteLength = in.Byte();
  paletteLength = (paletteLength | static_cast<std::size_t>(in.Byte()) << 8) % 300;

  const int bits = static_cast<int>(format.pixelFormat >> 8 & 0xFF);
  const int stride = (width * bits + 7) / 8 + strideByte % 5;
  std::vector<std::uint32_t> palette(paletteLength);
  for (std::uint32_t& entry : palette)
    entry = in.Word();
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * height);
  for (std::uint8_t& byte : rows)
    byte = in.Byte();
  const bool bottomUp = strideByte & 0x80;
  std::uint8_t* top = bottomUp ? rows.data() + (height - 1) * stride : rows.data();
  const int step = bottomUp ? -stride : stride;

  DecodedImage wrapper = nullptr;
  Check(DecoderWrapRows(width, height, step, format.pixelFormat, top, &wrapper) == kDecoderOk);
  Check(StbDecoderSetPalette(wrapper, palette.data(), static_cast<int>(palette.size())) ==
        kDecoderOk);
  const TextureStatus status = image.FillFromDecoded(wrapper);
  DecoderDisposeImage(wrapper);
  // The portable decoder draws only from 24 and 32 bits; everything else loads.
  if (format.pixelFormat == kPixelFormat16bppARGB1555) {
    Check(status == kTextureFail);
    return false;
  }
  Check(status == kTextureOk);

  // The source as the fill would read it: the palette's colours, black past its end.
  std::uint32_t table[kColorTableEntries] = {};
  for (std::size_t i = 0; i < palette.size() && i < kColorTableEntries; ++i)
    table[i] = palette[i] & 0xFFFFFF;
  Surface source;
  source.width = width;
  source.height = height;
  source.layout = format.layout;
  source.pitch = step;
  source.bits = top;
  if (bits <= 8) {
    source.colorTable = table;
    source.colorCount = 1 << bits;
  }
  Check(SameColours(image.AsSurface(), source));
  return true;
}

void PaintCanvas(Input& in, TextureImage& image) {
  const std::uint8_t layoutByte = in.Byte();
  const PixelLayout layout = kLayouts[(layoutByte & 0x7F) % 7];
  const int width = 1 + in.Byte() % 40;
  const int height = 1 + in.Byte() % 8;
  const std::uint8_t tableByte = in.Byte();
  int x1 = in.Byte() % width;
  int x2 = in.Byte() % width;
  if (x1 > x2) std::swap(x1, x2);
  const int row = in.Byte() % height;
  const int fillX = in.Byte() % width;
  const int fillY = in.Byte() % height;
  const int threshold = static_cast<int>(in.Byte()) * 4 - 200;

  PixelBuffer canvas;
  Check(AllocatePixelBuffer(canvas, width, height, layout, layoutByte & 0x80));
  if (!canvas.colors.empty()) {
    canvas.surface.colorCount = 1 + tableByte % static_cast<int>(canvas.colors.size());
    for (std::uint32_t& entry : canvas.colors)
      entry = in.Word() & 0xFFFFFF;
  }
  for (std::uint8_t& byte : canvas.storage)
    byte = in.Byte();

  const Surface texture = image.AsSurface();
  image.AcquireDC();
  // One row painted at once and pixel by pixel.
  PixelBuffer painted, oneByOne;
  Check(Duplicate(painted, canvas) && Duplicate(oneByOne, canvas));
  PaintTextureRow(painted.surface, texture, x1, x2, row);
  for (int x = x1; x <= x2; ++x)
    CopyRect(oneByOne.surface, x, row, 1, 1, texture, x % texture.width, row % texture.height);
  Check(SameColours(painted.surface, oneByOne.surface));

  // The canvas all painted: what each pixel a fill changes must become.
  PixelBuffer covered;
  Check(Duplicate(covered, canvas));
  for (int y = 0; y < height; ++y)
    PaintTextureRow(covered.surface, texture, 0, width - 1, y);
  PixelBuffer before;
  Check(Duplicate(before, canvas));
  Check(FillRegion(canvas.surface, threshold, fillX, fillY, texture) == FillResult::kFilled);
  image.RelinquishDC();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const ColorRef now = ReadPixel(canvas.surface, x, y);
      Check(now == ReadPixel(before.surface, x, y) || now == ReadPixel(covered.surface, x, y));
    }
  }
  // The fill's own point is always in its area when the threshold lets a colour match itself.
  if (threshold > 0) {
    Check(ReadPixel(canvas.surface, fillX, fillY) == ReadPixel(covered.surface, fillX, fillY));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const MemoryGdiCounts start = MemoryGdiCountsNow();
  Input in{data, size};
  {
    TextureImage image;
    if (LoadTexture(in, image)) PaintCanvas(in, image);
    Check(image.dcUseCount == 0 && image.dc == nullptr);
  }
  const MemoryGdiCounts end = MemoryGdiCountsNow();
  Check(end.misuses == start.misuses && end.liveBitmaps == start.liveBitmaps);
  Check(StbDecoderLiveImages() == 0);
  return 0;
}
