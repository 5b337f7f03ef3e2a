// The region probe: a cheap estimate of whether the area around a picked point is worth filling.
//
// Starting from the point's span it walks upward, then downward, row by row, adding up the measures
// of the spans it meets, and accepts as soon as the total passes 15. It only reads the canvas.
#pragma once

#include <cstddef>

#include "raster/raster.h"
#include "engine/color_span.h"

// ---- Constants -------------------------------------------------------------------------------

// The probe accepts once the measures of the spans it has taken add up to more than this.
constexpr int kProbeLimit = 15;

// ---- Types -----------------------------------------------------------------------------------

// First-in, first-out queue of spans, bounded only by memory. A push that cannot get memory drops
// the span and sets `failed`, which stays set; the probe checks it after every scan.
struct SpanQueue {
  SpanQueue() = default;
  SpanQueue(const SpanQueue&) = delete;
  SpanQueue& operator=(const SpanQueue&) = delete;
  ~SpanQueue();

  void Push(const Span& span);
  bool Empty() const { return head == tail; }
  const Span& Front() const { return items[head]; }
  void Pop() { ++head; }

  Span* items = nullptr;
  std::size_t head = 0;      // index of the front span
  std::size_t tail = 0;      // one past the back span
  std::size_t capacity = 0;  // spans that `items` holds
  bool failed = false;
};

enum class ProbeResult {
  kRejected = 0,
  kAccepted = 1,
  kOutOfMemory = 2,  // a queue could not grow; nothing is known about the area
};

// ---- Functions -------------------------------------------------------------------------------

// Scans columns x1 to x2 of `row` for candidates: pixels similar to their neighbour one row further
// in `direction` (-1 upward, +1 downward; outside the canvas that neighbour reads as CLR_INVALID).
// Appends the whole span of each candidate and returns the right end of the last span appended,
// or 0 when it appended none.
int ScanRowForSpans(SpanQueue& queue, const Surface& canvas, int threshold, int x1, int x2, int row,
                    int direction);

// Whether the area around (x, y), which must lie inside the canvas, is large enough to fill.
ProbeResult ProbeRegion(const Surface& canvas, int threshold, int x, int y);
