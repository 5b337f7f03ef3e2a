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

#include "raster/raster.h"
#include "textures/gdiplus_state.h"
#include "textures/texture_image.h"
#include "settings/texture_list.h"
#include "settings/user_message.h"
#include "tests/unit/message_capture.h"
#include "tests/unit/picture_files.h"
#include "tests/unit/picture_sources.h"

namespace {

using picture_files::Bytes;
using picture_files::DibRowSize;
using picture_files::MakeDib;
using picture_files::MakePng;
using picture_files::Source;

// A GDI+ bitmap over rows of our own.
class GdiplusRows {
 public:
  GdiplusRows(int width, int height, Gdiplus::PixelFormat format, Bytes rows)
      : rows_(std::move(rows)) {
    EXPECT_TRUE(GdiplusState.Start());
    const auto stride = static_cast<INT>(rows_.size() / height);
    EXPECT_EQ(Gdiplus::DllExports::GdipCreateBitmapFromScan0(width, height, stride, format,
                                                             rows_.data(), &bitmap_),
              Gdiplus::Ok);
  }
  ~GdiplusRows() { Gdiplus::DllExports::GdipDisposeImage(bitmap_); }
  GdiplusRows(const GdiplusRows&) = delete;
  GdiplusRows& operator=(const GdiplusRows&) = delete;

  Gdiplus::GpBitmap* bitmap() const { return bitmap_; }

 private:
  Bytes rows_;
  Gdiplus::GpBitmap* bitmap_ = nullptr;
};

// ---- Checks ----------------------------------------------------------------------------------

// A bottom-up DIB section of the source's size at `bitsPerPixel`, reached from its top row.
void ExpectBottomUpSection(const TextureImage& image, const Source& source, int bitsPerPixel) {
  ASSERT_NE(image.bitmap, nullptr);
  EXPECT_EQ(image.width, source.width);
  EXPECT_EQ(image.height, source.height);
  EXPECT_EQ(image.bitsPerPixel, bitsPerPixel);
  DIBSECTION section;
  ASSERT_EQ(GetObjectA(static_cast<HBITMAP>(image.bitmap), sizeof section, &section),
            static_cast<int>(sizeof section));
  EXPECT_GT(section.dsBmih.biHeight, 0);
  const auto rowSize = static_cast<std::int32_t>(DibRowSize(image.width, bitsPerPixel));
  EXPECT_EQ(image.pitch, -rowSize);
  EXPECT_EQ(image.bits,
            static_cast<std::uint8_t*>(section.dsBm.bmBits) + (image.height - 1) * rowSize);
}

// Every pixel reads as the source's, in memory and through GDI on the image's DC; with `alpha`,
// the fourth byte of each pixel holds the source's alpha.
void ExpectPixels(TextureImage& image, const Source& source, bool alpha) {
  const Surface surface = image.AsSurface();
  HDC dc = static_cast<HDC>(image.AcquireDC());
  int wrong = 0;
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const std::uint32_t quad = source.pixels[y * source.width + x];
      const ColorRef expected = SwapRedBlue(quad);
      const ColorRef inMemory = ReadPixel(surface, x, y);
      const ColorRef throughGdi = GetPixel(dc, x, y);
      const int storedAlpha = SurfaceRow(surface, y)[4 * x + 3];
      if ((inMemory != expected || throughGdi != inMemory ||
           (alpha && storedAlpha != static_cast<int>(quad >> 24))) &&
          ++wrong <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << std::hex << ": expected " << expected
                      << " alpha " << (quad >> 24) << ", memory " << inMemory << ", GDI "
                      << throughGdi << ", alpha " << storedAlpha;
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
  ASSERT_EQ(GetDIBColorTable(static_cast<HDC>(image.AcquireDC()), 0, size, table),
            static_cast<UINT>(size));
  image.RelinquishDC();
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t expected = i < static_cast<int>(palette.size()) ? palette[i] : 0;
    EXPECT_EQ(image.colorTable[i], expected) << "entry " << i;
    std::uint32_t inSection = 0;
    std::memcpy(&inSection, &table[i], sizeof inSection);
    if (i < size) {
      EXPECT_EQ(inSection, expected) << "entry " << i << " of the section";
    }
  }
}

// ---- Fixture ---------------------------------------------------------------------------------

}  // namespace

// Outside the anonymous namespace: the shared cases derive from it in another file.
class TextureImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTextureImages();
    ResetTextureList();
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
    for (const std::string& file : files_)
      DeleteFileA(file.c_str());
    RemoveDirectoryA(dir_.c_str());
  }

  std::string Write(const std::string& name, const Bytes& bytes) {
    files_.push_back(PathOf(name));
    EXPECT_TRUE(picture_files::WriteFile(files_.back(), bytes)) << files_.back();
    return files_.back();
  }

  std::string PathOf(const std::string& name) { return dir_ + "\\" + name; }

 private:
  MessageCapture messages_;
  std::string dir_;
  std::vector<std::string> files_;
};

#include "tests/unit/texture_image_cases.h"

namespace {

// ---- Files through every path ----------------------------------------------------------------

struct FileCase {
  const char* name;
  Source (*make)();
  int depth;
  PixelLayout layout;
  bool alpha;
};

class TextureFileFormats : public TextureImageTest,
                           public ::testing::WithParamInterface<FileCase> {};

TEST_P(TextureFileFormats, DecodesIntoASectionOfTheRightDepthWithTheSourcePixels) {
  const FileCase& param = GetParam();
  const Source source = param.make();
  TextureImage image;
  ASSERT_EQ(image.LoadFromFile(Write(param.name, source.file).c_str()), kTextureOk);
  ExpectBottomUpSection(image, source, param.depth);
  EXPECT_EQ(image.layout, param.layout);
  ExpectPixels(image, source, param.alpha);
  if (param.depth <= 8) ExpectColorTable(image, source.palette);
  EXPECT_EQ(image.dc, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    AllPaths, TextureFileFormats,
    ::testing::Values(
        FileCase{"palette1.bmp", [] { return MakeDib(1, 2); }, 1, PixelLayout::kIndexed1, false},
        FileCase{"palette4.bmp", [] { return MakeDib(4, 5); }, 4, PixelLayout::kIndexed4, false},
        FileCase{"palette8.bmp", [] { return MakeDib(8, 7); }, 8, PixelLayout::kIndexed8, false},
        FileCase{"rgb555.bmp", [] { return MakeDib(16); }, 16, PixelLayout::kRgb555, false},
        FileCase{"rgb24.png", [] { return MakePng(8, false); }, 24, PixelLayout::kBgr24, false},
        FileCase{"rgb32.bmp", [] { return MakeDib(32); }, 32, PixelLayout::kBgrx32, false},
        FileCase{"argb32.png", [] { return MakePng(8, true); }, 32, PixelLayout::kBgrx32, true},
        // Sixteen bits a channel: a 48- or 64-bit format is drawn into 32 bits, and a decoder
        // that gives 32-bit ARGB itself is copied; either way 32 bits, alpha kept.
        FileCase{"rgb48.png", [] { return MakePng(16, false); }, 32, PixelLayout::kBgrx32, false},
        FileCase{"argb64.png", [] { return MakePng(16, true); }, 32, PixelLayout::kBgrx32, true}),
    [](const ::testing::TestParamInfo<FileCase>& info) {
      std::string name = info.param.name;
      name[name.find('.')] = '_';
      return name;
    });

// ---- Bitmaps made by GDI+ in memory ----------------------------------------------------------
// Formats that no file decodes to on every system, fed to the second half of loading.

// RGB565 needs a section with the 565 masks, else its rows would be copied into an RGB555 layout
// and every green and red would shift.
TEST_F(TextureImageTest, Rgb565RowsGoIntoA565Section) {
  const Source source = MakeDib(16, 0, true);
  GdiplusRows rows(source.width, source.height, PixelFormat16bppRGB565, source.rows);
  TextureImage image;
  ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
  ExpectBottomUpSection(image, source, 16);
  EXPECT_EQ(image.layout, PixelLayout::kRgb565);
  DIBSECTION section;
  GetObjectA(static_cast<HBITMAP>(image.bitmap), sizeof section, &section);
  EXPECT_EQ(section.dsBmih.biCompression, static_cast<DWORD>(BI_BITFIELDS));
  EXPECT_EQ(section.dsBitfields[0], 0xF800u);
  EXPECT_EQ(section.dsBitfields[1], 0x07E0u);
  EXPECT_EQ(section.dsBitfields[2], 0x001Fu);
  ExpectPixels(image, source, false);
}

// Without the GDI flag the pixels are drawn into 32-bit RGB, right side up.
TEST_F(TextureImageTest, FormatsWithoutTheGdiFlagAreDrawnInto32Bit) {
  Source source = MakeDib(24);
  Bytes deep;  // blue, green, red of 16 bits each, expected as wine's GDI+ reads them: high bytes
  for (std::size_t i = 0; i < source.rows.size(); ++i) {
    deep.push_back(0);
    deep.push_back(source.rows[i]);
  }
  GdiplusRows rows(source.width, source.height, PixelFormat48bppRGB, deep);
  TextureImage image;
  ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
  ExpectBottomUpSection(image, source, 32);
  ExpectPixels(image, source, false);
}

// The alpha flag with another layout: drawn into 32-bit ARGB, colours unpremultiplied.
TEST_F(TextureImageTest, PremultipliedArgbIsDrawnIntoArgb) {
  GdiplusRows rows(2, 1, PixelFormat32bppPARGB, {0x40, 0x20, 0x10, 0x80, 0x80, 0x40, 0x20, 0xFF});
  TextureImage image;
  ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
  EXPECT_EQ(image.bitsPerPixel, 32);
  const std::uint8_t* pixel = image.bits;
  EXPECT_NEAR(pixel[0], 0x7F, 1);
  EXPECT_NEAR(pixel[1], 0x3F, 1);
  EXPECT_NEAR(pixel[2], 0x1F, 1);
  EXPECT_EQ(pixel[3], 0x80);
  EXPECT_EQ(Bytes(pixel + 4, pixel + 8), (Bytes{0x80, 0x40, 0x20, 0xFF}));
}

// A full palette of 256 entries (1032 bytes) is staged on the heap rather than the stack.
TEST_F(TextureImageTest, AFullPaletteIsCopiedWhole) {
  GdiplusRows rows(4, 1, PixelFormat8bppIndexed, {0, 85, 170, 255});
  std::vector<UINT> palette = {0, 256};
  std::vector<std::uint32_t> expected;
  for (UINT i = 0; i < 256; ++i) {
    palette.push_back(0xFF000000u | i * 0x010203);
    expected.push_back(i * 0x010203 & 0xFFFFFF);
  }
  ASSERT_EQ(Gdiplus::DllExports::GdipSetImagePalette(
                rows.bitmap(), reinterpret_cast<Gdiplus::ColorPalette*>(palette.data())),
            Gdiplus::Ok);
  TextureImage image;
  ASSERT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureOk);
  EXPECT_EQ(image.bitsPerPixel, 8);
  ExpectColorTable(image, expected);
  EXPECT_EQ(Bytes(image.bits, image.bits + 4), (Bytes{0, 85, 170, 255}));
}

// The rows of a bitmap that another lock holds cannot be had: the load fails rather than copy
// from a pointer the failed lock never set.
TEST_F(TextureImageTest, ALockThatFailsFailsTheLoad) {
  GdiplusRows rows(4, 2, PixelFormat24bppRGB, Bytes(24, 0x33));
  Gdiplus::GpRect whole(0, 0, 4, 2);
  Gdiplus::BitmapData held = {};
  ASSERT_EQ(Gdiplus::DllExports::GdipBitmapLockBits(
                rows.bitmap(), &whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &held),
            Gdiplus::Ok);
  TextureImage image;
  EXPECT_EQ(image.FillFromDecoded(rows.bitmap()), kTextureFail);
  Gdiplus::DllExports::GdipBitmapUnlockBits(rows.bitmap(), &held);
}

}  // namespace
