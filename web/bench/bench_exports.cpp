// The fill benchmarks of bench/vesperine_bench.cpp in WebAssembly: the same canvases, textures and
// starting points, timed inside the module so that the page's own cost stays out of the figure.
#include <emscripten/emscripten.h>

#include <cstring>
#include <utility>

#include "bench/bench_pictures.h"
#include "engine/region_fill.h"

namespace {

enum BenchCase { kUniform = 0, kRamp = 1, kMaze = 2 };

// Milliseconds per fill over `iterations` fills, as the native BM_FillUniform: back and forth
// between two colours, so that every fill meets a uniform canvas.
double TimeUniform(int width, int height, int iterations) {
  PixelBuffer canvas = BenchCanvas(width, height);
  BenchFillWith(canvas.surface, 0x406080);
  PixelBuffer textures[2] = {SolidTexture(0xC0A020), SolidTexture(0x406080)};
  const double start = emscripten_get_now();
  for (int i = 0; i < iterations; ++i)
    FillRegion(canvas.surface, kBenchThreshold, 17, 23, textures[i & 1].surface);
  return (emscripten_get_now() - start) / iterations;
}

// As the native FillFromFreshCopies: each fill on a fresh copy, the copy outside the timing.
double TimeFreshCopies(const PixelBuffer& picture, int x, int y, int iterations) {
  PixelBuffer canvas = picture;
  canvas.surface.bits = canvas.storage.data();
  const PixelBuffer texture = PatternTexture();
  double total = 0;
  for (int i = 0; i < iterations; ++i) {
    const double start = emscripten_get_now();
    FillRegion(canvas.surface, kBenchThreshold, x, y, texture.surface);
    total += emscripten_get_now() - start;
    std::memcpy(canvas.storage.data(), picture.storage.data(), picture.storage.size());
  }
  return total / iterations;
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE double VesperineBenchFill(int benchCase, int width, int height,
                                                          int iterations) {
  if (width <= 0 || height <= 0 || iterations <= 0) return -1;
  switch (benchCase) {
    case kUniform:
      return TimeUniform(width, height, iterations);
    case kRamp:
      return TimeFreshCopies(RampPicture(width, height), width / 2, height / 2, iterations);
    case kMaze:
      return TimeFreshCopies(MazePicture(width, height), 0, 0, iterations);
    default:
      return -1;
  }
}
