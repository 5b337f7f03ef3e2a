// Texture images decoded by the system's GDI+ into real DIB sections: every path from source
// format to image depth, with pixels checked both in memory (the view the fill reads) and through
// GDI on the image's DC.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "animation/raster.h"
#include "settings/gdi_bitmap.h"
#include "settings/gdiplus_state.h"
#include "settings/texture_image.h"
#include "settings/texture_list.h"
#include "settings/user_message.h"
#include "tests/unit/picture_files.h"

namespace {

using picture_files::Bmp;
using picture_files::Bytes;
using picture_files::DibRowSize;
using picture_files::Png;

// ---- Source pictures -------------------------------------------------------------------------

// A picture as written, and what each of its pixels must read as: RGBQUAD values top-down, the
// alpha in bits 24-31 where the picture has one.
struct Source {
  Bytes file;
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint32_t> palette;
};

std::uint32_t Quad(int red, int green, int blue, int alpha = 0) {
  return static_cast<std::uint32_t>(blue | green << 8 | red << 16 | alpha << 24);
}

int Channel(int x, int y, int salt) {
  return (x * 37 + y * 91 + salt * 53) & 0xFF;
}

std::uint32_t Expand5(std::uint32_t v) {
  return v << 3 | v >> 2;
}

std::uint32_t Expand6(std::uint32_t v) {
  return v << 2 | v >> 4;
}

// Indices (x + 2y) mod the palette's size, except that pixel (1, 0) takes the highest index the
// depth allows, which lies past a short palette and must read black.
Source PaletteBmp(int bitsPerPixel, int paletteSize) {
  Source source;
  source.width = 9;
  source.height = 4;
  for (int i = 0; i < paletteSize; ++i) {
    source.palette.push_back(Quad(i * 40 + 10, 250 - i * 30, i * 7 + 3));
  }
  Bmp bmp;
  bmp.width = source.width;
  bmp.height = source.height;
  bmp.bitsPerPixel = bitsPerPixel;
  bmp.palette = source.palette;
  const std::size_t rowSize = DibRowSize(bmp.width, bitsPerPixel);
  bmp.rows.assign(rowSize * bmp.height, 0);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      int index = (x + 2 * y) % paletteSize;
      if (x == 1 && y == 0) index = (1 << bitsPerPixel) - 1;
      const int bit = x * bitsPerPixel;
      bmp.rows[y * rowSize + bit / 8] |= index << (8 - bitsPerPixel - bit % 8);
      source.pixels.push_back(index < paletteSize ? source.palette[index] : 0);
    }
  }
  source.file = EncodeBmp(bmp);
  return source;
}

// 16-bit words: RGB555 as BI_RGB, or RGB565 with BI_BITFIELDS.
Source WordBmp(bool rgb565) {
  Source source;
  Bmp bmp;
  bmp.width = source.width = 7;
  bmp.height = source.height = 3;
  bmp.bitsPerPixel = 16;
  if (rgb565) {
    bmp.bitfields = true;
    bmp.masks[0] = 0xF800;
    bmp.masks[1] = 0x07E0;
    bmp.masks[2] = 0x001F;
  }
  const std::size_t rowSize = DibRowSize(bmp.width, 16);
  bmp.rows.assign(rowSize * bmp.height, 0);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const std::uint32_t r = Channel(x, y, 0) >> 3;
      const std::uint32_t g = Channel(x, y, 1) >> (rgb565 ? 2 : 3);
      const std::uint32_t b = Channel(x, y, 2) >> 3;
      const std::uint32_t word = rgb565 ? r << 11 | g << 5 | b : r << 10 | g << 5 | b;
      bmp.rows[y * rowSize + 2 * x] = word & 0xFF;
      bmp.rows[y * rowSize + 2 * x + 1] = word >> 8;
      source.pixels.push_back(Expand5(b) | (rgb565 ? Expand6(g) : Expand5(g)) << 8 |
                              Expand5(r) << 16);
    }
  }
  source.file = EncodeBmp(bmp);
  return source;
}

Source TrueColorBmp(int bitsPerPixel) {
  Source source;
  Bmp bmp;
  bmp.width = source.width = 6;
  bmp.height = source.height = 5;
  bmp.bitsPerPixel = bitsPerPixel;
  const std::size_t rowSize = DibRowSize(bmp.width, bitsPerPixel);
  const int bytes = bitsPerPixel / 8;
  bmp.rows.assign(rowSize * bmp.height, 0);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      std::uint8_t* pixel = &bmp.rows[y * rowSize + bytes * x];
      pixel[0] = Channel(x, y, 2);
      pixel[1] = Channel(x, y, 1);
      pixel[2] = Channel(x, y, 0);
      source.pixels.push_back(Quad(Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2)));
    }
  }
  source.file = EncodeBmp(bmp);
  return source;
}

// 8 or 16 bits a channel; with alpha, every third pixel transparent and others half or opaque.
Source RgbPng(int bitDepth, bool alpha) {
  Source source;
  Png png;
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

// ---- Checks ----------------------------------------------------------------------------------

ColorRef ToColorRef(std::uint32_t quad) {
  return (quad & 0xFF) << 16 | (quad & 0xFF00) | (quad >> 16 & 0xFF);
}

// A bottom-up DIB section of the image's size and depth, reached from its top row.
void ExpectBottomUpSection(const TextureImage& image, int width, int height, int bitsPerPixel) {
  ASSERT_NE(image.bitmap, nullptr);
  EXPECT_EQ(image.width, width);
  EXPECT_EQ(image.height, height);
  EXPECT_EQ(image.bitsPerPixel, bitsPerPixel);
  DIBSECTION section;
  ASSERT_EQ(GetObjectA(static_cast<HBITMAP>(image.bitmap), sizeof section, &section),
            static_cast<int>(sizeof section));
  EXPECT_GT(section.dsBmih.biHeight, 0);
  const auto rowSize = static_cast<std::int32_t>(DibRowSize(width, bitsPerPixel));
  EXPECT_EQ(image.pitch, -rowSize);
  EXPECT_EQ(image.bits, static_cast<std::uint8_t*>(section.dsBm.bmBits) + (height - 1) * rowSize);
}

// Every pixel reads as the source's, in memory and through GDI on the image's DC; with
// `alpha`, the fourth byte of each pixel holds the source's alpha.
void ExpectPixels(TextureImage& image, const Source& source, bool alpha) {
  const Surface surface = image.AsSurface();
  HDC dc = static_cast<HDC>(image.AcquireDC());
  ASSERT_NE(dc, nullptr);
  int wrong = 0;
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const std::uint32_t expected = source.pixels[y * source.width + x];
      const ColorRef inMemory = ReadPixel(surface, x, y);
      const ColorRef throughGdi = GetPixel(dc, x, y);
      const bool alphaRight = !alpha || SurfaceRow(surface, y)[4 * x + 3] == expected >> 24;
      if (inMemory != ToColorRef(expected) || throughGdi != inMemory || !alphaRight) {
        if (++wrong <= 5) {
          ADD_FAILURE() << "pixel " << x << "," << y << ": expected " << std::hex
                        << ToColorRef(expected) << " alpha " << (expected >> 24) << ", memory "
                        << inMemory << ", GDI " << throughGdi << ", alpha "
                        << int{SurfaceRow(surface, y)[4 * x + 3]};
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  image.RelinquishDC();
}

// The colour table holds the palette and black after it, in the section and in the copy.
void ExpectColorTable(TextureImage& image, const std::vector<std::uint32_t>& palette) {
  const int size = 1 << image.bitsPerPixel;
  RGBQUAD table[256] = {};
  HDC dc = static_cast<HDC>(image.AcquireDC());
  ASSERT_EQ(GetDIBColorTable(dc, 0, size, table), static_cast<UINT>(size));
  image.RelinquishDC();
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t expected = i < static_cast<int>(palette.size()) ? palette[i] : 0;
    EXPECT_EQ(image.colorTable[i], expected) << "entry " << i;
    if (i >= size) continue;
    std::uint32_t inSection = 0;
    std::memcpy(&inSection, &table[i], sizeof inSection);
    EXPECT_EQ(inSection, expected) << "entry " << i << " of the section";
  }
}

// ---- Fixture ---------------------------------------------------------------------------------

std::vector<std::pair<std::string, std::string>> messages;

void CaptureMessage(const char* text, const char* caption) {
  messages.emplace_back(text, caption);
}

class TextureImageWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTextureImages();
    ResetTextureList();
    messages.clear();
    previousHook_ = SetUserMessageHook(&CaptureMessage);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    static int serial = 0;
    dir_ = std::string(temp) + "vesperine-textures-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++serial);
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
  }

  void TearDown() override {
    ResetTextureImages();
    ResetTextureList();
    SetUserMessageHook(previousHook_);
    for (const std::string& file : files_)
      DeleteFileA(file.c_str());
    RemoveDirectoryA(dir_.c_str());
  }

  std::string Write(const std::string& name, const Bytes& bytes) {
    std::string path = dir_ + "\\" + name;
    EXPECT_TRUE(picture_files::WriteFile(path, bytes)) << path;
    files_.push_back(path);
    return path;
  }

  std::string Missing(const std::string& name) { return dir_ + "\\" + name; }

 private:
  UserMessageHook previousHook_ = nullptr;
  std::string dir_;
  std::vector<std::string> files_;
};

// ---- Files through every path ----------------------------------------------------------------

struct FileCase {
  const char* name;
  Source (*make)();
  int depth;
  PixelLayout layout;
  bool alpha;
};

class TextureFileFormats : public TextureImageWin32,
                           public ::testing::WithParamInterface<FileCase> {};

TEST_P(TextureFileFormats, DecodesIntoASectionOfTheRightDepthWithTheSourcePixels) {
  const FileCase& param = GetParam();
  const Source source = param.make();
  TextureImage image;
  ASSERT_EQ(image.LoadFromFile(Write(param.name, source.file).c_str()), kTextureOk);
  ExpectBottomUpSection(image, source.width, source.height, param.depth);
  EXPECT_EQ(image.layout, param.layout);
  ExpectPixels(image, source, param.alpha);
  if (param.depth <= 8) ExpectColorTable(image, source.palette);
  EXPECT_EQ(image.dcUseCount, 0);
  EXPECT_EQ(image.dc, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    AllPaths, TextureFileFormats,
    ::testing::Values(
        FileCase{"palette1.bmp", [] { return PaletteBmp(1, 2); }, 1, PixelLayout::kIndexed1, false},
        FileCase{"palette4.bmp", [] { return PaletteBmp(4, 5); }, 4, PixelLayout::kIndexed4, false},
        FileCase{"palette8.bmp", [] { return PaletteBmp(8, 7); }, 8, PixelLayout::kIndexed8, false},
        FileCase{"rgb555.bmp", [] { return WordBmp(false); }, 16, PixelLayout::kRgb555, false},
        FileCase{"rgb24.bmp", [] { return TrueColorBmp(24); }, 24, PixelLayout::kBgr24, false},
        FileCase{"rgb24.png", [] { return RgbPng(8, false); }, 24, PixelLayout::kBgr24, false},
        FileCase{"rgb32.bmp", [] { return TrueColorBmp(32); }, 32, PixelLayout::kBgrx32, false},
        FileCase{"argb32.png", [] { return RgbPng(8, true); }, 32, PixelLayout::kBgrx32, true},
        // Sixteen bits a channel carry no GDI flag: drawn into 32 bits, alpha kept.
        FileCase{"rgb48.png", [] { return RgbPng(16, false); }, 32, PixelLayout::kBgrx32, false},
        FileCase{"argb64.png", [] { return RgbPng(16, true); }, 32, PixelLayout::kBgrx32, true}),
    [](const ::testing::TestParamInfo<FileCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == '.') c = '_';
      }
      return name;
    });

// ---- Bitmaps made by GDI+ in memory ----------------------------------------------------------
// Formats that no file decodes to on every system: wrapped rows of our own, fed to the second
// half of loading.

class GdiplusRows {
 public:
  GdiplusRows(int width, int height, int bytesPerPixel, Gdiplus::PixelFormat format)
      : stride_((width * bytesPerPixel + 3) & ~3),
        rows_(static_cast<std::size_t>(stride_) * height) {
    EXPECT_TRUE(GdiplusState.Start());
    EXPECT_EQ(Gdiplus::DllExports::GdipCreateBitmapFromScan0(width, height, stride_, format,
                                                             rows_.data(), &bitmap_),
              Gdiplus::Ok);
  }
  ~GdiplusRows() {
    if (bitmap_) Gdiplus::DllExports::GdipDisposeImage(bitmap_);
  }
  GdiplusRows(const GdiplusRows&) = delete;
  GdiplusRows& operator=(const GdiplusRows&) = delete;

  std::uint8_t* Pixel(int x, int y, int bytesPerPixel) {
    return rows_.data() + y * stride_ + x * bytesPerPixel;
  }
  Gdiplus::GpBitmap* bitmap() const { return bitmap_; }

 private:
  int stride_;
  std::vector<std::uint8_t> rows_;
  Gdiplus::GpBitmap* bitmap_ = nullptr;
};

// RGB565 needs a section with the 565 masks, else its rows would be copied into an RGB555 layout
// and every green and red shift.
TEST_F(TextureImageWin32, Rgb565RowsGoIntoA565Section) {
  TextureImage image;
  Source source;
  source.width = 7;
  source.height = 3;
  GdiplusRows rows(source.width, source.height, 2, PixelFormat16bppRGB565);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const std::uint32_t r = Channel(x, y, 0) >> 3;
      const std::uint32_t g = Channel(x, y, 1) >> 2;
      const std::uint32_t b = Channel(x, y, 2) >> 3;
      const std::uint32_t word = r << 11 | g << 5 | b;
      rows.Pixel(x, y, 2)[0] = word & 0xFF;
      rows.Pixel(x, y, 2)[1] = word >> 8;
      source.pixels.push_back(Expand5(b) | Expand6(g) << 8 | Expand5(r) << 16);
    }
  }
  ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
  ExpectBottomUpSection(image, source.width, source.height, 16);
  EXPECT_EQ(image.layout, PixelLayout::kRgb565);
  DIBSECTION section;
  ASSERT_EQ(GetObjectA(static_cast<HBITMAP>(image.bitmap), sizeof section, &section),
            static_cast<int>(sizeof section));
  EXPECT_EQ(section.dsBmih.biCompression, static_cast<DWORD>(BI_BITFIELDS));
  EXPECT_EQ(section.dsBitfields[0], 0xF800u);
  EXPECT_EQ(section.dsBitfields[1], 0x07E0u);
  EXPECT_EQ(section.dsBitfields[2], 0x001Fu);
  ExpectPixels(image, source, false);
}

// Premultiplied ARGB and ARGB1555 have the alpha flag but another layout: drawn into 32-bit
// ARGB, colours unpremultiplied, alpha kept.
TEST_F(TextureImageWin32, OtherAlphaFormatsAreDrawnIntoArgb) {
  {
    TextureImage image;
    GdiplusRows rows(3, 1, 4, PixelFormat32bppPARGB);
    const std::uint8_t premultiplied[] = {0x40, 0x20, 0x10, 0x80, 0x80, 0x40,
                                          0x20, 0xFF, 0,    0,    0,    0};
    std::memcpy(rows.Pixel(0, 0, 4), premultiplied, sizeof premultiplied);
    ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
    ExpectBottomUpSection(image, 3, 1, 32);
    const std::uint8_t* pixel = image.bits;
    EXPECT_NEAR(pixel[0], 0x7F, 1);
    EXPECT_NEAR(pixel[1], 0x3F, 1);
    EXPECT_NEAR(pixel[2], 0x1F, 1);
    EXPECT_EQ(pixel[3], 0x80);
    EXPECT_EQ(std::vector<std::uint8_t>(pixel + 4, pixel + 12),
              (std::vector<std::uint8_t>{0x80, 0x40, 0x20, 0xFF, 0, 0, 0, 0}));
  }
  {
    TextureImage image;
    GdiplusRows rows(2, 2, 2, PixelFormat16bppARGB1555);
    const std::uint16_t words[] = {0x8000 | 31 << 10 | 7 << 5 | 1, 31 << 10, 0x8000 | 3 << 5, 0};
    for (int i = 0; i < 4; ++i)
      std::memcpy(rows.Pixel(i % 2, i / 2, 2), &words[i], 2);
    ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
    ExpectBottomUpSection(image, 2, 2, 32);
    // Blue, green, red, alpha; GDI+ widens 5 bits to 8 in its own rounding.
    const std::uint8_t* top = image.bits;
    const std::uint8_t* bottom = image.bits + image.pitch;
    EXPECT_NEAR(top[0], Expand5(1), 2);
    EXPECT_NEAR(top[1], Expand5(7), 2);
    EXPECT_EQ(top[2], 0xFF);
    EXPECT_EQ(top[3], 0xFF);
    EXPECT_EQ(top[7], 0);  // transparent
    EXPECT_NEAR(bottom[1], Expand5(3), 2);
    EXPECT_EQ(bottom[3], 0xFF);
  }
}

// Without the GDI flag the pixels are drawn into 32-bit RGB, right side up.
TEST_F(TextureImageWin32, FormatsWithoutTheGdiFlagAreDrawnInto32Bit) {
  TextureImage image;
  Source source;
  source.width = 5;
  source.height = 3;
  GdiplusRows rows(source.width, source.height, 6, PixelFormat48bppRGB);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      std::uint8_t* pixel = rows.Pixel(x, y, 6);
      // Blue, green, red of 16 bits each; 0x1000 and below is inside every reading of the range.
      const int channels[] = {Channel(x, y, 2) >> 4, Channel(x, y, 1) >> 4, Channel(x, y, 0) >> 4};
      for (int c = 0; c < 3; ++c) {
        pixel[2 * c] = 0;
        pixel[2 * c + 1] = static_cast<std::uint8_t>(channels[c]);
      }
      source.pixels.push_back(Quad(channels[2], channels[1], channels[0]));
    }
  }
  ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
  ExpectBottomUpSection(image, source.width, source.height, 32);
  EXPECT_EQ(image.layout, PixelLayout::kBgrx32);
  ExpectPixels(image, source, false);
}

// A full palette of 256 entries (1032 bytes) is staged on the heap rather than the stack.
TEST_F(TextureImageWin32, AFullPaletteIsCopiedWhole) {
  TextureImage image;
  GdiplusRows rows(4, 1, 1, PixelFormat8bppIndexed);
  for (int x = 0; x < 4; ++x)
    rows.Pixel(x, 0, 1)[0] = static_cast<std::uint8_t>(x * 85);
  std::vector<UINT> palette(2 + 256);
  palette[1] = 256;
  std::vector<std::uint32_t> expected;
  for (int i = 0; i < 256; ++i) {
    palette[2 + i] = 0xFF000000u | static_cast<UINT>(i * 0x010203);
    expected.push_back(static_cast<std::uint32_t>(i * 0x010203) & 0xFFFFFF);
  }
  ASSERT_EQ(Gdiplus::DllExports::GdipSetImagePalette(
                rows.bitmap(), reinterpret_cast<Gdiplus::ColorPalette*>(palette.data())),
            Gdiplus::Ok);
  ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
  ExpectBottomUpSection(image, 4, 1, 8);
  ExpectColorTable(image, expected);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(image.bits[x], x * 85);
}

// The rows of a bitmap that another lock holds cannot be had: the load fails rather than copy
// from a pointer the failed lock never set.
TEST_F(TextureImageWin32, ALockThatFailsFailsTheLoad) {
  TextureImage image;
  GdiplusRows rows(4, 2, 3, PixelFormat24bppRGB);
  Gdiplus::GpRect whole(0, 0, 4, 2);
  Gdiplus::BitmapData held = {};
  ASSERT_EQ(Gdiplus::DllExports::GdipBitmapLockBits(
                rows.bitmap(), &whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &held),
            Gdiplus::Ok);
  EXPECT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureFail);
  Gdiplus::DllExports::GdipBitmapUnlockBits(rows.bitmap(), &held);
}

TEST_F(TextureImageWin32, SizesBeyondTheBoundMakeNoSection) {
  TextureImage image;
  EXPECT_FALSE(image.CreateDib(46341, 46341, 1));  // 46341^2 x 4 bytes exceeds 2^31
  EXPECT_FALSE(image.CreateDib(0, 5, 32));
  EXPECT_FALSE(image.CreateDib(5, -1, 32));
  EXPECT_EQ(image.bitmap, nullptr);
  EXPECT_TRUE(image.CreateDib(3, 2, 24));
}

// ---- Files that fail, and the texture set --------------------------------------------------

TEST_F(TextureImageWin32, BrokenFilesFailToLoad) {
  Png big;
  big.width = 2;
  big.height = 2;
  big.rows.assign(12, 0x55);
  const Bytes whole = EncodePng(big);
  big.claimedWidth = big.claimedHeight = 65535;
  const std::string paths[] = {
      Missing("missing.png"),
      Write("empty.png", {}),
      Write("truncated.png", Bytes(whole.begin(), whole.begin() + whole.size() / 2)),
      Write("text.png", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}),
      Write("huge.png", EncodePng(big)),
  };
  for (const std::string& path : paths) {
    TextureImage image;
    EXPECT_EQ(image.LoadFromFile(path.c_str()), kTextureFail) << path;
    EXPECT_EQ(image.bitmap, nullptr) << path;
  }
}

TEST_F(TextureImageWin32, LoadsTheGoodFilesOfAListInOrderAndReportsEachBrokenOne) {
  const Source first = TrueColorBmp(24);
  const Source second = RgbPng(8, true);
  const Source third = PaletteBmp(8, 7);
  const std::string missing = Missing("gone.bmp");
  const std::string text = Write("text.png", Bytes{'h', 'e', 'l', 'l', 'o'});
  const std::string list[] = {Write("first.bmp", first.file), missing,
                              Write("second.png", second.file), text,
                              Write("third.bmp", third.file)};
  std::string block;
  for (const std::string& path : list)
    block += path + '\0';
  block += '\0';
  AppendTexturesFromMultiString(block.data(), block.size());

  LoadTextureImages();

  ASSERT_EQ(TextureSet.Count(), 3);
  ExpectPixels(*TextureSet.At(0), first, false);
  ExpectPixels(*TextureSet.At(1), second, true);
  ExpectPixels(*TextureSet.At(2), third, false);
  const std::string tail =
      "!\nWrong texture name or missed file. This texture will not be displayed.";
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].first, "Error loading textures from file\n" + missing + tail);
  EXPECT_EQ(messages[1].first, "Error loading textures from file\n" + text + tail);
  for (const auto& message : messages)
    EXPECT_EQ(message.second, "Message");
  EXPECT_NE(GdiplusState.Token(), 0u);

  TextureSet.DestroyImages();
  EXPECT_EQ(GdiplusState.Token(), 0u);
  EXPECT_EQ(GdiplusState.LiveImages(), 0);
}

}  // namespace
