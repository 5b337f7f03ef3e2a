#include "engine/region_probe.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/unit/engine_reference.h"

using engine_test::TextPicture;

namespace {

const std::map<char, ColorRef> kColors = {
    {'.', 0x808080}, {'#', 0x000000}, {'o', 0x0000FF}, {'w', 0xFFFFFF}};

std::vector<std::string> Uniform(int width, int height, char c) {
  return std::vector<std::string>(static_cast<std::size_t>(height), std::string(width, c));
}

TEST(ProbeRegion, TakesALongSpanAtOnceAndRejectsSixteenPixelsWithNothingAround) {
  // Rows alternate between two distant colours, so no row beyond yields a candidate.
  std::vector<std::string> rows;
  for (int y = 0; y < 7; ++y)
    rows.push_back(std::string(y % 2 ? 17 : 16, y % 2 ? '#' : 'o') +
                   std::string(y % 2 ? 0 : 1, '#'));
  PixelBuffer p = TextPicture(rows, kColors);
  EXPECT_EQ(ProbeRegion(p.surface, 21, 3, 1), ProbeResult::kAccepted);  // 17 pixels
  EXPECT_EQ(ProbeRegion(p.surface, 21, 3, 2), ProbeResult::kRejected);  // 16 pixels
}

TEST(ProbeRegion, OneWideLineIsRejectedExceptFromItsEnds) {
  std::vector<std::string> rows = Uniform(21, 30, '.');
  for (int y = 5; y < 25; ++y)
    rows[y][10] = '#';
  PixelBuffer p = TextPicture(rows, kColors);
  for (int y = 6; y < 24; ++y) {
    EXPECT_EQ(ProbeRegion(p.surface, 21, 10, y), ProbeResult::kRejected) << y;
  }
  // From the first row the upward scan compares the background above with the row beyond it.
  EXPECT_EQ(ProbeRegion(p.surface, 21, 10, 5), ProbeResult::kAccepted);
  EXPECT_EQ(ProbeRegion(p.surface, 21, 10, 24), ProbeResult::kAccepted);
}

TEST(ProbeRegion, TwoWideRectangleNeedsEighteenRows) {
  for (int h = 16; h <= 19; ++h) {
    std::vector<std::string> rows = Uniform(12, h + 4, '.');
    for (int y = 2; y < 2 + h; ++y)
      rows[y].replace(5, 2, "##");
    PixelBuffer p = TextPicture(rows, kColors);
    const ProbeResult want = h >= 18 ? ProbeResult::kAccepted : ProbeResult::kRejected;
    for (int y = 3; y < 1 + h; ++y)
      EXPECT_EQ(ProbeRegion(p.surface, 21, 5, y), want) << h << " " << y;
  }
}

TEST(ProbeRegion, OuterRowsCompareWithWhiteBeyondTheCanvas) {
  // A white canvas 10 wide: the spans measure 9, so acceptance needs the row beyond, which only
  // exists on the canvas side; off the canvas, rows compare with CLR_INVALID, which is white.
  PixelBuffer white = TextPicture(Uniform(10, 2, 'w'), kColors);
  EXPECT_EQ(ProbeRegion(white.surface, 21, 4, 0), ProbeResult::kAccepted);
  PixelBuffer grey = TextPicture(Uniform(10, 2, '.'), kColors);
  EXPECT_EQ(ProbeRegion(grey.surface, 21, 4, 0), ProbeResult::kRejected);
  PixelBuffer single = TextPicture(Uniform(10, 1, 'w'), kColors);
  EXPECT_EQ(ProbeRegion(single.surface, 21, 4, 0), ProbeResult::kRejected);
}

TEST(ProbeRegion, NoThresholdRejectsEverything) {
  PixelBuffer p = TextPicture(Uniform(30, 5, '.'), kColors);
  EXPECT_EQ(ProbeRegion(p.surface, 0, 10, 2), ProbeResult::kRejected);
  EXPECT_EQ(ProbeRegion(p.surface, -1, 10, 2), ProbeResult::kRejected);
  EXPECT_EQ(ProbeRegion(p.surface, 21, 10, 2), ProbeResult::kAccepted);
}

TEST(ScanRowForSpans, AppendsWholeSpansAndReturnsTheLastRightEnd) {
  PixelBuffer p = TextPicture({"..##..##..", "..........", "##########"}, kColors);
  SpanQueue queue;
  // Row 1 scanned upward: candidates are the columns whose pixel above is also grey.
  EXPECT_EQ(ScanRowForSpans(queue, p.surface, 21, 3, 7, 1, -1), 9);
  ASSERT_FALSE(queue.Empty());
  EXPECT_EQ(queue.Front().left, 0);  // the span reaches past x1
  EXPECT_EQ(queue.Front().right, 9);
  queue.Pop();
  EXPECT_TRUE(queue.Empty());
  // Downward every partner is black: nothing appended, result 0.
  EXPECT_EQ(ScanRowForSpans(queue, p.surface, 21, 0, 9, 1, +1), 0);
  EXPECT_EQ(ScanRowForSpans(queue, p.surface, 21, 5, 4, 1, -1), 0);
  EXPECT_TRUE(queue.Empty());
}

TEST(SpanQueue, KeepsOrderAcrossGrowth) {
  SpanQueue queue;
  for (int i = 0; i < 1000; ++i) {
    queue.Push(Span{i, i, i});
    if (i % 3 == 0) queue.Pop();
  }
  int expected = 334;
  while (!queue.Empty()) {
    EXPECT_EQ(queue.Front().row, expected++);
    queue.Pop();
  }
  EXPECT_EQ(expected, 1000);
  EXPECT_FALSE(queue.failed);
}

TEST(ProbeRegion, AgreesWithTheModelOnRandomPictures) {
  std::mt19937 rng(11);
  for (int round = 0; round < 150; ++round) {
    PixelBuffer p = engine_test::RandomPicture(rng, 1 + rng() % 48, 1 + rng() % 40);
    const int threshold =
        round % 10 == 0 ? static_cast<int>(rng() % 800) - 10 : 15 + static_cast<int>(rng() % 30);
    for (int i = 0; i < 40; ++i) {
      const int x = static_cast<int>(rng() % p.surface.width);
      const int y = static_cast<int>(rng() % p.surface.height);
      const int want = engine_test::ModelProbe(p.surface, threshold, x, y);
      ASSERT_EQ(static_cast<int>(ProbeRegion(p.surface, threshold, x, y)), want)
          << "round " << round << " threshold " << threshold << " at " << x << "," << y;
    }
  }
}

}  // namespace
