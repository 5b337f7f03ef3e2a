// The page's way into the engine: the saver's cycle (AnimationTick) on a desktop picture and
// textures that the browser decoded, exported as plain C functions to the page's script.
//
// Pictures come in as RGBA rows (a canvas's getImageData) and are kept as 32-bit BGRX surfaces,
// as the saver keeps its canvases. The work canvas is mirrored into an RGBA frame that the page
// hands to putImageData; a tick converts only the rows it changed.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "raster/raster.h"
#include "animation/saver_cycle.h"
#include "engine/region_fill.h"

namespace {

// A picture bigger than this is refused by the page: 8K, or a wide row of smaller monitors.
constexpr std::int64_t kMaxDesktopPixels = std::int64_t{7680} * 4320;
constexpr int kMaxSide = 16384;
// As the saver's texture loader: 256 MiB of 32-bit pixels.
constexpr std::int64_t kMaxTexturePixels = (std::int64_t{256} << 20) / 4;

// Lives for the page: the desktop as loaded, the work canvas, its RGBA mirror, the textures.
PixelBuffer Snapshot;
PixelBuffer Work;
std::vector<std::uint8_t> Frame;
std::vector<PixelBuffer> Textures;
std::vector<std::uint8_t> Staging;  // RGBA rows the page writes a picture into
CycleSettings Settings = {50000, 3500, 21};

// What the last tick asks of the page: restart the timer (0 or 1), its period, repaint (0 or 1),
// the first and last changed row.
std::int32_t LastOutcome[5];

bool Fits(int width, int height, std::int64_t maxPixels) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         std::int64_t{width} * height <= maxPixels;
}

// An RGBA pixel read as one little-endian value is a ColorRef with alpha in bits 24-31, so the
// saver's own swap turns it into a 32-bit canvas pixel and back.
void StoreRgba(Surface& surface, const std::uint8_t* rgba) {
  for (int y = 0; y < surface.height; ++y) {
    std::uint8_t* row = SurfaceRow(surface, y);
    for (int x = 0; x < surface.width; ++x, rgba += 4) {
      std::uint32_t color;
      std::memcpy(&color, rgba, 4);
      const std::uint32_t pixel = SwapRedBlue(color);
      std::memcpy(row + static_cast<std::ptrdiff_t>(x) * 4, &pixel, 4);
    }
  }
}

void MirrorRows(int first, int last) {
  if (first < 0) first = 0;
  if (last >= Work.surface.height) last = Work.surface.height - 1;
  const std::size_t rowBytes = static_cast<std::size_t>(Work.surface.width) * 4;
  for (int y = first; y <= last; ++y) {
    const std::uint8_t* row = SurfaceRow(Work.surface, y);
    std::uint8_t* rgba = Frame.data() + rowBytes * y;
    for (int x = 0; x < Work.surface.width; ++x, rgba += 4) {
      std::uint32_t pixel;
      std::memcpy(&pixel, row + static_cast<std::ptrdiff_t>(x) * 4, 4);
      const std::uint32_t color = SwapRedBlue(pixel) | 0xFF000000u;
      std::memcpy(rgba, &color, 4);
    }
  }
}

bool Allocate(PixelBuffer& buffer, int width, int height) {
  try {
    return AllocatePixelBuffer(buffer, width, height, PixelLayout::kBgrx32);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

extern "C" {

// Room for a picture of width x height as RGBA rows; null when it is too big or memory is short.
// `forDesktop` picks the size limit. The rows stay valid until the next call of this function.
EMSCRIPTEN_KEEPALIVE std::uint8_t* VesperineStaging(int width, int height, int forDesktop) {
  if (!Fits(width, height, forDesktop ? kMaxDesktopPixels : kMaxTexturePixels)) return nullptr;
  try {
    Staging.assign(static_cast<std::size_t>(width) * height * 4, 0);
  } catch (const std::bad_alloc&) {
    Staging.clear();
    Staging.shrink_to_fit();
    return nullptr;
  }
  return Staging.data();
}

// The work canvas back to the desktop and the cycle at its start, seeded with `seed`. Returns the
// RGBA frame.
EMSCRIPTEN_KEEPALIVE std::uint8_t* VesperineRestart(std::uint32_t seed) {
  if (Frame.empty()) return nullptr;
  CopyRect(Work.surface, 0, 0, Work.surface.width, Work.surface.height, Snapshot.surface, 0, 0);
  ResetSaverCycle();
  SeedRandom(seed);
  MirrorRows(0, Work.surface.height - 1);
  return Frame.data();
}

// Makes the staged picture the desktop: snapshot and work canvas both, and the cycle starts anew
// with `seed`. Returns the RGBA frame to show, or null when memory is short (nothing changed).
EMSCRIPTEN_KEEPALIVE std::uint8_t* VesperineSetDesktop(int width, int height, std::uint32_t seed) {
  if (Staging.size() != static_cast<std::size_t>(width) * height * 4) return nullptr;
  PixelBuffer snapshot;
  PixelBuffer work;
  std::vector<std::uint8_t> frame;
  try {
    if (!Allocate(snapshot, width, height) || !Allocate(work, width, height)) return nullptr;
    frame.resize(Staging.size());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  StoreRgba(snapshot.surface, Staging.data());
  Snapshot = std::move(snapshot);
  Work = std::move(work);
  Frame = std::move(frame);
  Staging.clear();
  Staging.shrink_to_fit();
  return VesperineRestart(seed);
}

// Appends the staged picture to the textures; 0 when memory is short.
EMSCRIPTEN_KEEPALIVE int VesperineAddTexture(int width, int height) {
  if (Staging.size() != static_cast<std::size_t>(width) * height * 4) return 0;
  PixelBuffer texture;
  if (!Allocate(texture, width, height)) return 0;
  StoreRgba(texture.surface, Staging.data());
  try {
    Textures.push_back(std::move(texture));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

EMSCRIPTEN_KEEPALIVE void VesperineRemoveTexture(int index) {
  if (index >= 0 && index < static_cast<int>(Textures.size()))
    Textures.erase(Textures.begin() + index);
}

EMSCRIPTEN_KEEPALIVE void VesperineSettings(int refreshTime, int timeInterval,
                                            int colorDifference) {
  Settings = {refreshTime, timeInterval, colorDifference};
}

// One timer tick of the saver. Returns the five numbers of the outcome (see LastOutcome); the
// frame's changed rows are up to date.
EMSCRIPTEN_KEEPALIVE const std::int32_t* VesperineTick() {
  std::memset(LastOutcome, 0, sizeof LastOutcome);
  if (Frame.empty()) return LastOutcome;
  const TextureFill fill = [](int x, int y, int index) {
    return FillRegion(Work.surface, Settings.colorDifference, x, y,
                      Textures[static_cast<std::size_t>(index)].surface);
  };
  const TickOutcome outcome = AnimationTick(Work.surface, Snapshot.surface, Settings,
                                            static_cast<int>(Textures.size()), fill);
  if (outcome.repaint) MirrorRows(outcome.firstDirtyRow, outcome.lastDirtyRow);
  LastOutcome[0] = outcome.restartTimer;
  LastOutcome[1] = outcome.timerPeriod;
  LastOutcome[2] = outcome.repaint;
  LastOutcome[3] = outcome.firstDirtyRow;
  LastOutcome[4] = outcome.lastDirtyRow;
  return LastOutcome;
}

}  // extern "C"
