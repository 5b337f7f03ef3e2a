// A plain model of the fill engine's rules, written for clarity (recursion, a pixel at a time,
// every read through ReadPixel) so that the fast engine can be checked against it on many
// pictures, by the unit tests and by fuzzing; and the 32-bit pixel writes and reads they use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "raster/raster.h"
#include "engine/color_span.h"

namespace engine_test {

// ---- Pixels ----------------------------------------------------------------------------------

inline void SetPixel32(Surface& surface, int x, int y, ColorRef c, std::uint8_t fourth = 0) {
  std::uint8_t* p = SurfaceRow(surface, y) + x * 4;
  p[0] = static_cast<std::uint8_t>(c >> 16);
  p[1] = static_cast<std::uint8_t>(c >> 8);
  p[2] = static_cast<std::uint8_t>(c);
  p[3] = fourth;
}

inline std::vector<ColorRef> Colors(const Surface& s) {
  std::vector<ColorRef> out;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x)
      out.push_back(ReadPixel(s, x, y));
  }
  return out;
}

// ---- Model of the engine ---------------------------------------------------------------------

inline bool ModelSimilar(ColorRef a, ColorRef b, int threshold) {
  int d = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int diff = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    d += diff < 0 ? -diff : diff;
  }
  return d < threshold;
}

inline Span ModelFindSpan(const Surface& s, int t, int x, int y) {
  Span span{x, x, y};
  for (int k = x - 1; k >= 0; --k) {
    if (!ModelSimilar(ReadPixel(s, k, y), ReadPixel(s, k + 1, y), t)) break;
    span.left = k;
  }
  for (int k = x + 1; k < s.width; ++k) {
    if (!ModelSimilar(ReadPixel(s, k, y), ReadPixel(s, k - 1, y), t)) break;
    span.right = k;
  }
  return span;
}

inline int ModelScanRow(std::deque<Span>& queue, const Surface& s, int t, int x1, int x2, int r,
                        int d) {
  if (x1 > x2) return 0;
  int last = 0;
  int j = x1;
  while (j <= x2) {
    int candidate = -1;
    for (int k = j; k <= x2; ++k) {
      if (ModelSimilar(ReadPixel(s, k, r), ReadPixel(s, k, r + d), t)) {
        candidate = k;
        break;
      }
    }
    if (candidate < 0) break;
    const Span span = ModelFindSpan(s, t, candidate, r);
    queue.push_back(span);
    last = span.right;
    j = span.right + 1;
  }
  return last;
}

inline int ModelProbe(const Surface& s, int t, int x, int y) {
  const Span picked = ModelFindSpan(s, t, x, y);
  int total = picked.right - picked.left;
  if (total >= 16) return 1;
  for (int d : {-1, 1}) {
    std::deque<Span> queue;
    if (y + d >= 0 && y + d < s.height)
      ModelScanRow(queue, s, t, picked.left, picked.right, y + d, d);
    int cursor = y + d;
    int resume = 0;
    while (!queue.empty()) {
      const Span f = queue.front();
      total += f.right - f.left;
      if (total > 15) return 1;
      queue.pop_front();
      if (d < 0 ? f.row < cursor : f.row > cursor) {
        cursor += d;
        resume = 0;
      }
      if (resume <= f.right && f.row + d >= 0 && f.row + d < s.height) {
        const int start = resume < f.left ? f.left : resume + 1;
        resume = ModelScanRow(queue, s, t, start, f.right, f.row + d, d);
      }
    }
  }
  return 0;
}

// Marking exactly as the rules state it, recursion and all (fine for small pictures).
inline void ModelMark(std::vector<std::uint8_t>& mask, const Surface& s, int t, int x, int y,
                      ColorRef came_from) {
  const int w = s.width;
  const ColorRef p = ReadPixel(s, x, y);
  if (!ModelSimilar(p, came_from, t)) return;
  if (mask[y * w + x]) return;
  mask[y * w + x] = 1;
  int right = x;
  for (int i = x + 1; i < w; ++i) {
    if (!ModelSimilar(ReadPixel(s, i, y), ReadPixel(s, i - 1, y), t) || mask[y * w + i]) break;
    mask[y * w + i] = 1;
    right = i;
  }
  int left = x;
  for (int i = x - 1; i >= 0; --i) {
    if (!ModelSimilar(ReadPixel(s, i, y), ReadPixel(s, i + 1, y), t) || mask[y * w + i]) break;
    mask[y * w + i] = 1;
    left = i;
  }
  for (int m = left; m <= right; ++m) {
    const ColorRef q = ReadPixel(s, m, y);
    if (y > 0) ModelMark(mask, s, t, m, y - 1, q);
    if (y < s.height - 1) ModelMark(mask, s, t, m, y + 1, q);
  }
}

// The whole fill as colours: the canvas after painting the marked area with the tiled texture,
// following the row state machine pixel by pixel.
inline std::vector<ColorRef> ModelFill(const Surface& s, int t, int x, int y, const Surface& tex) {
  const int w = s.width, h = s.height;
  std::vector<ColorRef> out(static_cast<std::size_t>(w) * h);
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c)
      out[r * w + c] = ReadPixel(s, c, r);
  }
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(w) * h, 0);
  ModelMark(mask, s, t, x, y, ReadPixel(s, x, y));
  auto paint = [&](int x1, int x2, int r) {
    for (int c = x1; c <= x2; ++c)
      out[r * w + c] = ReadPixel(tex, c % tex.width, r % tex.height);
  };
  for (int r = 0; r < h; ++r) {
    bool in_run = false;
    int run_start = 0, gap_start = -1, gap_count = 0;
    for (int j = 0; j < w; ++j) {
      if (mask[r * w + j]) {
        if (!in_run) {
          in_run = true;
          run_start = j;
        } else if (gap_start >= 0) {
          gap_start = -1;
          gap_count = 0;
        }
      } else if (in_run) {
        if (gap_start < 0) gap_start = j;
        if (gap_count < 25) {
          ++gap_count;
        } else {
          paint(run_start, gap_start - 1, r);
          in_run = false;
          gap_start = -1;
          gap_count = 0;
        }
      }
    }
    if (in_run) paint(run_start, gap_start >= 0 ? gap_start - 1 : w - 1, r);
  }
  return out;
}

}  // namespace engine_test
