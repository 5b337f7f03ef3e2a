#include "engine/color_span.h"

#include <gtest/gtest.h>

#include "tests/unit/engine_reference.h"

using engine_test::TextPicture;

namespace {

const std::map<char, ColorRef> kGreys = {
    {'a', 0x000000}, {'b', 0x060606}, {'c', 0x0C0C0C}, {'w', 0xFFFFFF}, {'k', 0x202020}};

TEST(ColorDistance, SumsChannelDifferencesIgnoringTheTopByte) {
  EXPECT_EQ(ColorDistance(0x000000, 0xFFFFFF), 765);
  EXPECT_EQ(ColorDistance(0x102030, 0x302010), 0x20 + 0 + 0x20);
  EXPECT_EQ(ColorDistance(0x302010, 0x102030), ColorDistance(0x102030, 0x302010));
  EXPECT_EQ(ColorDistance(CLR_INVALID, 0x00FFFFFF), 0);
  EXPECT_EQ(ColorDistance(0xAB123456, 0x00123456), 0);
}

TEST(ColorsSimilar, IsStrictlyBelowASignedThreshold) {
  EXPECT_TRUE(ColorsSimilar(0x000000, 0x000014, 21));
  EXPECT_FALSE(ColorsSimilar(0x000000, 0x000015, 21));  // equal to the threshold
  EXPECT_FALSE(ColorsSimilar(0x123456, 0x123456, 0));   // not even a colour and itself
  EXPECT_FALSE(ColorsSimilar(0x123456, 0x123456, -5));
  EXPECT_TRUE(ColorsSimilar(0x000000, 0xFFFFFF, 766));
  EXPECT_FALSE(ColorsSimilar(0x000000, 0xFFFFFF, 765));
}

TEST(FindSpan, ChainsNeighboursAndStopsAtTheFirstDissimilarPair) {
  // a-b-c steps by 18 (similar at 21) while a and c differ by 36; k is 60 from c.
  PixelBuffer p = TextPicture({"abcbakww", "aaaaaaaa"}, kGreys);
  const Span s = FindSpan(p.surface, 21, 2, 0);
  EXPECT_EQ(s.left, 0);
  EXPECT_EQ(s.right, 4);
  EXPECT_EQ(s.row, 0);
  const Span lone = FindSpan(p.surface, 21, 5, 0);
  EXPECT_EQ(lone.left, 5);
  EXPECT_EQ(lone.right, 5);
  const Span row = FindSpan(p.surface, 21, 7, 1);
  EXPECT_EQ(row.left, 0);
  EXPECT_EQ(row.right, 7);
  // A distance equal to the threshold ends the span: a and b differ by 18.
  EXPECT_EQ(FindSpan(p.surface, 18, 0, 0).right, 0);
}

TEST(FindSpan, ThresholdExtremes) {
  PixelBuffer p = TextPicture({"aaawwa"}, kGreys);
  for (int x = 0; x < 6; ++x) {
    const Span none = FindSpan(p.surface, 0, x, 0);
    EXPECT_EQ(none.left, x);
    EXPECT_EQ(none.right, x);
    const Span all = FindSpan(p.surface, 766, x, 0);
    EXPECT_EQ(all.left, 0);
    EXPECT_EQ(all.right, 5);
  }
}

// Every layout goes through the same walk; the fast 32-bit reader must agree with ReadPixel.
TEST(FindSpan, AgreesWithTheModelOnRandomPicturesInEveryCanvasLayout) {
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    PixelBuffer p = engine_test::RandomPicture(rng, 1 + rng() % 40, 1 + rng() % 6);
    PixelBuffer p24, p16;
    ASSERT_TRUE(AllocatePixelBuffer(p24, p.surface.width, p.surface.height, PixelLayout::kBgr24));
    ASSERT_TRUE(
        AllocatePixelBuffer(p16, p.surface.width, p.surface.height, PixelLayout::kRgb565, true));
    CopyRect(p24.surface, 0, 0, p.surface.width, p.surface.height, p.surface, 0, 0);
    CopyRect(p16.surface, 0, 0, p.surface.width, p.surface.height, p.surface, 0, 0);
    const int threshold = static_cast<int>(rng() % 60) - 5;
    for (const Surface* s : {&p.surface, &p24.surface, &p16.surface}) {
      for (int y = 0; y < s->height; ++y) {
        for (int x = 0; x < s->width; ++x) {
          const Span got = FindSpan(*s, threshold, x, y);
          const Span want = engine_test::ModelFindSpan(*s, threshold, x, y);
          ASSERT_EQ(got.left, want.left) << "round " << round << " at " << x << "," << y;
          ASSERT_EQ(got.right, want.right) << "round " << round << " at " << x << "," << y;
          ASSERT_EQ(got.row, y);
        }
      }
    }
  }
}

}  // namespace
