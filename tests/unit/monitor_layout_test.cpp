#include "animation/monitor_layout.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/unit/engine_reference.h"

namespace {

constexpr ColorRef kBackground = 0x203040;
constexpr ColorRef kMarker = 0x010203;  // canvas pixels that no monitor covers

const std::map<char, ColorRef> kPalette = {{'.', kBackground}, {'#', kMarker},  {'r', 0x0000FF},
                                           {'g', 0x00FF00},    {'b', 0xFF0000}, {'w', 0xFFFFFF}};

PixelBuffer Canvas(int width, int height, PixelLayout layout = PixelLayout::kBgrx32) {
  return engine_test::TextPicture(
      std::vector<std::string>(static_cast<std::size_t>(height), std::string(width, '#')), kPalette,
      layout);
}

void ExpectPicture(const Surface& canvas, const std::vector<std::string>& expected) {
  for (int y = 0; y < canvas.height; ++y) {
    std::string row;
    for (int x = 0; x < canvas.width; ++x) {
      char found = '?';
      for (const auto& [name, color] : kPalette) {
        if (ReadPixel(canvas, x, y) == color) found = name;
      }
      row += found;
    }
    EXPECT_EQ(row, expected[static_cast<std::size_t>(y)]) << "row " << y;
  }
}

TEST(WallpaperLayout, StylesFromTheRegistryValues) {
  EXPECT_EQ(WallpaperStyleFromValues(10, 0), WallpaperStyle::kFill);
  EXPECT_EQ(WallpaperStyleFromValues(6, 1), WallpaperStyle::kFit);
  EXPECT_EQ(WallpaperStyleFromValues(2, 0), WallpaperStyle::kStretch);
  EXPECT_EQ(WallpaperStyleFromValues(22, 0), WallpaperStyle::kSpan);
  EXPECT_EQ(WallpaperStyleFromValues(0, 1), WallpaperStyle::kTile);
  EXPECT_EQ(WallpaperStyleFromValues(0, 0), WallpaperStyle::kCenter);
  EXPECT_EQ(WallpaperStyleFromValues(7, 1), WallpaperStyle::kTile);
  EXPECT_EQ(WallpaperStyleFromValues(-3, 0), WallpaperStyle::kCenter);
}

TEST(WallpaperLayout, PlacementKeepsProportionsAndCentres) {
  const MonitorRect monitor = {100, 50, 200, 150};  // 100 x 100
  auto place = [&](int w, int h, WallpaperStyle style) {
    const MonitorRect r = WallpaperPlacement(monitor, w, h, style, {0, 0, 400, 100});
    return std::vector<int>{r.left, r.top, r.right, r.bottom};
  };
  EXPECT_EQ(place(200, 100, WallpaperStyle::kFit), (std::vector<int>{100, 75, 200, 125}));
  EXPECT_EQ(place(200, 100, WallpaperStyle::kFill), (std::vector<int>{50, 50, 250, 150}));
  EXPECT_EQ(place(100, 300, WallpaperStyle::kFit), (std::vector<int>{133, 50, 166, 150}));
  EXPECT_EQ(place(30, 20, WallpaperStyle::kStretch), (std::vector<int>{100, 50, 200, 150}));
  EXPECT_EQ(place(31, 21, WallpaperStyle::kCenter), (std::vector<int>{134, 89, 165, 110}));
  EXPECT_EQ(place(300, 200, WallpaperStyle::kCenter), (std::vector<int>{0, 0, 300, 200}));
  EXPECT_EQ(place(30, 20, WallpaperStyle::kTile), (std::vector<int>{100, 50, 130, 70}));
  // Span covers the whole span area, not the monitor.
  EXPECT_EQ(place(100, 50, WallpaperStyle::kSpan), (std::vector<int>{0, -50, 400, 150}));
}

TEST(WallpaperLayout, UnscaledStylesCopyPixelForPixelInsideTheMonitorOnly) {
  const PixelBuffer picture = engine_test::TextPicture({"rgb", "wbr"}, kPalette);
  PixelBuffer canvas = Canvas(12, 7);
  const MonitorRect monitor = {1, 1, 9, 6};
  ASSERT_TRUE(LayOutWallpaper(canvas.surface, monitor, &picture.surface, WallpaperStyle::kTile,
                              kBackground, {}));
  ExpectPicture(canvas.surface, {"############",  //
                                 "#rgbrgbrg###",  //
                                 "#wbrwbrwb###",  //
                                 "#rgbrgbrg###",  //
                                 "#wbrwbrwb###",  //
                                 "#rgbrgbrg###",  //
                                 "############"});
  canvas = Canvas(12, 7);
  ASSERT_TRUE(LayOutWallpaper(canvas.surface, monitor, &picture.surface, WallpaperStyle::kCenter,
                              kBackground, {}));
  ExpectPicture(canvas.surface, {"############",  //
                                 "#........###",  //
                                 "#..rgb...###",  //
                                 "#..wbr...###",  //
                                 "#........###",  //
                                 "#........###",  //
                                 "############"});
  // A monitor reaching past the canvas paints only the part on it; no picture, only colour.
  canvas = Canvas(4, 3);
  ASSERT_TRUE(LayOutWallpaper(canvas.surface, {2, -5, 9, 2}, nullptr, WallpaperStyle::kFill,
                              kBackground, {}));
  ExpectPicture(canvas.surface, {"##..", "##..", "####"});
}

TEST(WallpaperLayout, ScaledStylesLetterboxCropAndSpan) {
  // Fit: a 4 x 2 picture on an 8 x 8 monitor becomes 8 x 4 with two rows of colour above and below.
  const PixelBuffer red = engine_test::TextPicture({"rrrr", "rrrr"}, kPalette);
  PixelBuffer canvas = Canvas(8, 8);
  ASSERT_TRUE(LayOutWallpaper(canvas.surface, {0, 0, 8, 8}, &red.surface, WallpaperStyle::kFit,
                              kBackground, {}));
  ExpectPicture(canvas.surface, {"........", "........", "rrrrrrrr", "rrrrrrrr", "rrrrrrrr",
                                 "rrrrrrrr", "........", "........"});
  // Fill: a 6 x 2 picture on a 4 x 4 monitor becomes 12 x 4, its middle third shown.
  const PixelBuffer thirds = engine_test::TextPicture({"rggwwb", "rggwwb"}, kPalette);
  canvas = Canvas(4, 4);
  ASSERT_TRUE(LayOutWallpaper(canvas.surface, {0, 0, 4, 4}, &thirds.surface, WallpaperStyle::kFill,
                              kBackground, {}));
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(ReadPixel(canvas.surface, 0, y), 0x00FF00u);
    EXPECT_EQ(ReadPixel(canvas.surface, 3, y), 0xFFFFFFu);
  }
  // Span: one picture at its own size across two monitors; each shows its own half.
  const PixelBuffer halves = engine_test::TextPicture({"rrbb", "rrbb"}, kPalette);
  canvas = Canvas(4, 3);
  for (const MonitorRect& m : std::vector<MonitorRect>{{0, 0, 2, 2}, {2, 0, 4, 2}}) {
    ASSERT_TRUE(LayOutWallpaper(canvas.surface, m, &halves.surface, WallpaperStyle::kSpan,
                                kBackground, {0, 0, 4, 2}));
  }
  ExpectPicture(canvas.surface, {"rrbb", "rrbb", "####"});
}

TEST(WallpaperLayout, ResamplingBlendsNeighboursAndKeepsFlatColoursExact) {
  // Twice as wide: the tent blends each output pixel from the two nearest source pixels.
  PixelBuffer ramp;
  ASSERT_TRUE(AllocatePixelBuffer(ramp, 2, 1, PixelLayout::kBgrx32));
  engine_test::SetPixel32(ramp.surface, 0, 0, 0x000000);
  engine_test::SetPixel32(ramp.surface, 1, 0, 0x0000C8);  // red 200
  PixelBuffer canvas = Canvas(4, 1);
  ASSERT_TRUE(LayOutWallpaper(canvas.surface, {0, 0, 4, 1}, &ramp.surface, WallpaperStyle::kStretch,
                              kBackground, {}));
  EXPECT_EQ(ReadPixel(canvas.surface, 0, 0), 0u);
  EXPECT_EQ(ReadPixel(canvas.surface, 1, 0), 50u);
  EXPECT_EQ(ReadPixel(canvas.surface, 2, 0), 150u);
  EXPECT_EQ(ReadPixel(canvas.surface, 3, 0), 200u);
  // A flat picture stays exactly flat, grown or shrunk, and onto a 16-bit canvas too.
  const PixelBuffer white = engine_test::TextPicture({"www", "www", "www"}, kPalette);
  for (PixelLayout layout : {PixelLayout::kBgrx32, PixelLayout::kRgb565}) {
    for (const MonitorRect& m : std::vector<MonitorRect>{{0, 0, 10, 7}, {0, 0, 2, 1}}) {
      canvas = Canvas(10, 7, layout);
      ASSERT_TRUE(LayOutWallpaper(canvas.surface, m, &white.surface, WallpaperStyle::kStretch,
                                  kBackground, {}));
      for (int y = m.top; y < m.bottom; ++y) {
        for (int x = m.left; x < m.right; ++x)
          ASSERT_EQ(ReadPixel(canvas.surface, x, y), 0xFFFFFFu) << x << "," << y;
      }
    }
  }
}

TEST(MonitorLayout, MonitorsBoundsAndUniformity) {
  const std::vector<MonitorRect> monitors = {{0, 0, 1024, 768}, {1024, 0, 1824, 600}};
  EXPECT_TRUE(OnAnyMonitor(monitors, 1023, 767));
  EXPECT_TRUE(OnAnyMonitor(monitors, 1024, 599));
  EXPECT_FALSE(OnAnyMonitor(monitors, 1024, 600));
  EXPECT_FALSE(OnAnyMonitor(monitors, 1824, 0));
  EXPECT_TRUE(OnAnyMonitor({}, -5, 99999));
  const MonitorRect box = BoundingRect({{-100, 20, 0, 80}, {0, 0, 50, 40}});
  EXPECT_EQ((std::vector<int>{box.left, box.top, box.right, box.bottom}),
            (std::vector<int>{-100, 0, 50, 80}));
  PixelBuffer canvas = Canvas(5, 4);
  EXPECT_TRUE(IsUniform(canvas.surface));
  engine_test::SetPixel32(canvas.surface, 4, 3, 0x010204);
  EXPECT_FALSE(IsUniform(canvas.surface));
}

}  // namespace
