#include "engine/color_span.h"

#include "engine/canvas_pixels.h"

int ColorDistance(ColorRef a, ColorRef b) {
  return engine_detail::Distance(a, b);
}

bool ColorsSimilar(ColorRef a, ColorRef b, int threshold) {
  return engine_detail::Similar(a, b, threshold);
}

Span FindSpan(const Surface& canvas, int threshold, int x, int y) {
  return engine_detail::WithPixels(canvas, [&](const auto& pixels) {
    return engine_detail::SpanAround(pixels, threshold, x, y);
  });
}
