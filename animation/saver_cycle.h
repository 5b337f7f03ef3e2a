// The saver's cycle: fill random areas until "Refresh Time" is used up, then wipe the work canvas
// back to the desktop two rows per tick from the bottom up, and start again.
//
// Every decision of a timer tick lives here, portable and tested natively; the window procedure
// feeds ticks in and carries out what a TickOutcome asks of the window (timer, repaint).
#pragma once

#include <cstdint>
#include <functional>

#include "raster/raster.h"
#include "animation/monitor_layout.h"
#include "engine/region_fill.h"

// ---- Constants -------------------------------------------------------------------------------

// The wipe's timer period in milliseconds.
constexpr int kWipeTickPeriod = 10;

// A fill tick draws at most this many points (the first one included) before it gives up, so a
// canvas on which the probe rejects every point cannot hang the saver.
constexpr int kMaxProbeDraws = 4096;

// ---- Types -----------------------------------------------------------------------------------

enum class CyclePhase { Fill, Wipe };

// What one tick asks of the window after it has run.
struct TickOutcome {
  bool restartTimer = false;  // restart the timer with timerPeriod (ms)
  int timerPeriod = 0;
  bool repaint = false;  // the window must show the work canvas anew
  int firstDirtyRow =
      0;  // with repaint: the rows that changed, first to last; all rows after a fill
  int lastDirtyRow = -1;
};

// The settings a tick reads.
struct CycleSettings {
  int refreshTime;      // ms of filling before a wipe
  int timeInterval;     // ms between two fills, the fill timer's period
  int colorDifference;  // the fill engine's threshold
};

// Fills the area around (x, y) of the work canvas with texture `textureIndex` of the loaded set.
using TextureFill = std::function<FillResult(int x, int y, int textureIndex)>;

class TextureImage;

// ---- Process-wide state ------------------------------------------------------------------------
// Written only by the functions below; lives for the process, reset by ResetSaverCycle for tests.

extern CyclePhase AnimationPhase;
// Sum of "Time Interval" over the fills since the last wipe; 64 bits, so that stored values of any
// size add up without overflow.
extern std::int64_t AccumulatedFillTime;
extern std::int32_t WipeRow;  // top row of the next band that the wipe restores
extern std::uint32_t RandomState;

// ---- Functions -------------------------------------------------------------------------------

// The saver's random generator: a 32-bit linear congruential generator. Seeding sets the state.
void SeedRandom(std::uint32_t seed);
// state = state * 214013 + 2531011; yields bits 16 to 30 of the new state (0 to 32767).
int DrawRandom();

// One timer tick on the work canvas and the desktop snapshot (both of the same size). With no
// texture loaded it does nothing at all. A drawn point on none of `monitors` (canvas pixels; none
// given: the whole canvas) is drawn again as a rejected one is, and counts as a draw.
TickOutcome AnimationTick(Surface& workCanvas, const Surface& desktopSnapshot,
                          const CycleSettings& settings, int textureCount,
                          const TextureFill& fillWithTexture,
                          const std::vector<MonitorRect>& monitors = {});

void ResetSaverCycle();

// One FillRegion with a texture image, as every fill runs: the image's DC is held for the fill,
// and its pixels are read from its bits.
FillResult FillWithImage(Surface& canvas, int threshold, int x, int y, TextureImage& image);
