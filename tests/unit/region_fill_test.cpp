#include "engine/region_fill.h"

#include <climits>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "tests/unit/engine_reference.h"

using engine_test::Colors;
using engine_test::ModelFill;
using engine_test::TextPicture;

namespace {

const std::map<char, ColorRef> kColors = {
    {'.', 0x808080}, {'#', 0x000000}, {'o', 0x0000FF}, {'a', 0x101010}, {'b', 0x161616}};

// A texture whose every pixel is distinct, so a misplaced tile shows.
PixelBuffer NumberedTexture(int width, int height, PixelLayout layout = PixelLayout::kBgrx32) {
  PixelBuffer source, texture;
  EXPECT_TRUE(AllocatePixelBuffer(source, width, height, PixelLayout::kBgrx32));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      engine_test::SetPixel32(source.surface, x, y, 0x400000u + static_cast<ColorRef>(y * 64 + x),
                              0xAA);
    }
  }
  if (layout == PixelLayout::kBgrx32) return source;
  EXPECT_TRUE(AllocatePixelBuffer(texture, width, height, layout, true));
  for (std::size_t i = 0; i < texture.colors.size(); ++i) {
    texture.colors[i] = 0x010203u * static_cast<std::uint32_t>(i) ^ 0x5A3C00u;
  }
  CopyRect(texture.surface, 0, 0, width, height, source.surface, 0, 0);
  return texture;
}

// The mask a fill marks, as rows of 'x' and '-'.
std::vector<std::string> MarkedRows(const Surface& canvas, int threshold, int x, int y) {
  FillMask mask;
  EXPECT_TRUE(mask.Allocate(canvas.width, canvas.height));
  EXPECT_TRUE(MarkRegion(mask, canvas, threshold, x, y, ReadPixel(canvas, x, y)));
  std::vector<std::string> rows;
  for (int r = 0; r < canvas.height; ++r) {
    std::string row;
    for (int c = 0; c < canvas.width; ++c)
      row += mask.IsMarked(c, r) ? 'x' : '-';
    rows.push_back(row);
  }
  return rows;
}

// clang-format off
TEST(MarkRegion, MarksTheFourConnectedAreaOnly) {
  PixelBuffer p = TextPicture({"..#..",
                               ".#.#.",
                               "#...#",
                               "..#..",
                               "#.#.#"},
                              kColors);
  EXPECT_EQ(MarkedRows(p.surface, 21, 2, 2), (std::vector<std::string>{"-----",
                                                                        "--x--",
                                                                        "-xxx-",
                                                                        "xx-xx",
                                                                        "-x-x-"}));
  // Corner-touching pixels of the same colour stay apart.
  EXPECT_EQ(MarkedRows(p.surface, 21, 0, 0), (std::vector<std::string>{"xx---",
                                                                        "x----",
                                                                        "-----",
                                                                        "-----",
                                                                        "-----"}));
}
// clang-format on

TEST(MarkRegion, ChainsThroughARampAndNeedsSimilarityToTheCameFromColour) {
  // a and b differ by 18; '.' is far from both.
  PixelBuffer p = TextPicture({"ababa", "....b", "ababa"}, kColors);
  EXPECT_EQ(MarkedRows(p.surface, 19, 0, 0), (std::vector<std::string>{"xxxxx", "----x", "xxxxx"}));
  EXPECT_EQ(MarkedRows(p.surface, 18, 0, 0), (std::vector<std::string>{"x----", "-----", "-----"}));
  FillMask mask;
  ASSERT_TRUE(mask.Allocate(5, 3));
  EXPECT_TRUE(MarkRegion(mask, p.surface, 21, 0, 0, 0x808080));  // came from a distant colour
  EXPECT_FALSE(mask.IsMarked(0, 0));
}

// A released mask's storage serves the next mask of the same size: it must come back clear.
TEST(FillMask, ReusedStorageStartsUnmarked) {
  PixelBuffer p = TextPicture({"..#..", "..#..", "#####", "..#.."}, kColors);
  EXPECT_EQ(MarkedRows(p.surface, 21, 2, 2),
            (std::vector<std::string>{"--x--", "--x--", "xxxxx", "--x--"}));
  EXPECT_EQ(MarkedRows(p.surface, 21, 0, 0),
            (std::vector<std::string>{"xx---", "xx---", "-----", "-----"}));
  FillMask mask;
  ASSERT_TRUE(mask.Allocate(5, 4));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x)
      EXPECT_FALSE(mask.IsMarked(x, y));
  }
}

TEST(FillRegion, UniformCanvasBecomesTheTextureTiledFromTheOrigin) {
  PixelBuffer canvas = TextPicture(std::vector<std::string>(23, std::string(70, '.')), kColors);
  PixelBuffer texture = NumberedTexture(9, 7);
  ASSERT_EQ(FillRegion(canvas.surface, 21, 40, 11, texture.surface), FillResult::kFilled);
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 70; ++x) {
      ASSERT_EQ(ReadPixel(canvas.surface, x, y), ReadPixel(texture.surface, x % 9, y % 7))
          << x << "," << y;
    }
  }
}

TEST(FillRegion, BridgesGapsOfTwentyFiveButNotTwentySixOrTrailingOnes) {
  // Row 0: marked, gap of 25, marked, gap of 26, marked, then 3 trailing unmarked pixels.
  const std::string row0 = "." + std::string(25, '#') + "." + std::string(26, '#') + "." + "###";
  PixelBuffer canvas = TextPicture({row0, std::string(row0.size(), '.')}, kColors);
  PixelBuffer texture = NumberedTexture(1, 1);
  ASSERT_EQ(FillRegion(canvas.surface, 21, 0, 1, texture.surface), FillResult::kFilled);
  const ColorRef t = ReadPixel(texture.surface, 0, 0);
  std::string painted;
  for (int x = 0; x < static_cast<int>(row0.size()); ++x) {
    painted += ReadPixel(canvas.surface, x, 0) == t ? 'T' : '#';
  }
  EXPECT_EQ(painted, std::string(27, 'T') + std::string(26, '#') + "T###");
}

TEST(FillRegion, NoThresholdPaintsNothing) {
  PixelBuffer canvas = TextPicture(std::vector<std::string>(4, std::string(8, '.')), kColors);
  const std::vector<ColorRef> before = Colors(canvas.surface);
  PixelBuffer texture = NumberedTexture(3, 3);
  EXPECT_EQ(FillRegion(canvas.surface, 0, 3, 2, texture.surface), FillResult::kFilled);
  EXPECT_EQ(FillRegion(canvas.surface, -7, 3, 2, texture.surface), FillResult::kFilled);
  EXPECT_EQ(Colors(canvas.surface), before);
}

TEST(FillRegion, ReportsAMaskThatCannotBeHadWithoutTouchingTheCanvas) {
  Surface huge;  // claims more pixels than any memory holds; its rows must never be read
  huge.width = INT_MAX;
  huge.height = INT_MAX;
  huge.pitch = 4;
  PixelBuffer texture = NumberedTexture(2, 2);
  EXPECT_EQ(FillRegion(huge, 21, 0, 0, texture.surface), FillResult::kOutOfMemory);
  FillMask mask;
  EXPECT_FALSE(mask.Allocate(INT_MAX, INT_MAX));
  EXPECT_FALSE(mask.Allocate(0, 5));
}

TEST(PaintTextureRow, CopiesTilesOfTheRowAtEveryAlignment) {
  // Every segment of a 40-pixel row against textures of widths 1 to 12.
  for (int tw = 1; tw <= 12; ++tw) {
    PixelBuffer texture = NumberedTexture(tw, 3);
    for (int x1 = 0; x1 < 40; ++x1) {
      for (int x2 = x1; x2 < 40; x2 += 1 + x2 % 3) {
        PixelBuffer canvas = TextPicture({std::string(40, '.'), std::string(40, '.')}, kColors);
        PaintTextureRow(canvas.surface, texture.surface, x1, x2, 1);
        for (int x = 0; x < 40; ++x) {
          const ColorRef want =
              x >= x1 && x <= x2 ? ReadPixel(texture.surface, x % tw, 1) : kColors.at('.');
          ASSERT_EQ(ReadPixel(canvas.surface, x, 1), want) << tw << " " << x1 << "-" << x2;
          ASSERT_EQ(ReadPixel(canvas.surface, x, 0), kColors.at('.'));
        }
      }
    }
  }
}

TEST(PaintTextureRow, ConvertingLayoutsGiveWhatCopyingEachPixelGives) {
  // Long segments convert the texture row once; every pixel must still be what a copy of that
  // one texture pixel gives, on every canvas layout and from every texture layout.
  const PixelLayout layouts[] = {
      PixelLayout::kBgrx32,   PixelLayout::kBgr24,    PixelLayout::kRgb565,  PixelLayout::kRgb555,
      PixelLayout::kIndexed8, PixelLayout::kIndexed4, PixelLayout::kIndexed1};
  const PixelBuffer picture =
      TextPicture({std::string(70, '.'), std::string(70, 'o'), std::string(70, '.')}, kColors);
  for (PixelLayout canvas_layout : layouts) {
    for (PixelLayout texture_layout : layouts) {
      for (int tw : {1, 5, 13}) {
        PixelBuffer texture = NumberedTexture(tw, 2, texture_layout);
        for (auto [x1, x2] : {std::pair{0, 69}, std::pair{3, 40}, std::pair{12, 31}}) {
          PixelBuffer painted, copied;
          for (PixelBuffer* canvas : {&painted, &copied}) {
            ASSERT_TRUE(AllocatePixelBuffer(*canvas, 70, 3, canvas_layout, true));
            for (std::size_t i = 0; i < canvas->colors.size(); ++i) {
              canvas->colors[i] = 0x2040C0u * static_cast<std::uint32_t>(i + 1) & 0xFFFFFFu;
            }
            CopyRect(canvas->surface, 0, 0, 70, 3, picture.surface, 0, 0);
          }
          PaintTextureRow(painted.surface, texture.surface, x1, x2, 1);
          for (int x = x1; x <= x2; ++x) {
            CopyRect(copied.surface, x, 1, 1, 1, texture.surface, x % tw, 1);
          }
          ASSERT_EQ(Colors(painted.surface), Colors(copied.surface))
              << "canvas " << static_cast<int>(canvas_layout) << " texture "
              << static_cast<int>(texture_layout) << " width " << tw << " " << x1 << "-" << x2;
        }
      }
    }
  }
}

// Runs `body` with each run growth this build has: the scalar one, then SSE2 where the processor
// has it. The tests run where the system saves the XMM registers (Linux, wine).
template <typename Body>
void WithEachGrowth(Body body) {
  SetSystemSavesXmm(true);
  for (const bool scalar : {true, false}) {
    ForceScalarGrowth(scalar);
    SCOPED_TRACE(UsesSse2Growth() ? "SSE2 growth" : "scalar growth");
    body();
  }
}

// The i686 build grows runs with SSE2 only once told that the system saves the XMM registers,
// and then only on a processor that has SSE2; builds whose baseline has SSE2 always do.
TEST(FillRegion, GrowsRunsWithSse2OnlyWhereTheSystemAndTheProcessorAllow) {
#if defined(__i386__) && !defined(__SSE2__)
  SetSystemSavesXmm(false);
  EXPECT_FALSE(UsesSse2Growth());
  SetSystemSavesXmm(true);
  EXPECT_EQ(UsesSse2Growth(), __builtin_cpu_supports("sse2") != 0);
#elif defined(__SSE2__)
  SetSystemSavesXmm(false);
  EXPECT_TRUE(UsesSse2Growth());
#endif
  ForceScalarGrowth(true);
  EXPECT_FALSE(UsesSse2Growth());
  ForceScalarGrowth(false);
}

// The fast fill must agree with the plain model on every kind of picture, threshold, point,
// texture size and layout (the palette texture and the 24-bit canvas take the general paths).
void AgreesWithTheModelOnRandomPictures() {
  std::mt19937 rng(5);
  const PixelLayout texture_layouts[] = {PixelLayout::kBgrx32, PixelLayout::kBgr24,
                                         PixelLayout::kIndexed8};
  for (int round = 0; round < 400; ++round) {
    PixelBuffer canvas = engine_test::RandomPicture(rng, 1 + rng() % 70, 1 + rng() % 45);
    if (round % 7 == 3) {
      PixelBuffer as24;
      ASSERT_TRUE(AllocatePixelBuffer(as24, canvas.surface.width, canvas.surface.height,
                                      PixelLayout::kBgr24, true));
      CopyRect(as24.surface, 0, 0, canvas.surface.width, canvas.surface.height, canvas.surface, 0,
               0);
      canvas = std::move(as24);
    }
    const int threshold =
        round % 9 == 0 ? static_cast<int>(rng() % 800) - 30 : 10 + static_cast<int>(rng() % 40);
    PixelBuffer texture;
    if (round % 5 == 4) {
      texture = NumberedTexture(1 + rng() % 20, 1 + rng() % 20, PixelLayout::kBgrx32);
    } else {
      texture = NumberedTexture(1 + rng() % 20, 1 + rng() % 20, texture_layouts[round % 3]);
    }
    const int x = static_cast<int>(rng() % canvas.surface.width);
    const int y = static_cast<int>(rng() % canvas.surface.height);
    const std::vector<ColorRef> want = ModelFill(canvas.surface, threshold, x, y, texture.surface);
    ASSERT_EQ(FillRegion(canvas.surface, threshold, x, y, texture.surface), FillResult::kFilled);
    ASSERT_EQ(Colors(canvas.surface), want)
        << "round " << round << " threshold " << threshold << " at " << x << "," << y;
  }
}

TEST(FillRegion, AgreesWithTheModelOnRandomPicturesWhicheverWayRunsGrow) {
  WithEachGrowth(AgreesWithTheModelOnRandomPictures);
}

// A serpentine area through a large canvas: marking keeps its work off the call stack.
TEST(FillRegion, FillsAWindingAreaAcrossALargeCanvas) {
  const int w = 1501, h = 1200;
  PixelBuffer canvas;
  ASSERT_TRUE(AllocatePixelBuffer(canvas, w, h, PixelLayout::kBgrx32));
  for (int x = 1; x < w; x += 2) {
    const int gap = (x / 2) % 2 == 0 ? h - 1 : 0;  // walls open alternately at bottom and top
    for (int y = 0; y < h; ++y) {
      if (y != gap) engine_test::SetPixel32(canvas.surface, x, y, 0xFFFFFF);
    }
  }
  PixelBuffer texture = NumberedTexture(1, 1);
  ASSERT_EQ(FillRegion(canvas.surface, 21, 0, 0, texture.surface), FillResult::kFilled);
  const ColorRef t = ReadPixel(texture.surface, 0, 0);
  // Every row is one bridged segment from column 0 to the last corridor.
  for (int y = 0; y < h; y += 97) {
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(ReadPixel(canvas.surface, x, y), t) << x << "," << y;
  }
}

}  // namespace
