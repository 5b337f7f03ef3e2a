// Benchmarks of the fill engine on canvases of screen size.
//
// BM_Floor is the memory floor of a whole-canvas fill: one pass that reads every pixel and clears
// a mask of the canvas's size. The fill cases time marking and painting together; the canvas is
// put back between iterations outside the timed part, except for the uniform case, which fills
// back and forth between two colours so that every iteration meets a uniform canvas.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "raster/raster.h"
#include "engine/region_fill.h"
#include "engine/region_probe.h"

namespace {

constexpr int kThreshold = 21;

PixelBuffer Canvas(int width, int height) {
  PixelBuffer buffer;
  if (!AllocatePixelBuffer(buffer, width, height, PixelLayout::kBgrx32)) std::abort();
  return buffer;
}

void Put(Surface& s, int x, int y, std::uint32_t bgr) {
  std::memcpy(SurfaceRow(s, y) + static_cast<std::ptrdiff_t>(x) * 4, &bgr, 4);
}

void FillWith(Surface& s, std::uint32_t bgr) {
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x)
      Put(s, x, y, bgr);
  }
}

PixelBuffer Texture(std::uint32_t bgr) {
  PixelBuffer texture = Canvas(64, 64);
  FillWith(texture.surface, bgr);
  return texture;
}

PixelBuffer PatternTexture() {
  PixelBuffer texture = Canvas(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x)
      Put(texture.surface, x, y, 0x203040u + ((x * 4) << 8) + y * 4);
  }
  return texture;
}

void BM_Floor(benchmark::State& state) {
  PixelBuffer canvas = Canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const Surface& s = canvas.surface;
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(s.width) * s.height);
  for (auto _ : state) {
    std::memset(mask.data(), 0, mask.size());
    std::uint32_t sum = 0;
    for (int y = 0; y < s.height; ++y) {
      const std::uint32_t* row = reinterpret_cast<const std::uint32_t*>(SurfaceRow(s, y));
      for (int x = 0; x < s.width; ++x)
        sum += row[x];
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(mask.data());
    benchmark::ClobberMemory();
  }
}

// The uniform case with textures of `layout`: 32-bit like the canvas, or 24-bit as pictures
// without alpha decode, which every tile would have to convert.
void FillUniform(benchmark::State& state, PixelLayout layout) {
  PixelBuffer canvas = Canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  FillWith(canvas.surface, 0x406080);
  PixelBuffer textures[2] = {Texture(0xC0A020), Texture(0x406080)};
  for (PixelBuffer& texture : textures) {
    if (layout == texture.surface.layout) continue;
    PixelBuffer converted;
    if (!AllocatePixelBuffer(converted, 64, 64, layout)) std::abort();
    CopyRect(converted.surface, 0, 0, 64, 64, texture.surface, 0, 0);
    texture = std::move(converted);
  }
  int turn = 0;
  for (auto _ : state) {
    if (FillRegion(canvas.surface, kThreshold, 17, 23, textures[turn].surface) !=
        FillResult::kFilled) {
      state.SkipWithError("out of memory");
    }
    turn ^= 1;
  }
}

void BM_FillUniform(benchmark::State& state) {
  FillUniform(state, PixelLayout::kBgrx32);
}
void BM_FillUniformBgr24Texture(benchmark::State& state) {
  FillUniform(state, PixelLayout::kBgr24);
}

// Runs one whole-area fill per iteration on a fresh copy of `picture`.
void FillFromFreshCopies(benchmark::State& state, const PixelBuffer& picture, int x, int y) {
  PixelBuffer canvas = picture;
  canvas.surface.bits = canvas.storage.data();
  PixelBuffer texture = PatternTexture();
  for (auto _ : state) {
    if (FillRegion(canvas.surface, kThreshold, x, y, texture.surface) != FillResult::kFilled) {
      state.SkipWithError("out of memory");
    }
    state.PauseTiming();
    std::memcpy(canvas.storage.data(), picture.storage.data(), picture.storage.size());
    state.ResumeTiming();
  }
}

// Neighbours differ by the threshold minus one in red, folding back at the top, so the whole
// canvas is one area although its colours span the full range.
void BM_FillRamp(benchmark::State& state) {
  PixelBuffer picture = Canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int step = kThreshold - 1;
  const int levels = 255 / step;
  for (int y = 0; y < picture.surface.height; ++y) {
    for (int x = 0; x < picture.surface.width; ++x) {
      const int phase = x % (2 * levels);
      const int level = phase <= levels ? phase : 2 * levels - phase;
      Put(picture.surface, x, y, 0x005030u + static_cast<std::uint32_t>(level * step) * 0x10000u);
    }
  }
  FillFromFreshCopies(state, picture, picture.surface.width / 2, picture.surface.height / 2);
}

// One-pixel corridors in the even columns, walls in the odd ones opening alternately at the
// bottom and the top: one serpentine area of half the canvas.
void BM_FillMaze(benchmark::State& state) {
  PixelBuffer picture = Canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int h = picture.surface.height;
  FillWith(picture.surface, 0x202020);
  for (int x = 1; x < picture.surface.width; x += 2) {
    const int gap = (x / 2) % 2 == 0 ? h - 1 : 0;
    for (int y = 0; y < h; ++y) {
      if (y != gap) Put(picture.surface, x, y, 0xE0E0E0);
    }
  }
  FillFromFreshCopies(state, picture, 0, 0);
}

// A busy picture: small blocks of random colours with noise, so most probes walk a little.
void BM_ProbeRandom(benchmark::State& state) {
  PixelBuffer picture = Canvas(1920, 1080);
  std::mt19937 rng(1);
  std::vector<std::uint32_t> block_colors(64);
  for (auto& c : block_colors)
    c = rng() & 0xFFFFFF;
  for (int y = 0; y < 1080; ++y) {
    for (int x = 0; x < 1920; ++x) {
      std::uint32_t c = block_colors[((x / 13) * 7 + (y / 9) * 3) % 64];
      if (rng() % 4 == 0) c ^= 0x3F;
      Put(picture.surface, x, y, c);
    }
  }
  std::vector<std::pair<int, int>> points(10000);
  for (auto& p : points)
    p = {static_cast<int>(rng() % 1920), static_cast<int>(rng() % 1080)};
  for (auto _ : state) {
    int accepted = 0;
    for (const auto& p : points) {
      accepted +=
          ProbeRegion(picture.surface, kThreshold, p.first, p.second) == ProbeResult::kAccepted;
    }
    benchmark::DoNotOptimize(accepted);
  }
}

}  // namespace

BENCHMARK(BM_Floor)->Args({3840, 2160})->Unit(benchmark::kMillisecond);
// Also three 4K monitors side by side, and the two-monitor screen of scripts/measure.sh.
BENCHMARK(BM_FillUniform)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Args({11520, 2160})
    ->Args({1824, 768})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillUniformBgr24Texture)->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillRamp)->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillMaze)->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProbeRandom)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
