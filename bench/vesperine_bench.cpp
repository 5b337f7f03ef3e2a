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
#include "bench/bench_pictures.h"
#include "engine/region_fill.h"
#include "engine/region_probe.h"

namespace {

constexpr int kThreshold = kBenchThreshold;

void BM_Floor(benchmark::State& state) {
  PixelBuffer canvas =
      BenchCanvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
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
  PixelBuffer canvas =
      BenchCanvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  BenchFillWith(canvas.surface, 0x406080);
  PixelBuffer textures[2] = {SolidTexture(0xC0A020), SolidTexture(0x406080)};
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

// The ramp and the maze of bench_pictures.h: one area of the whole canvas, one of half of it.
void BM_FillRamp(benchmark::State& state) {
  const PixelBuffer picture =
      RampPicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  FillFromFreshCopies(state, picture, picture.surface.width / 2, picture.surface.height / 2);
}

void BM_FillMaze(benchmark::State& state) {
  const PixelBuffer picture =
      MazePicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  FillFromFreshCopies(state, picture, 0, 0);
}

// A busy picture: small blocks of random colours with noise, so most probes walk a little.
void BM_ProbeRandom(benchmark::State& state) {
  PixelBuffer picture = BenchCanvas(1920, 1080);
  std::mt19937 rng(1);
  std::vector<std::uint32_t> block_colors(64);
  for (auto& c : block_colors)
    c = rng() & 0xFFFFFF;
  for (int y = 0; y < 1080; ++y) {
    for (int x = 0; x < 1920; ++x) {
      std::uint32_t c = block_colors[((x / 13) * 7 + (y / 9) * 3) % 64];
      if (rng() % 4 == 0) c ^= 0x3F;
      BenchPut(picture.surface, x, y, c);
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
// Also three 4K monitors side by side, and the two-monitor screen of scripts/measure.py.
BENCHMARK(BM_FillUniform)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Args({11520, 2160})
    ->Args({1824, 768})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillUniformBgr24Texture)->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillRamp)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillMaze)->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProbeRandom)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
