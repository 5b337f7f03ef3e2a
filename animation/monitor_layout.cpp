#include "animation/monitor_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <utility>

namespace {

MonitorRect Intersect(const MonitorRect& a, const MonitorRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const MonitorRect& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

int FloorHalf(int v) {
  return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

// a * b / c rounded to the nearest integer, at least 1 (all three positive).
int ScaleRounded(int a, int b, int c) {
  const std::int64_t v = (static_cast<std::int64_t>(a) * b + c / 2) / c;
  return static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(v, 1 << 30)));
}

MonitorRect Centred(const MonitorRect& area, int width, int height) {
  const int left = area.left + FloorHalf(area.right - area.left - width);
  const int top = area.top + FloorHalf(area.bottom - area.top - height);
  return {left, top, left + width, top + height};
}

// Scales the picture to `area`'s width or height, whichever makes it cover the area (`cover`) or
// fit inside it, and centres it there.
MonitorRect ScaledInto(const MonitorRect& area, int width, int height, bool cover) {
  const int areaWidth = area.right - area.left;
  const int areaHeight = area.bottom - area.top;
  const bool widthDecides = (static_cast<std::int64_t>(areaWidth) * height <=
                             static_cast<std::int64_t>(areaHeight) * width) != cover;
  if (widthDecides) return Centred(area, areaWidth, ScaleRounded(height, areaWidth, width));
  return Centred(area, ScaleRounded(width, areaHeight, height), areaHeight);
}

// For each output pixel of one axis, the source pixels it blends and their weights.
struct AxisTaps {
  std::vector<int> first;  // per output pixel, its first tap; one more entry ends the last
  std::vector<std::pair<int, float>> taps;
};

// Output pixels outBegin to outEnd - 1 of a picture of sourceSize pixels spread over placeSize
// pixels from placeStart. A pixel's centre maps to the source's scale; the tent is one source
// pixel wide on each side when the picture grows and one output pixel when it shrinks, so each
// output blends every source pixel it covers. Taps past the edges count for the edge pixel.
AxisTaps MakeTaps(int outBegin, int outEnd, int placeStart, int placeSize, int sourceSize) {
  AxisTaps axis;
  const double scale = static_cast<double>(sourceSize) / placeSize;
  const double radius = std::max(1.0, scale);
  axis.first.reserve(static_cast<std::size_t>(outEnd - outBegin) + 1);
  for (int out = outBegin; out < outEnd; ++out) {
    const double centre = (out - placeStart + 0.5) * scale - 0.5;
    const std::size_t start = axis.taps.size();
    axis.first.push_back(static_cast<int>(start));
    double sum = 0;
    const int low = static_cast<int>(std::ceil(centre - radius));
    const int high = static_cast<int>(std::floor(centre + radius));
    for (int s = low; s <= high; ++s) {
      const double weight = 1.0 - std::fabs(s - centre) / radius;
      if (weight <= 0) continue;
      axis.taps.emplace_back(std::min(std::max(s, 0), sourceSize - 1), static_cast<float>(weight));
      sum += weight;
    }
    for (std::size_t t = start; t < axis.taps.size(); ++t)
      axis.taps[t].second = static_cast<float>(axis.taps[t].second / sum);
  }
  axis.first.push_back(static_cast<int>(axis.taps.size()));
  return axis;
}

void PaintBackground(Surface& canvas, const MonitorRect& area, ColorRef background) {
  PixelBuffer row;
  if (!AllocatePixelBuffer(row, area.right - area.left, 1, PixelLayout::kBgrx32)) return;
  auto* pixels = reinterpret_cast<std::uint32_t*>(row.surface.bits);
  std::fill(pixels, pixels + row.surface.width, SwapRedBlue(background));
  for (int y = area.top; y < area.bottom; ++y)
    CopyRect(canvas, area.left, y, row.surface.width, 1, row.surface, 0, 0);
}

// The picture at its own size from `place`'s corner, cut to `visible`.
void CopyUnscaled(Surface& canvas, const MonitorRect& visible, const MonitorRect& place,
                  const Surface& picture) {
  const MonitorRect part = Intersect(visible, place);
  if (IsEmpty(part)) return;
  CopyRect(canvas, part.left, part.top, part.right - part.left, part.bottom - part.top, picture,
           part.left - place.left, part.top - place.top);
}

bool PaintScaled(Surface& canvas, const MonitorRect& visible, const MonitorRect& place,
                 const Surface& picture) {
  const MonitorRect part = Intersect(visible, place);
  if (IsEmpty(part)) return true;
  // The filter reads 32-bit rows; other layouts are converted once.
  PixelBuffer converted;
  const Surface* source = &picture;
  if (picture.layout != PixelLayout::kBgrx32) {
    if (!AllocatePixelBuffer(converted, picture.width, picture.height, PixelLayout::kBgrx32))
      return false;
    CopyRect(converted.surface, 0, 0, picture.width, picture.height, picture, 0, 0);
    source = &converted.surface;
  }
  const AxisTaps columns =
      MakeTaps(part.left, part.right, place.left, place.right - place.left, picture.width);
  const AxisTaps rows =
      MakeTaps(part.top, part.bottom, place.top, place.bottom - place.top, picture.height);
  int firstColumn = picture.width, lastColumn = 0;
  for (const auto& tap : columns.taps) {
    firstColumn = std::min(firstColumn, tap.first);
    lastColumn = std::max(lastColumn, tap.first);
  }
  std::vector<float> blended(3 * static_cast<std::size_t>(picture.width));
  PixelBuffer out;
  if (!AllocatePixelBuffer(out, part.right - part.left, 1, PixelLayout::kBgrx32)) return false;
  auto* outPixels = out.surface.bits;
  for (int y = part.top; y < part.bottom; ++y) {
    const int row = y - part.top;
    std::fill(blended.begin() + 3 * firstColumn, blended.begin() + 3 * (lastColumn + 1), 0.0f);
    for (int t = rows.first[row]; t < rows.first[row + 1]; ++t) {
      const std::uint8_t* in = SurfaceRow(*source, rows.taps[t].first);
      const float weight = rows.taps[t].second;
      for (int x = firstColumn; x <= lastColumn; ++x) {
        float* sum = &blended[3 * static_cast<std::size_t>(x)];
        sum[0] += weight * in[4 * x];
        sum[1] += weight * in[4 * x + 1];
        sum[2] += weight * in[4 * x + 2];
      }
    }
    for (int x = 0; x < out.surface.width; ++x) {
      float sum[3] = {0, 0, 0};
      for (int t = columns.first[x]; t < columns.first[x + 1]; ++t) {
        const float* in = &blended[3 * static_cast<std::size_t>(columns.taps[t].first)];
        const float weight = columns.taps[t].second;
        sum[0] += weight * in[0];
        sum[1] += weight * in[1];
        sum[2] += weight * in[2];
      }
      for (int c = 0; c < 3; ++c)
        outPixels[4 * x + c] = static_cast<std::uint8_t>(std::min(255.0f, sum[c] + 0.5f));
      outPixels[4 * x + 3] = 0;
    }
    CopyRect(canvas, part.left, y, out.surface.width, 1, out.surface, 0, 0);
  }
  return true;
}

}  // namespace

bool OnAnyMonitor(const std::vector<MonitorRect>& monitors, int x, int y) {
  if (monitors.empty()) return true;
  for (const MonitorRect& m : monitors) {
    if (x >= m.left && x < m.right && y >= m.top && y < m.bottom) return true;
  }
  return false;
}

MonitorRect BoundingRect(const std::vector<MonitorRect>& monitors) {
  if (monitors.empty()) return {};
  MonitorRect box = monitors.front();
  for (const MonitorRect& m : monitors) {
    box = {std::min(box.left, m.left), std::min(box.top, m.top), std::max(box.right, m.right),
           std::max(box.bottom, m.bottom)};
  }
  return box;
}

WallpaperStyle WallpaperStyleFromValues(int wallpaperStyle, int tileWallpaper) {
  switch (wallpaperStyle) {
    case 2:
      return WallpaperStyle::kStretch;
    case 6:
      return WallpaperStyle::kFit;
    case 10:
      return WallpaperStyle::kFill;
    case 22:
      return WallpaperStyle::kSpan;
    default:
      return tileWallpaper == 1 ? WallpaperStyle::kTile : WallpaperStyle::kCenter;
  }
}

MonitorRect WallpaperPlacement(const MonitorRect& monitor, int pictureWidth, int pictureHeight,
                               WallpaperStyle style, const MonitorRect& spanArea) {
  switch (style) {
    case WallpaperStyle::kTile:
      return {monitor.left, monitor.top, monitor.left + pictureWidth, monitor.top + pictureHeight};
    case WallpaperStyle::kCenter:
      return Centred(monitor, pictureWidth, pictureHeight);
    case WallpaperStyle::kStretch:
      return monitor;
    case WallpaperStyle::kFit:
      return ScaledInto(monitor, pictureWidth, pictureHeight, false);
    case WallpaperStyle::kFill:
      return ScaledInto(monitor, pictureWidth, pictureHeight, true);
    case WallpaperStyle::kSpan:
      return ScaledInto(spanArea, pictureWidth, pictureHeight, true);
  }
  return monitor;
}

bool LayOutWallpaper(Surface& canvas, const MonitorRect& monitor, const Surface* picture,
                     WallpaperStyle style, ColorRef background, const MonitorRect& spanArea) {
  const MonitorRect visible = Intersect(monitor, {0, 0, canvas.width, canvas.height});
  if (IsEmpty(visible)) return true;
  PaintBackground(canvas, visible, background);
  if (!picture || picture->width <= 0 || picture->height <= 0 || !picture->bits) return true;
  if (style == WallpaperStyle::kSpan && IsEmpty(spanArea)) style = WallpaperStyle::kFill;
  const MonitorRect place =
      WallpaperPlacement(monitor, picture->width, picture->height, style, spanArea);
  if (style == WallpaperStyle::kTile) {
    for (int top = place.top; top < visible.bottom; top += picture->height) {
      for (int left = place.left; left < visible.right; left += picture->width) {
        CopyUnscaled(canvas, visible, {left, top, left + picture->width, top + picture->height},
                     *picture);
      }
    }
    return true;
  }
  if (place.right - place.left == picture->width && place.bottom - place.top == picture->height) {
    CopyUnscaled(canvas, visible, place, *picture);
    return true;
  }
  try {
    return PaintScaled(canvas, visible, place, *picture);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool IsUniform(const Surface& surface) {
  if (surface.width <= 0 || surface.height <= 0) return true;
  const ColorRef first = ReadPixel(surface, 0, 0);
  for (int y = 0; y < surface.height; ++y) {
    for (int x = 0; x < surface.width; ++x) {
      if (ReadPixel(surface, x, y) != first) return false;
    }
  }
  return true;
}
