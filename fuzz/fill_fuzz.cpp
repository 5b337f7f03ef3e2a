// Fuzzes the probe and the fill on small canvases and checks both against the tests' plain model
// of the engine's rules.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "raster/raster.h"
#include "engine/region_fill.h"
#include "engine/region_probe.h"
#include "fuzz/fuzz_support.h"
#include "tests/unit/fill_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in{data, size};
  const int width = 1 + in.Byte() % 48;
  const int height = 1 + in.Byte() % 40;
  const int threshold = static_cast<int>(in.Byte()) * 4 - 200;  // -200 to 820
  const int x = in.Byte() % width;
  const int y = in.Byte() % height;
  const int tw = 1 + in.Byte() % 9;
  const int th = 1 + in.Byte() % 9;
  // A few colours from the input, so areas form; pixels pick among them.
  ColorRef palette[4];
  for (ColorRef& c : palette) {
    const ColorRef grey = in.Byte() * 0x10101u;
    c = grey ^ (static_cast<ColorRef>(in.Byte()) << 8);
  }

  PixelBuffer canvas, texture;
  if (!AllocatePixelBuffer(canvas, width, height, PixelLayout::kBgrx32, in.Byte() & 1) ||
      !AllocatePixelBuffer(texture, tw, th, PixelLayout::kBgrx32)) {
    return 0;
  }
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const std::uint8_t b = in.Byte();
      const ColorRef color = (palette[b & 3] + ((b >> 2) & 7)) & 0xFFFFFF;
      engine_test::SetPixel32(canvas.surface, c, r, color, b);
    }
  }
  for (std::size_t i = 0; i < texture.storage.size(); ++i)
    texture.storage[i] = in.Byte();

  const ProbeResult probe = ProbeRegion(canvas.surface, threshold, x, y);
  Check(probe == (engine_test::ModelProbe(canvas.surface, threshold, x, y) == 1
                      ? ProbeResult::kAccepted
                      : ProbeResult::kRejected));

  const std::vector<ColorRef> expected =
      engine_test::ModelFill(canvas.surface, threshold, x, y, texture.surface);
  Check(FillRegion(canvas.surface, threshold, x, y, texture.surface) == FillResult::kFilled);
  Check(engine_test::Colors(canvas.surface) == expected);
  return 0;
}
