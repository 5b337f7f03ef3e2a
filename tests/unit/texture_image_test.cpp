// Texture images over the portable seams: stb decoding, heap DIB sections and recorded DCs. The
// memory GDI counts every breach of GDI's rules, and each test ends with none.
#include "textures/texture_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/region_fill.h"
#include "textures/dc_cache.h"
#include "textures/gdi_bitmap_memory.h"
#include "textures/gdiplus_state.h"
#include "textures/image_decoder_stb.h"
#include "settings/texture_list.h"
#include "settings/user_message.h"
#include "tests/unit/message_capture.h"
#include "tests/unit/picture_files.h"
#include "tests/unit/picture_sources.h"

namespace {

using picture_files::Bytes;
using picture_files::Png;

ColorRef Rgb(int red, int green, int blue) {
  return static_cast<ColorRef>(red | green << 8 | blue << 16);
}

int Channel(int x, int y, int salt) {
  return (x * 41 + y * 87 + salt * 59) & 0xFF;
}

// A width x height PNG; 16-bit channels get a low byte unlike their high byte, which is the one
// that counts. With alpha, pixel (x, y) has alpha Channel(x, y, 3).
Bytes MakePng(int width, int height, int bitDepth, bool alpha) {
  Png png;
  png.width = width;
  png.height = height;
  png.bitDepth = bitDepth;
  png.colorType = alpha ? 6 : 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < (alpha ? 4 : 3); ++c) {
        png.rows.push_back(static_cast<std::uint8_t>(Channel(x, y, c)));
        if (bitDepth == 16) png.rows.push_back(0x5A);
      }
    }
  }
  return EncodePng(png);
}

// Pixels as MakePng made them, and the fourth byte holding the alpha when `alpha`.
void ExpectPngPixels(const TextureImage& image, int width, int height, bool alpha) {
  const Surface surface = image.AsSurface();
  ASSERT_EQ(surface.width, width);
  ASSERT_EQ(surface.height, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      ASSERT_EQ(ReadPixel(surface, x, y), Rgb(Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2)))
          << x << "," << y;
      if (alpha) {
        ASSERT_EQ(SurfaceRow(surface, y)[4 * x + 3], Channel(x, y, 3)) << x << "," << y;
      }
    }
  }
}

// Bottom-up section: bits at the last row in memory, pitch minus the padded row size.
void ExpectBottomUp(const TextureImage& image) {
  DibSectionInfo info;
  ASSERT_TRUE(GdiReadDibSection(image.bitmap, &info));
  EXPECT_GT(info.height, 0);
  const int rowBytes = (image.width * image.bitsPerPixel + 31) / 32 * 4;
  EXPECT_EQ(image.pitch, -rowBytes);
  EXPECT_EQ(image.bits, info.bits + (image.height - 1) * rowBytes);
}

// Pixels as the source gives them, with the alpha in the fourth byte when `alpha`.
void ExpectPixels(TextureImage& image, const picture_files::Source& source, bool alpha) {
  const Surface surface = image.AsSurface();
  ASSERT_EQ(surface.width, source.width);
  ASSERT_EQ(surface.height, source.height);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const std::uint32_t quad = source.pixels[y * source.width + x];
      ASSERT_EQ(ReadPixel(surface, x, y), SwapRedBlue(quad)) << x << "," << y;
      if (alpha) {
        ASSERT_EQ(SurfaceRow(surface, y)[4 * x + 3], quad >> 24) << x << "," << y;
      }
    }
  }
}

}  // namespace

// Outside the anonymous namespace: the shared cases derive from it in another file.
class TextureImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTextureImages();
    ResetTextureList();
    before_ = MemoryGdiCountsNow();
    // Unique across test processes that ctest runs side by side.
    dir_ = std::filesystem::temp_directory_path() /
           ("vesperine-textures-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(dir_);
  }

  void TearDown() override {
    ResetTextureImages();
    ResetTextureList();
    MemoryGdiFailDibSections(false);
    StbDecoderFailLocks(false);
    StbDecoderFailStartup(false);
    const MemoryGdiCounts after = MemoryGdiCountsNow();
    EXPECT_EQ(after.misuses, before_.misuses);
    EXPECT_EQ(after.liveBitmaps, before_.liveBitmaps);
    EXPECT_EQ(after.liveDCs, 0);
    EXPECT_EQ(StbDecoderLiveImages(), 0);
    EXPECT_EQ(StbDecoderRunningSessions(), 0);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = (dir_ / name).string();
    EXPECT_TRUE(picture_files::WriteFile(path, bytes)) << path;
    return path;
  }

  std::string PathOf(const std::string& name) { return (dir_ / name).string(); }

  MemoryGdiCounts before_;

 private:
  MessageCapture messages_;
  std::filesystem::path dir_;
};

#include "tests/unit/texture_image_cases.h"

namespace {

// ---- Loading files ---------------------------------------------------------------------------

TEST_F(TextureImageTest, EightBitPicturesAreCopiedRowByRow) {
  TextureImage rgb;
  ASSERT_EQ(rgb.LoadFromFile(Write("rgb.png", MakePng(5, 4, 8, false)).c_str()), kTextureOk);
  EXPECT_EQ(rgb.bitsPerPixel, 24);
  EXPECT_EQ(rgb.layout, PixelLayout::kBgr24);
  ExpectBottomUp(rgb);
  ExpectPngPixels(rgb, 5, 4, false);

  TextureImage argb;
  ASSERT_EQ(argb.LoadFromFile(Write("argb.png", MakePng(3, 6, 8, true)).c_str()), kTextureOk);
  EXPECT_EQ(argb.bitsPerPixel, 32);
  ExpectBottomUp(argb);
  ExpectPngPixels(argb, 3, 6, true);
  EXPECT_EQ(argb.dc, nullptr);
}

// Formats without the GDI flag go through a wrapper over the section's own rows, which starts at
// the top row and steps backwards: a wrong sign would turn the picture upside down.
TEST_F(TextureImageTest, SixteenBitChannelsAreDrawnInto32BitRightSideUp) {
  TextureImage rgb;
  ASSERT_EQ(rgb.LoadFromFile(Write("rgb48.png", MakePng(4, 5, 16, false)).c_str()), kTextureOk);
  EXPECT_EQ(rgb.bitsPerPixel, 32);
  ExpectBottomUp(rgb);
  ExpectPngPixels(rgb, 4, 5, false);

  TextureImage argb;
  ASSERT_EQ(argb.LoadFromFile(Write("argb64.png", MakePng(4, 5, 16, true)).c_str()), kTextureOk);
  ExpectPngPixels(argb, 4, 5, true);
}

TEST_F(TextureImageTest, LoadsFailWhenGdiplusTheSectionOrTheLockFails) {
  const std::string path = Write("good.png", MakePng(3, 3, 8, false));
  {
    StbDecoderFailStartup(true);
    TextureImage image;
    EXPECT_EQ(image.LoadFromFile(path.c_str()), kTextureFail);
    EXPECT_EQ(GdiplusState.Token(), 0u);
    StbDecoderFailStartup(false);
  }
  {
    MemoryGdiFailDibSections(true);
    TextureImage image;
    EXPECT_EQ(image.LoadFromFile(path.c_str()), kTextureFail);
    EXPECT_EQ(image.bitmap, nullptr);
    MemoryGdiFailDibSections(false);
  }
  {
    StbDecoderFailLocks(true);
    TextureImage image;
    EXPECT_EQ(image.LoadFromFile(path.c_str()), kTextureFail);
    StbDecoderFailLocks(false);
  }
  {
    // A 16-bit PNG is drawn into a 32-bit image rather than copied.
    const std::string deep = Write("deep.png", MakePng(3, 3, 16, false));
    StbDecoderFailDraws(true);
    TextureImage image;
    EXPECT_EQ(image.LoadFromFile(deep.c_str()), kTextureFail);
    StbDecoderFailDraws(false);
  }
}

TEST_F(TextureImageTest, CreateDibRefusesSizesOutsideTheBound) {
  TextureImage image;
  // More than 256 MiB as kept: rows padded to 4 bytes, at the section's own depth.
  EXPECT_FALSE(image.CreateDib(8192, 8193, 32));
  EXPECT_FALSE(image.CreateDib(10000, 8948, 24));
  EXPECT_FALSE(image.CreateDib(12000, 12000, 16));
  EXPECT_FALSE(image.CreateDib(46341, 46341, 1));
  EXPECT_FALSE(image.CreateDib(0, 4, 32));
  EXPECT_FALSE(image.CreateDib(4, 0, 32));
  EXPECT_FALSE(image.CreateDib(4, -4, 32));
  EXPECT_EQ(image.bitmap, nullptr);

  DibHeader header;
  ASSERT_TRUE(image.CreateDib(3, 2, 16, true));
  ASSERT_TRUE(MemoryGdiDibHeader(image.bitmap, &header));
  EXPECT_EQ(header.compression, kDibBitfields);
  EXPECT_EQ(header.colorMasks[0], 0xF800u);
  EXPECT_EQ(header.colorMasks[1], 0x07E0u);
  EXPECT_EQ(header.colorMasks[2], 0x001Fu);
  EXPECT_EQ(image.layout, PixelLayout::kRgb565);
  ASSERT_TRUE(image.CreateDib(3, 2, 16));
  ASSERT_TRUE(MemoryGdiDibHeader(image.bitmap, &header));
  EXPECT_EQ(header.compression, kDibRgb);
  EXPECT_EQ(image.layout, PixelLayout::kRgb555);
}

// Indexed rows wrapped by hand: the palette goes into the colour table (the first 256 entries of
// a longer one, staged on the heap), entries after it stay black, and the rows are copied.
TEST_F(TextureImageTest, PalettesFillTheColourTable) {
  ASSERT_TRUE(GdiplusState.Start());
  for (int paletteSize : {5, 300}) {
    std::uint8_t rows[2][4] = {{0x01, 0x23, 0x4F, 0}, {0x44, 0x32, 0x10, 0}};
    DecodedImage wrapper = nullptr;
    ASSERT_EQ(DecoderWrapRows(6, 2, 4, kPixelFormat4bppIndexed, rows[0], &wrapper), kDecoderOk);
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < paletteSize; ++i)
      palette.push_back(0xFF000000u | (i * 0x030507));
    ASSERT_EQ(StbDecoderSetPalette(wrapper, palette.data(), paletteSize), kDecoderOk);

    TextureImage image;
    EXPECT_EQ(image.FillFromDecoded(wrapper), kTextureOk);
    DecoderDisposeImage(wrapper);
    ASSERT_EQ(image.bitsPerPixel, 4);
    ExpectBottomUp(image);
    const std::uint32_t* inSection = MemoryGdiColorTable(image.bitmap);
    for (int i = 0; i < kColorTableEntries; ++i) {
      const std::uint32_t expected = i < paletteSize ? (i * 0x030507) & 0xFFFFFF : 0;
      ASSERT_EQ(image.colorTable[i], expected) << i;
      if (i < 16) {
        ASSERT_EQ(inSection[i], expected) << i;
      }
    }
    EXPECT_EQ(image.bits[0], 0x01);
    EXPECT_EQ(image.bits[image.pitch], 0x44);
    // Index 0xF lies past a palette of 5: black.
    EXPECT_EQ(ReadPixel(image.AsSurface(), 5, 0),
              paletteSize > 15 ? Rgb(15 * 3, 15 * 5, 15 * 7) : Rgb(0, 0, 0));
    EXPECT_EQ(image.dc, nullptr);
  }
}

// ---- DCs -------------------------------------------------------------------------------------

TEST_F(TextureImageTest, AcquiredDcsAreNestedAndGoBackToTheCache) {
  TextureImage image;
  ASSERT_TRUE(image.CreateDib(4, 4, 8));
  const DcHandle dc = image.AcquireDC();
  EXPECT_EQ(image.AcquireDC(), dc);
  EXPECT_EQ(image.dcUseCount, 2);
  EXPECT_EQ(MemoryGdiSelectedObject(dc), image.bitmap);
  image.RelinquishDC();
  EXPECT_EQ(image.dc, dc);
  image.RelinquishDC();
  EXPECT_EQ(image.dc, nullptr);
  EXPECT_EQ(DCCache.Slot(0), dc);
  EXPECT_NE(MemoryGdiSelectedObject(dc), image.bitmap);

  const int created = MemoryGdiCountsNow().dcsCreated;
  TextureImage other;
  ASSERT_TRUE(other.CreateDib(2, 2, 32));
  EXPECT_EQ(other.AcquireDC(), dc);
  EXPECT_EQ(DCCache.Slot(0), nullptr);
  other.RelinquishDC();
  EXPECT_EQ(MemoryGdiCountsNow().dcsCreated, created);
}

TEST_F(TextureImageTest, TheCacheKeepsFourDcsAndDeletesTheOldest) {
  const int created = MemoryGdiCountsNow().dcsCreated;
  DcHandle dcs[5];
  for (DcHandle& dc : dcs)
    dc = DCCache.Take();
  EXPECT_EQ(MemoryGdiCountsNow().dcsCreated, created + 5);
  for (DcHandle dc : dcs)
    DCCache.PutBack(dc);

  // Each DC put back went to slot 0 and pushed the others on; the first one fell out.
  for (int slot = 0; slot < kDcCacheSlots; ++slot)
    EXPECT_EQ(DCCache.Slot(slot), dcs[4 - slot]);
  EXPECT_EQ(MemoryGdiCountsNow().liveDCs, 4);
  EXPECT_EQ(MemoryGdiSelectedObject(dcs[0]), nullptr);  // deleted

  EXPECT_EQ(DCCache.Take(), dcs[4]);
  EXPECT_EQ(DCCache.Take(), dcs[3]);
  EXPECT_EQ(DCCache.Slot(2), dcs[2]);
  DCCache.PutBack(dcs[4]);
  DCCache.PutBack(dcs[3]);
  EXPECT_EQ(MemoryGdiCountsNow().dcsCreated, created + 5);
}

// ---- GDI+ and the texture set ----------------------------------------------------------------

TEST_F(TextureImageTest, GdiplusRunsWhileImagesLive) {
  const std::string good = Write("good.png", MakePng(2, 2, 8, false));
  auto* first = new TextureImage;
  EXPECT_EQ(GdiplusState.Token(), 0u);
  ASSERT_EQ(first->LoadFromFile(good.c_str()), kTextureOk);
  auto* second = new TextureImage;
  ASSERT_EQ(second->LoadFromFile(good.c_str()), kTextureOk);
  EXPECT_EQ(StbDecoderRunningSessions(), 1);
  EXPECT_EQ(GdiplusState.LiveImages(), 2);
  delete first;
  EXPECT_NE(GdiplusState.Token(), 0u);
  delete second;
  EXPECT_EQ(GdiplusState.Token(), 0u);
  EXPECT_EQ(StbDecoderRunningSessions(), 0);

  // The only image failing stops GDI+; the next load starts it again.
  auto* failed = new TextureImage;
  EXPECT_EQ(failed->LoadFromFile(PathOf("missing.png").c_str()), kTextureFail);
  delete failed;
  EXPECT_EQ(GdiplusState.Token(), 0u);
  TextureImage again;
  ASSERT_EQ(again.LoadFromFile(good.c_str()), kTextureOk);
  EXPECT_NE(GdiplusState.Token(), 0u);
}

// The fill reads the image through its surface view: tiled from the canvas origin.
TEST_F(TextureImageTest, TheFillPaintsFromTheImage) {
  TextureImage texture;
  ASSERT_EQ(texture.LoadFromFile(Write("tile.png", MakePng(3, 2, 8, false)).c_str()), kTextureOk);
  PixelBuffer canvas;
  ASSERT_TRUE(AllocatePixelBuffer(canvas, 8, 5, PixelLayout::kBgrx32));
  texture.AcquireDC();
  ASSERT_EQ(FillRegion(canvas.surface, 21, 4, 2, texture.AsSurface()), FillResult::kFilled);
  texture.RelinquishDC();
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 8; ++x) {
      ASSERT_EQ(ReadPixel(canvas.surface, x, y),
                Rgb(Channel(x % 3, y % 2, 0), Channel(x % 3, y % 2, 1), Channel(x % 3, y % 2, 2)));
    }
  }
}

TEST(UserMessage, WithoutAHookGoesToStandardErrorAsOneLine) {
  ::testing::internal::CaptureStderr();
  ShowUserMessage("Error loading textures from file\nC:\\a.png!\nWrong.");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Message: Error loading textures from file C:\\a.png! Wrong.\n");
}

}  // namespace
