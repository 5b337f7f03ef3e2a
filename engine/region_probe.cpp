#include "engine/region_probe.h"

#include <cassert>
#include <cstdlib>

#include "engine/canvas_pixels.h"

using engine_detail::Similar;
using engine_detail::SpanAround;
using engine_detail::WithPixels;

SpanQueue::~SpanQueue() {
  std::free(items);
}

void SpanQueue::Push(const Span& span) {
  if (failed) return;
  if (tail == capacity) {
    // Taken spans are never looked at again, so their room is reused before the queue grows.
    if (head > 0) {
      for (std::size_t i = head; i < tail; ++i)
        items[i - head] = items[i];
      tail -= head;
      head = 0;
    }
    if (tail == capacity) {
      const std::size_t grown = capacity == 0 ? 64 : capacity * 2;
      void* moved = grown > capacity ? std::realloc(items, grown * sizeof(Span)) : nullptr;
      if (moved == nullptr) {
        failed = true;
        return;
      }
      items = static_cast<Span*>(moved);
      capacity = grown;
    }
  }
  items[tail++] = span;
}

namespace {

template <typename Pixels>
int ScanRow(SpanQueue& queue, const Pixels& pixels, int threshold, int x1, int x2, int row,
            int direction) {
  int last_right = 0;
  int column = x1;
  while (column <= x2) {
    int candidate = column;
    // The candidate's partner lies one row further on, beyond the scanned row; off the canvas it
    // reads as CLR_INVALID, so on the first and last rows only near-white pixels qualify.
    while (candidate <= x2 &&
           !Similar(pixels.In(candidate, row), pixels.At(candidate, row + direction), threshold)) {
      ++candidate;
    }
    if (candidate > x2) break;
    const Span span = SpanAround(pixels, threshold, candidate, row);
    queue.Push(span);
    last_right = span.right;
    column = span.right + 1;
  }
  return last_right;
}

// One walk away from the picked row: takes spans front first, adding their measures to `total`,
// and scans the row beyond each one. True once the total passes the limit.
template <typename Pixels>
bool Walk(SpanQueue& queue, const Pixels& pixels, int threshold, int first_row, int direction,
          int& total) {
  int cursor = first_row;
  int resume = 0;
  while (!queue.Empty()) {
    const Span span = queue.Front();
    total += span.right - span.left;
    if (total > kProbeLimit) return true;
    queue.Pop();
    if ((span.row - cursor) * direction > 0) {
      cursor += direction;
      resume = 0;
    }
    const int next_row = span.row + direction;
    if (resume <= span.right && next_row >= 0 && next_row < pixels.height) {
      const int start = resume < span.left ? span.left : resume + 1;
      resume = ScanRow(queue, pixels, threshold, start, span.right, next_row, direction);
      if (queue.failed) return false;
    }
  }
  return false;
}

template <typename Pixels>
ProbeResult Probe(const Pixels& pixels, int threshold, int x, int y) {
  const Span picked = SpanAround(pixels, threshold, x, y);
  int total = picked.right - picked.left;
  if (total > kProbeLimit) return ProbeResult::kAccepted;

  for (const int direction : {-1, +1}) {
    SpanQueue queue;
    const int first_row = y + direction;
    if (first_row >= 0 && first_row < pixels.height) {
      ScanRow(queue, pixels, threshold, picked.left, picked.right, first_row, direction);
      if (queue.failed) return ProbeResult::kOutOfMemory;
    }
    if (Walk(queue, pixels, threshold, first_row, direction, total)) return ProbeResult::kAccepted;
    if (queue.failed) return ProbeResult::kOutOfMemory;
  }
  return ProbeResult::kRejected;
}

}  // namespace

int ScanRowForSpans(SpanQueue& queue, const Surface& canvas, int threshold, int x1, int x2, int row,
                    int direction) {
  assert(row >= 0 && row < canvas.height && (direction == 1 || direction == -1));
  if (row < 0 || row >= canvas.height) return 0;
  if (x1 < 0) x1 = 0;
  if (x2 > canvas.width - 1) x2 = canvas.width - 1;
  if (x1 > x2) return 0;
  return WithPixels(canvas, [&](const auto& pixels) {
    return ScanRow(queue, pixels, threshold, x1, x2, row, direction < 0 ? -1 : 1);
  });
}

ProbeResult ProbeRegion(const Surface& canvas, int threshold, int x, int y) {
  assert(x >= 0 && y >= 0 && x < canvas.width && y < canvas.height);
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return ProbeResult::kRejected;
  return WithPixels(canvas, [&](const auto& pixels) { return Probe(pixels, threshold, x, y); });
}
