#include "animation/saver_cycle.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/unit/engine_reference.h"

namespace {

struct Canvases {
  PixelBuffer work;
  PixelBuffer snapshot;
};

Canvases UniformCanvases(int width, int height, ColorRef color) {
  Canvases c;
  EXPECT_TRUE(AllocatePixelBuffer(c.snapshot, width, height, PixelLayout::kBgrx32));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      engine_test::SetPixel32(c.snapshot.surface, x, y, color);
  }
  c.work = c.snapshot;
  c.work.surface.bits = c.work.storage.data();
  return c;
}

// A 1-pixel checkerboard over the WIDTH left columns of the work canvas: every point rejected.
void Checkerboard(Canvases& c, int width) {
  for (int y = 0; y < c.work.surface.height; ++y) {
    for (int x = 0; x < width; ++x)
      engine_test::SetPixel32(c.work.surface, x, y, (x + y) % 2 ? 0xFFFFFF : 0x000000);
  }
}

// The random state is where a tick that gave up leaves it after SEED: exactly the first point's
// three draws and two for each further point.
void ExpectDrawLimitSpentSince(std::uint32_t seed) {
  const std::uint32_t after = RandomState;
  SeedRandom(seed);
  for (int i = 0; i < 3 + 2 * (kMaxProbeDraws - 1); ++i)
    DrawRandom();
  EXPECT_EQ(RandomState, after);
}

// Records the fills a tick asks for and paints the whole canvas so that a wipe shows.
struct FillRecorder {
  Surface* canvas;
  std::vector<std::vector<int>> calls;
  TextureFill Fill() {
    return [this](int x, int y, int t) {
      calls.push_back({x, y, t});
      for (int r = 0; r < canvas->height; ++r) {
        for (int c = 0; c < canvas->width; ++c)
          engine_test::SetPixel32(*canvas, c, r, 0x0000FF);
      }
      return FillResult::kFilled;
    };
  }
};

class SaverCycle : public ::testing::Test {
 protected:
  void SetUp() override { ResetSaverCycle(); }
};

TEST_F(SaverCycle, RandomGeneratorIsTheClassicThirtyTwoBitSequence) {
  SeedRandom(1);
  EXPECT_EQ(DrawRandom(), 41);
  EXPECT_EQ(DrawRandom(), 18467);
  EXPECT_EQ(DrawRandom(), 6334);
  EXPECT_EQ(DrawRandom(), 26500);
  SeedRandom(0xFFFFFFFFu);
  for (int i = 0; i < 1000; ++i) {
    const int v = DrawRandom();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
}

// Stored values are used unchanged: the sum passes 2^31 on the second fill and the wipe still
// comes.
TEST_F(SaverCycle, HugeIntervalsAddUpWithoutOverflow) {
  Canvases c = UniformCanvases(8, 4, 0x808080);
  FillRecorder fills{&c.work.surface, {}};
  const CycleSettings settings{0x7FFFFFFF, 0x40000001, 21};
  for (int tick = 0; tick < 2; ++tick)
    AnimationTick(c.work.surface, c.snapshot.surface, settings, 1, fills.Fill());
  EXPECT_EQ(AccumulatedFillTime, 0x80000002LL);
  AnimationTick(c.work.surface, c.snapshot.surface, settings, 1, fills.Fill());
  EXPECT_EQ(AnimationPhase, CyclePhase::Wipe);
  EXPECT_EQ(fills.calls.size(), 2u);
}

TEST_F(SaverCycle, DefaultSettingsFillFifteenTimesThenWipeBackToTheDesktop) {
  Canvases c = UniformCanvases(40, 24, 0x808080);
  FillRecorder fills{&c.work.surface, {}};
  const CycleSettings settings{50000, 3500, 21};
  SeedRandom(1234);
  for (int tick = 1; tick <= 15; ++tick) {
    const TickOutcome out =
        AnimationTick(c.work.surface, c.snapshot.surface, settings, 3, fills.Fill());
    EXPECT_FALSE(out.restartTimer);
    EXPECT_TRUE(out.repaint);
  }
  ASSERT_EQ(fills.calls.size(), 15u);
  EXPECT_EQ(AccumulatedFillTime, 52500);

  // The switch: bottom two rows restored at once, wipe ticks every 10 ms.
  TickOutcome out = AnimationTick(c.work.surface, c.snapshot.surface, settings, 3, fills.Fill());
  EXPECT_TRUE(out.restartTimer);
  EXPECT_EQ(out.timerPeriod, kWipeTickPeriod);
  EXPECT_EQ(AnimationPhase, CyclePhase::Wipe);
  EXPECT_EQ(AccumulatedFillTime, 0);
  EXPECT_EQ(ReadPixel(c.work.surface, 5, 23), 0x808080u);
  EXPECT_EQ(ReadPixel(c.work.surface, 5, 21), 0x0000FFu);

  // 12 band ticks (the first restores the bottom rows again), then the closing tick.
  for (int band = 0; band < 12; ++band) {
    out = AnimationTick(c.work.surface, c.snapshot.surface, settings, 3, fills.Fill());
    EXPECT_FALSE(out.restartTimer);
    EXPECT_EQ(out.firstDirtyRow, 22 - 2 * band);
    EXPECT_EQ(out.lastDirtyRow, 23 - 2 * band);
  }
  EXPECT_EQ(engine_test::Colors(c.work.surface), engine_test::Colors(c.snapshot.surface));
  out = AnimationTick(c.work.surface, c.snapshot.surface, settings, 3, fills.Fill());
  EXPECT_TRUE(out.restartTimer);
  EXPECT_EQ(out.timerPeriod, 3500);
  EXPECT_EQ(AnimationPhase, CyclePhase::Fill);
  EXPECT_EQ(fills.calls.size(), 15u);
  AnimationTick(c.work.surface, c.snapshot.surface, settings, 3, fills.Fill());
  EXPECT_EQ(fills.calls.size(), 16u);
}

TEST_F(SaverCycle, OddHeightWipeAlsoRestoresTheTopRow) {
  Canvases c = UniformCanvases(8, 5, 0x808080);
  FillRecorder fills{&c.work.surface, {}};
  const CycleSettings settings{1, 1, 21};
  AnimationTick(c.work.surface, c.snapshot.surface, settings, 1, fills.Fill());  // fill
  int ticks = 0;
  while (AnimationTick(c.work.surface, c.snapshot.surface, settings, 1, fills.Fill()).timerPeriod !=
         1) {
    ASSERT_LT(++ticks, 10);
  }
  // Switch, bands at 3 and 1, row 0 alone, then the closing tick.
  EXPECT_EQ(ticks, 4);
  EXPECT_EQ(engine_test::Colors(c.work.surface), engine_test::Colors(c.snapshot.surface));
}

TEST_F(SaverCycle, OddTimingsAndNoTextures) {
  Canvases c = UniformCanvases(20, 6, 0x808080);
  FillRecorder fills{&c.work.surface, {}};
  // No texture: nothing happens at all.
  TickOutcome out =
      AnimationTick(c.work.surface, c.snapshot.surface, {100, 10, 21}, 0, fills.Fill());
  EXPECT_FALSE(out.repaint || out.restartTimer);
  EXPECT_EQ(AccumulatedFillTime, 0);
  // A refresh time of 0 starts the wipe anew on every tick: no fill ever happens.
  for (int i = 0; i < 5; ++i) {
    out = AnimationTick(c.work.surface, c.snapshot.surface, {0, 10, 21}, 2, fills.Fill());
    EXPECT_TRUE(out.restartTimer);
    EXPECT_EQ(WipeRow, 4);
  }
  EXPECT_TRUE(fills.calls.empty());
  // A time interval of 0 never adds time, so no wipe ever starts.
  ResetSaverCycle();
  for (int i = 0; i < 50; ++i) {
    AnimationTick(c.work.surface, c.snapshot.surface, {100, 0, 21}, 2, fills.Fill());
  }
  EXPECT_EQ(fills.calls.size(), 50u);
  EXPECT_EQ(AnimationPhase, CyclePhase::Fill);
}

TEST_F(SaverCycle, FillTickDrawsXThenYThenTextureAndRedrawsOnlyThePoint) {
  // Left half a 1-pixel checkerboard (every point rejected), right half uniform (accepted).
  Canvases c = UniformCanvases(64, 16, 0x808080);
  Checkerboard(c, 32);
  FillRecorder fills{&c.work.surface, {}};
  SeedRandom(77);
  AnimationTick(c.work.surface, c.snapshot.surface, {50000, 3500, 21}, 5, fills.Fill());
  ASSERT_EQ(fills.calls.size(), 1u);

  SeedRandom(77);
  int x = DrawRandom() % 64, y = DrawRandom() % 16;
  const int t = DrawRandom() % 5;
  while (x < 32) {
    x = DrawRandom() % 64;
    y = DrawRandom() % 16;
  }
  EXPECT_EQ(fills.calls[0], (std::vector<int>{x, y, t}));
}

TEST_F(SaverCycle, FillTickGivesUpAfterTheDrawLimitAndStillCountsTheTime) {
  Canvases c = UniformCanvases(16, 16, 0);
  Checkerboard(c, 16);
  FillRecorder fills{&c.work.surface, {}};
  SeedRandom(5);
  const TickOutcome out =
      AnimationTick(c.work.surface, c.snapshot.surface, {50000, 3500, 21}, 2, fills.Fill());
  EXPECT_TRUE(fills.calls.empty());
  EXPECT_TRUE(out.repaint);
  EXPECT_EQ(AccumulatedFillTime, 3500);
  ExpectDrawLimitSpentSince(5);
}

// Two monitors of different heights leave a dead corner; a point there is drawn again like a
// rejected one. A monitor list that misses the canvas leaves only the draw limit.
TEST_F(SaverCycle, FillsStartOnlyOnAMonitorAndOffMonitorDrawsCount) {
  Canvases c = UniformCanvases(64, 32, 0x808080);
  const std::vector<MonitorRect> monitors = {{0, 0, 40, 32}, {40, 0, 64, 12}};
  FillRecorder fills{&c.work.surface, {}};
  SeedRandom(3);
  for (int i = 0; i < 200; ++i)
    AnimationTick(c.work.surface, c.snapshot.surface, {1 << 30, 1, 21}, 1, fills.Fill(), monitors);
  ASSERT_EQ(fills.calls.size(), 200u);
  int onSecond = 0;
  for (const std::vector<int>& call : fills.calls) {
    EXPECT_TRUE(OnAnyMonitor(monitors, call[0], call[1])) << call[0] << "," << call[1];
    onSecond += call[0] >= 40;
  }
  EXPECT_GT(onSecond, 0);

  ResetSaverCycle();
  SeedRandom(5);
  AnimationTick(c.work.surface, c.snapshot.surface, {50000, 3500, 21}, 2, fills.Fill(),
                {{100, 100, 200, 200}});
  EXPECT_EQ(fills.calls.size(), 200u);
  EXPECT_EQ(AccumulatedFillTime, 3500);
  ExpectDrawLimitSpentSince(5);
}

}  // namespace
