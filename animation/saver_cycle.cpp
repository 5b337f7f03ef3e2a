#include "animation/saver_cycle.h"

#include "engine/region_probe.h"
#include "settings/texture_image.h"

CyclePhase AnimationPhase = CyclePhase::Fill;
std::int32_t AccumulatedFillTime = 0;
std::int32_t WipeRow = 0;
std::uint32_t RandomState = 0;

void SeedRandom(std::uint32_t seed) {
  RandomState = seed;
}

int DrawRandom() {
  RandomState = RandomState * 214013u + 2531011u;
  return static_cast<int>((RandomState >> 16) & 0x7FFF);
}

void ResetSaverCycle() {
  AnimationPhase = CyclePhase::Fill;
  AccumulatedFillTime = 0;
  WipeRow = 0;
  RandomState = 0;
}

namespace {

TickOutcome Repaint(int firstRow, int lastRow) {
  TickOutcome outcome;
  outcome.repaint = true;
  outcome.firstDirtyRow = firstRow;
  outcome.lastDirtyRow = lastRow;
  return outcome;
}

// Copies `rows` rows from `top` down of the snapshot back into the work canvas.
void RestoreRows(Surface& work, const Surface& snapshot, int top, int rows) {
  CopyRect(work, 0, top, work.width, rows, snapshot, 0, top);
}

// Draws points until the probe accepts one and fills its area. Every way out of the tick counts
// as a fill: the time is added even when no point was accepted or memory ran out.
void FillOneRegion(const Surface& work, int threshold, int textureCount,
                   const TextureFill& fillWithTexture) {
  int x = DrawRandom() % work.width;
  int y = DrawRandom() % work.height;
  const int texture = DrawRandom() % textureCount;
  for (int draws = 1;; ++draws) {
    const ProbeResult probe = ProbeRegion(work, threshold, x, y);
    if (probe == ProbeResult::kAccepted) {
      fillWithTexture(x, y, texture);
      return;
    }
    if (probe == ProbeResult::kOutOfMemory || draws == kMaxProbeDraws) return;
    x = DrawRandom() % work.width;
    y = DrawRandom() % work.height;
  }
}

}  // namespace

TickOutcome AnimationTick(Surface& workCanvas, const Surface& desktopSnapshot,
                          const CycleSettings& settings, int textureCount,
                          const TextureFill& fillWithTexture) {
  const int height = workCanvas.height;
  if (textureCount <= 0 || workCanvas.width <= 0 || height <= 0) return TickOutcome{};

  if (AccumulatedFillTime >= settings.refreshTime) {
    WipeRow = height - 2;
    AnimationPhase = CyclePhase::Wipe;
    RestoreRows(workCanvas, desktopSnapshot, height - 2, 2);
    AccumulatedFillTime = 0;
    TickOutcome outcome = Repaint(height - 2 < 0 ? 0 : height - 2, height - 1);
    outcome.restartTimer = true;
    outcome.timerPeriod = kWipeTickPeriod;
    return outcome;
  }

  if (AnimationPhase == CyclePhase::Fill) {
    FillOneRegion(workCanvas, settings.colorDifference, textureCount, fillWithTexture);
    AccumulatedFillTime += settings.timeInterval;
    return Repaint(0, height - 1);
  }

  // On an odd height the bands end at -1: that tick restores row 0 alone, so the wipe leaves no
  // painted row behind, and the next tick ends the wipe.
  if (WipeRow == -1) {
    RestoreRows(workCanvas, desktopSnapshot, 0, 1);
    WipeRow -= 2;
    return Repaint(0, 0);
  }
  if (WipeRow < 0) {
    // Nothing changed on the canvas: only the timer goes back to the fill period.
    AnimationPhase = CyclePhase::Fill;
    TickOutcome outcome;
    outcome.restartTimer = true;
    outcome.timerPeriod = settings.timeInterval;
    return outcome;
  }
  RestoreRows(workCanvas, desktopSnapshot, WipeRow, 2);
  const TickOutcome outcome = Repaint(WipeRow, WipeRow + 1);
  WipeRow -= 2;
  return outcome;
}

FillResult FillWithImage(Surface& canvas, int threshold, int x, int y, TextureImage& image) {
  image.AcquireDC();
  const FillResult result = FillRegion(canvas, threshold, x, y, image.AsSurface());
  image.RelinquishDC();
  return result;
}
