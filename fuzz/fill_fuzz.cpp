// Fuzzes the probe and the fill on small canvases and checks the fill against a plain model: a
// breadth-first search over the similarity links, then each row painted from its first to its last
// marked pixel with gaps over the limit left alone.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "raster/raster.h"
#include "engine/region_fill.h"
#include "engine/region_probe.h"

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
};

bool Similar(ColorRef a, ColorRef b, int threshold) {
  int d = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    d += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  }
  return d < threshold;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
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
  std::vector<ColorRef> before;
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const std::uint8_t b = in.Byte();
      const ColorRef color = (palette[b & 3] + ((b >> 2) & 7)) & 0xFFFFFF;
      std::uint8_t* p = SurfaceRow(canvas.surface, r) + c * 4;
      p[0] = static_cast<std::uint8_t>(color >> 16);
      p[1] = static_cast<std::uint8_t>(color >> 8);
      p[2] = static_cast<std::uint8_t>(color);
      p[3] = static_cast<std::uint8_t>(b);
      before.push_back(color);
    }
  }
  for (std::size_t i = 0; i < texture.storage.size(); ++i)
    texture.storage[i] = in.Byte();

  const ProbeResult probe = ProbeRegion(canvas.surface, threshold, x, y);
  Check(probe == ProbeResult::kAccepted || probe == ProbeResult::kRejected);

  // The model's area.
  std::vector<std::uint8_t> marked(before.size(), 0);
  std::deque<int> pending;
  if (Similar(before[y * width + x], before[y * width + x], threshold)) {
    marked[y * width + x] = 1;
    pending.push_back(y * width + x);
  }
  while (!pending.empty()) {
    const int at = pending.front();
    pending.pop_front();
    const int r = at / width, c = at % width;
    const int neighbours[4][2] = {{c - 1, r}, {c + 1, r}, {c, r - 1}, {c, r + 1}};
    for (const auto& n : neighbours) {
      if (n[0] < 0 || n[1] < 0 || n[0] >= width || n[1] >= height) continue;
      const int next = n[1] * width + n[0];
      if (!marked[next] && Similar(before[at], before[next], threshold)) {
        marked[next] = 1;
        pending.push_back(next);
      }
    }
  }

  Check(FillRegion(canvas.surface, threshold, x, y, texture.surface) == FillResult::kFilled);
  for (int r = 0; r < height; ++r) {
    int last_marked = -1;
    for (int c = 0; c < width; ++c) {
      if (marked[r * width + c]) last_marked = c;
    }
    bool painting = false;
    int previous_marked = -1;
    for (int c = 0; c < width; ++c) {
      if (marked[r * width + c]) {
        painting = true;
        previous_marked = c;
      } else if (painting) {
        // Inside a gap: painted when the gap closes within the limit before the row's last mark.
        int next = c;
        while (next < width && !marked[r * width + next])
          ++next;
        painting = next <= last_marked && next - previous_marked - 1 <= kFillGapLimit;
      }
      const ColorRef want =
          painting ? ReadPixel(texture.surface, c % tw, r % th) : before[r * width + c];
      Check(ReadPixel(canvas.surface, c, r) == want);
    }
  }
  return 0;
}
