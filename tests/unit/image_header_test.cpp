#include "textures/image_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kLimit = std::int64_t{256} << 20;

// `count` bytes of `value`, little-endian unless `big`; bytes past the fourth are zero.
void Put(Bytes& bytes, std::uint32_t value, int count, bool big = false) {
  for (int i = 0; i < count; ++i) {
    const int shift = 8 * (big ? count - 1 - i : i);
    bytes.push_back(shift < 32 ? static_cast<std::uint8_t>(value >> shift) : 0);
  }
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Bmp(std::uint32_t headerSize, std::int32_t width, std::int32_t height, int bits,
          std::uint32_t compression = 0) {
  Bytes file = Text("BM");
  Put(file, 0, 12);
  Put(file, headerSize, 4);
  if (headerSize == 12) {
    Put(file, static_cast<std::uint32_t>(width), 2);
    Put(file, static_cast<std::uint32_t>(height), 2);
    Put(file, 1, 2);
    Put(file, static_cast<std::uint32_t>(bits), 2);
  } else {
    Put(file, static_cast<std::uint32_t>(width), 4);
    Put(file, static_cast<std::uint32_t>(height), 4);
    Put(file, 1, 2);
    Put(file, static_cast<std::uint32_t>(bits), 2);
    Put(file, compression, 4);
    Put(file, 0, 20);
  }
  return file;
}

Bytes Png(std::uint32_t width, std::uint32_t height, int depth = 8) {
  Bytes file = Text("\x89PNG\r\n\x1a\n");
  Put(file, 13, 4, true);
  for (char c : std::string("IHDR"))
    file.push_back(static_cast<std::uint8_t>(c));
  Put(file, width, 4, true);
  Put(file, height, 4, true);
  file.insert(file.end(), {static_cast<std::uint8_t>(depth), 6, 0, 0, 0, 0, 0, 0, 0});
  return file;
}

Bytes GifScreen(int width, int height, bool globalTable) {
  Bytes file = Text("GIF89a");
  Put(file, static_cast<std::uint32_t>(width), 2);
  Put(file, static_cast<std::uint32_t>(height), 2);
  file.insert(file.end(), {static_cast<std::uint8_t>(globalTable ? 0x80 : 0), 0, 0});
  if (globalTable) Put(file, 0, 6);
  return file;
}

void AddGifFrame(Bytes& file, int left, int top, int width, int height) {
  file.push_back(0x2C);
  for (int value : {left, top, width, height})
    Put(file, static_cast<std::uint32_t>(value), 2);
  file.insert(file.end(), {0x81, 0, 0, 0, 0, 0, 0, 2, 2, 0x44, 0x01, 0});  // local table, data
}

Bytes Jpeg(std::uint8_t frameMarker, int width, int height) {
  Bytes file = {0xFF, 0xD8, 0xFF, 0xE0, 0, 6, 'J', 'F', 'I', 'F'};  // APP0
  file.insert(file.end(), {0xFF, 0xC4, 0, 4, 0, 0});                // DHT, which is no frame
  file.insert(file.end(), {0xFF, 0xFF, frameMarker, 0, 11, 8});     // padded marker
  Put(file, static_cast<std::uint32_t>(height), 2, true);
  Put(file, static_cast<std::uint32_t>(width), 2, true);
  file.insert(file.end(), {1, 1, 0x11, 0});
  return file;
}

HeaderVerdict Check(const Bytes& file, ImageHeader* header, std::int64_t limit = kLimit) {
  // An exact copy on the heap: a read past its end is one AddressSanitizer sees.
  std::vector<std::uint8_t> exact(file);
  exact.shrink_to_fit();
  return CheckImageHeader(exact.data(), exact.size(), limit, header);
}

struct Case {
  const char* what;
  Bytes file;
  ImageFormat format;
  std::int64_t width, height, bytes;
};

// Checks each case's verdict and header; a bytes of 0 stands for "past the limit".
template <std::size_t N>
void ExpectCases(const Case (&cases)[N], HeaderVerdict verdict) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageHeader header;
    EXPECT_EQ(Check(c.file, &header), verdict);
    EXPECT_EQ(header.format, c.format);
    EXPECT_EQ(header.width, c.width);
    EXPECT_EQ(header.height, c.height);
    if (c.bytes == 0)
      EXPECT_GT(header.decodedBytes, kLimit);
    else
      EXPECT_EQ(header.decodedBytes, c.bytes);
  }
}

TEST(ImageHeader, ReadsTheDeclaredPictureOfEveryFormat) {
  Bytes gif = GifScreen(40, 30, true);
  AddGifFrame(gif, 0, 0, 40, 30);
  gif.push_back(0x21);
  gif.insert(gif.end(), {0xF9, 4, 0, 0, 0, 0, 0});
  AddGifFrame(gif, 30, 25, 20, 10);  // reaches past the screen: the picture grows
  gif.push_back(0x3B);
  const Case cases[] = {
      {"core BMP", Bmp(12, 3, 2, 24), ImageFormat::kBmp, 3, 2, 24},
      {"info BMP, 1 bit", Bmp(40, 33, 2, 1), ImageFormat::kBmp, 33, 2, 16},
      {"top-down BMP", Bmp(40, 2, -5, 32), ImageFormat::kBmp, 2, 5, 40},
      {"RLE BMP decodes to 32 bits", Bmp(40, 2, 2, 8, 1), ImageFormat::kBmp, 2, 2, 16},
      {"PNG", Png(5, 3), ImageFormat::kPng, 5, 3, 60},
      {"16-bit PNG", Png(5, 3, 16), ImageFormat::kPng, 5, 3, 120},
      {"GIF", gif, ImageFormat::kGif, 50, 35, 50 * 35 * 4},
      {"JPEG", Jpeg(0xC0, 7, 9), ImageFormat::kJpeg, 7, 9, 7 * 9 * 4},
      {"progressive JPEG", Jpeg(0xC2, 7, 9), ImageFormat::kJpeg, 7, 9, 7 * 9 * 4},
  };
  ExpectCases(cases, HeaderVerdict::kAccepted);
}

TEST(ImageHeader, RefusesPicturesPastTheLimit) {
  Bytes gif = GifScreen(16, 16, false);
  AddGifFrame(gif, 65535, 65535, 65535, 65535);
  const Case cases[] = {
      {"core BMP 65535 x 65535", Bmp(12, 65535, 65535, 24), ImageFormat::kBmp, 65535, 65535, 0},
      {"BMP of 2^31 - 1 one-bit pixels a row", Bmp(40, INT32_MAX, 1 << 12, 1), ImageFormat::kBmp,
       INT32_MAX, 1 << 12, 0},
      {"BMP of height -2^31", Bmp(40, 1 << 20, INT32_MIN, 32), ImageFormat::kBmp, 1 << 20,
       std::int64_t{1} << 31, 0},
      {"PNG 12000 x 12000", Png(12000, 12000), ImageFormat::kPng, 12000, 12000, 0},
      {"PNG 2^31 - 1 square", Png(INT32_MAX, INT32_MAX, 16), ImageFormat::kPng, INT32_MAX,
       INT32_MAX, 0},
      {"GIF frame far off its screen", gif, ImageFormat::kGif, 131070, 131070, 0},
      {"JPEG 9000 x 9000", Jpeg(0xC0, 9000, 9000), ImageFormat::kJpeg, 9000, 9000, 0},
  };
  ExpectCases(cases, HeaderVerdict::kTooLarge);
  ImageHeader header;
  EXPECT_EQ(Check(Png(4, 4), &header, 63), HeaderVerdict::kTooLarge);
  EXPECT_EQ(Check(Png(4, 4), &header, 64), HeaderVerdict::kAccepted);
}

TEST(ImageHeader, RefusesOtherSignaturesAndHeadersThatDeclareNoPicture) {
  ImageHeader header;
  using namespace std::string_literals;
  for (const std::string& other :
       {"II*\0"s, "MM\0*"s, "\0\0\1\0"s, "\xD7\xCD\xC6\x9A"s, "RIFF"s, "<svg"s, ""s}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(Check(Text(other), &header), HeaderVerdict::kNotAnImage);
  }
  EXPECT_EQ(CheckImageHeader(nullptr, 0, kLimit, &header), HeaderVerdict::kNotAnImage);

  Bytes jpegScanFirst = {0xFF, 0xD8, 0xFF, 0xDA, 0, 2};
  Bytes jpegOnlyTables = {0xFF, 0xD8, 0xFF, 0xC4, 0, 2, 0xFF, 0xCC,
                          0,    2,    0xFF, 0xC8, 0, 2, 0xFF, 0xD9};
  Bytes gifNoPicture = GifScreen(0, 0, false);
  gifNoPicture.push_back(0x3B);
  const std::pair<const char*, Bytes> malformed[] = {
      {"BMP header of 8 bytes", Bmp(8, 1, 1, 24)},
      {"BMP 0 wide", Bmp(40, 0, 5, 24)},
      {"PNG 0 high", Png(5, 0)},
      {"PNG 2^31 wide", Png(0x80000000u, 1)},
      {"PNG whose first chunk is not IHDR",
       [] {
         Bytes file = Png(5, 5);
         file[12] = 'I', file[13] = 'D', file[14] = 'A', file[15] = 'T';
         return file;
       }()},
      {"JPEG scan before a frame", jpegScanFirst},
      {"JPEG of tables only", jpegOnlyTables},
      {"JPEG frame of height 0", Jpeg(0xC0, 7, 0)},
      {"GIF of no size", gifNoPicture},
  };
  for (const auto& [what, file] : malformed) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Check(file, &header), HeaderVerdict::kMalformed);
  }
}

TEST(ImageHeader, PictureBytesSaturateInsteadOfWrapping) {
  EXPECT_EQ(DibPictureBytes(3, 2, 24), 24);
  EXPECT_EQ(DibPictureBytes(0, 2, 24), 0);
  EXPECT_EQ(DibPictureBytes(INT32_MAX, INT64_MAX, 32), INT64_MAX);
  EXPECT_EQ(DibPictureBytes(std::int64_t{1} << 40, 1, 1), INT64_MAX);
}

}  // namespace
