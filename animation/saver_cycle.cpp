#include "animation/saver_cycle.h"

#include "engine/region_probe.h"
#include "textures/texture_image.h"

CyclePhase AnimationPhase = CyclePhase::Fill;
std::int64_t AccumulatedFillTime = 0;
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

// Copies the band of rows top and top + 1 of the snapshot back into the work canvas. A band at
// -1, the last of an odd height, restores row 0 alone: the copy clips away the row above.
TickOutcome RestoreBand(Surface& work, const Surface& snapshot, int top) {
  CopyRect(work, 0, top, work.width, 2, snapshot, 0, top);
  return Repaint(top < 0 ? 0 : top, top + 1);
}

// Draws points until the probe accepts one and fills its area. Every way out of the tick counts
// as a fill: the time is added even when no point was accepted or memory ran out.
void FillOneRegion(const Surface& work, int threshold, int textureCount,
                   const TextureFill& fillWithTexture, const std::vector<MonitorRect>& monitors) {
  int x = DrawRandom() % work.width;
  int y = DrawRandom() % work.height;
  const int texture = DrawRandom() % textureCount;
  for (int draws = 1;; ++draws) {
    const ProbeResult probe =
        OnAnyMonitor(monitors, x, y) ? ProbeRegion(work, threshold, x, y) : ProbeResult::kRejected;
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
                          const TextureFill& fillWithTexture,
                          const std::vector<MonitorRect>& monitors) {
  const int height = workCanvas.height;
  if (textureCount <= 0 || workCanvas.width <= 0 || height <= 0) return TickOutcome{};

  if (AccumulatedFillTime >= settings.refreshTime) {
    WipeRow = height - 2;
    AnimationPhase = CyclePhase::Wipe;
    AccumulatedFillTime = 0;
    TickOutcome outcome = RestoreBand(workCanvas, desktopSnapshot, WipeRow);
    outcome.restartTimer = true;
    outcome.timerPeriod = kWipeTickPeriod;
    return outcome;
  }

  if (AnimationPhase == CyclePhase::Fill) {
    FillOneRegion(workCanvas, settings.colorDifference, textureCount, fillWithTexture, monitors);
    AccumulatedFillTime += settings.timeInterval;
    return Repaint(0, height - 1);
  }

  // On an odd height the bands end at -1, which restores row 0 alone, so the wipe leaves no
  // painted row behind; the tick after the last band ends the wipe.
  if (WipeRow < -1) {
    // Nothing changed on the canvas: only the timer goes back to the fill period.
    AnimationPhase = CyclePhase::Fill;
    TickOutcome outcome;
    outcome.restartTimer = true;
    outcome.timerPeriod = settings.timeInterval;
    return outcome;
  }
  const TickOutcome outcome = RestoreBand(workCanvas, desktopSnapshot, WipeRow);
  WipeRow -= 2;
  return outcome;
}

FillResult FillWithImage(Surface& canvas, int threshold, int x, int y, TextureImage& image) {
  image.AcquireDC();
  const FillResult result = FillRegion(canvas, threshold, x, y, image.AsSurface());
  image.RelinquishDC();
  return result;
}
