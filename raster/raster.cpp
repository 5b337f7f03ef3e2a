#include "raster/raster.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

constexpr int kLayoutCount = 7;
constexpr std::int64_t kMaxBufferBytes = std::int64_t{1} << 31;

// Inside this file a colour travels as an RGBQUAD value (blue in bits 0-7, red in 16-23, bits
// 24-31 zero): that is what a little-endian load of a 32-bit pixel or a colour-table entry gives,
// so the hot conversions never swap channels. Only ReadPixel turns it into a COLORREF.
constexpr std::uint32_t kRgbMask = 0x00FFFFFF;

bool ValidLayout(PixelLayout layout) {
  return static_cast<int>(layout) < kLayoutCount;
}

constexpr bool IsIndexed(PixelLayout layout) {
  return layout == PixelLayout::kIndexed1 || layout == PixelLayout::kIndexed4 ||
         layout == PixelLayout::kIndexed8;
}

constexpr std::uint32_t Expand5(std::uint32_t v) {
  return (v << 3) | (v >> 2);
}
constexpr std::uint32_t Expand6(std::uint32_t v) {
  return (v << 2) | (v >> 4);
}

constexpr std::uint32_t WordToQuad(std::uint32_t w, bool green6) {
  const std::uint32_t b = Expand5(w & 0x1F);
  if (!green6) return b | (Expand5((w >> 5) & 0x1F) << 8) | (Expand5((w >> 10) & 0x1F) << 16);
  return b | (Expand6((w >> 5) & 0x3F) << 8) | (Expand5(w >> 11) << 16);
}

// Masks, shifts and ORs all distribute over OR, so a word's colour is the OR of what its low byte
// and its high byte give alone: two lookups per pixel instead of a dozen operations.
struct WordTables {
  std::uint32_t low[256];
  std::uint32_t high[256];
};

constexpr WordTables MakeWordTables(bool green6) {
  WordTables tables{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    tables.low[i] = WordToQuad(i, green6);
    tables.high[i] = WordToQuad(i << 8, green6);
  }
  return tables;
}

constexpr WordTables kWords555 = MakeWordTables(false);
constexpr WordTables kWords565 = MakeWordTables(true);

// ---- Colour tables ---------------------------------------------------------------------------

struct SourceTable {
  explicit SourceTable(const Surface& surface)
      : entries(surface.colorTable),
        count(surface.colorTable && surface.colorCount > 0 ? surface.colorCount : 0) {}

  const std::uint32_t* entries;
  unsigned count;

  std::uint32_t Lookup(unsigned index) const {
    return index < count ? entries[index] & kRgbMask : 0;
  }
};

// Maps colours to the nearest entry of a destination's table. Pictures come in runs of one
// colour, so the last answer is kept.
class NearestIndex {
 public:
  NearestIndex(const std::uint32_t* entries, int count) : entries_(entries), count_(count) {}

  unsigned operator()(std::uint32_t quad) {
    if (quad != lastQuad_) {
      lastQuad_ = quad;
      lastIndex_ = Search(quad);
    }
    return lastIndex_;
  }

 private:
  // Distance 0 is an exact match and nothing beats it, so the first exact entry wins; otherwise
  // the strict comparison keeps the lowest index among equals.
  unsigned Search(std::uint32_t quad) const {
    const int b = quad & 0xFF, g = (quad >> 8) & 0xFF, r = (quad >> 16) & 0xFF;
    unsigned best = 0;
    std::int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < count_; ++i) {
      const std::uint32_t e = entries_[i];
      const int db = static_cast<int>(e & 0xFF) - b;
      const int dg = static_cast<int>((e >> 8) & 0xFF) - g;
      const int dr = static_cast<int>((e >> 16) & 0xFF) - r;
      const std::int64_t distance = db * db + dg * dg + dr * dr;
      if (distance < bestDistance) {
        bestDistance = distance;
        best = static_cast<unsigned>(i);
        if (distance == 0) break;
      }
    }
    return best;
  }

  const std::uint32_t* entries_;
  int count_;
  std::uint32_t lastQuad_ = 0xFFFFFFFF;  // never a masked colour
  unsigned lastIndex_ = 0;
};

// ---- Pixel access per layout -----------------------------------------------------------------

// Pixel words are little-endian, like every target this builds for; whole-word moves let the
// compiler emit one load or store per pixel.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "raster.cpp reads pixel words as little-endian"
#endif

std::uint32_t LoadQuad(const std::uint8_t* p) {
  std::uint32_t q;
  std::memcpy(&q, p, sizeof q);
  return q & kRgbMask;
}

void StoreWord(std::uint8_t* p, std::uint32_t w) {
  const auto word = static_cast<std::uint16_t>(w);
  std::memcpy(p, &word, sizeof word);
}

void StoreQuad(std::uint8_t* p, std::uint32_t q) {
  std::memcpy(p, &q, sizeof q);
}

template <PixelLayout L>
unsigned LoadIndex(const std::uint8_t* row, int x) {
  if constexpr (L == PixelLayout::kIndexed1) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1u;
  } else if constexpr (L == PixelLayout::kIndexed4) {
    const unsigned byte = row[x >> 1];
    return (x & 1) ? byte & 0xFu : byte >> 4;
  } else {
    return row[x];
  }
}

template <PixelLayout L>
void StoreIndex(std::uint8_t* row, int x, unsigned index) {
  if constexpr (L == PixelLayout::kIndexed1) {
    const int shift = 7 - (x & 7);
    std::uint8_t& byte = row[x >> 3];
    byte = static_cast<std::uint8_t>((byte & ~(1u << shift)) | ((index & 1u) << shift));
  } else if constexpr (L == PixelLayout::kIndexed4) {
    const int shift = (x & 1) ? 0 : 4;
    std::uint8_t& byte = row[x >> 1];
    byte = static_cast<std::uint8_t>((byte & ~(0xFu << shift)) | ((index & 0xFu) << shift));
  } else {
    row[x] = static_cast<std::uint8_t>(index);
  }
}

template <PixelLayout L>
std::uint32_t Load(const std::uint8_t* row, int x, const SourceTable& table) {
  if constexpr (IsIndexed(L)) {
    return table.Lookup(LoadIndex<L>(row, x));
  } else if constexpr (L == PixelLayout::kRgb555 || L == PixelLayout::kRgb565) {
    const WordTables& words = L == PixelLayout::kRgb555 ? kWords555 : kWords565;
    const std::uint8_t* p = row + 2 * x;
    return words.low[p[0]] | words.high[p[1]];
  } else if constexpr (L == PixelLayout::kBgr24) {
    const std::uint8_t* p = row + 3 * x;
    return p[0] | (p[1] << 8) | (p[2] << 16);
  } else {
    return LoadQuad(row + 4 * x);
  }
}

template <PixelLayout L>
void Store(std::uint8_t* row, int x, std::uint32_t quad, NearestIndex& nearest) {
  if constexpr (IsIndexed(L)) {
    StoreIndex<L>(row, x, nearest(quad));
  } else if constexpr (L == PixelLayout::kRgb555 || L == PixelLayout::kRgb565) {
    const std::uint32_t b = (quad & 0xFF) >> 3, g = (quad >> 8) & 0xFF, r = (quad >> 16) >> 3;
    const std::uint32_t w = L == PixelLayout::kRgb555 ? (r << 10) | ((g >> 3) << 5) | b
                                                      : (r << 11) | ((g >> 2) << 5) | b;
    StoreWord(row + 2 * x, w);
  } else if constexpr (L == PixelLayout::kBgr24) {
    std::uint8_t* p = row + 3 * x;
    p[0] = static_cast<std::uint8_t>(quad);
    p[1] = static_cast<std::uint8_t>(quad >> 8);
    p[2] = static_cast<std::uint8_t>(quad >> 16);
  } else {
    StoreQuad(row + 4 * x, quad);  // colours arrive with bits 24-31 clear
  }
}

// ---- Copy kernels ----------------------------------------------------------------------------

// A clipped copy: rows already point at the first row of each rectangle.
struct CopyJob {
  std::uint8_t* dst;
  std::ptrdiff_t dstPitch;
  int dx;
  const std::uint8_t* src;
  std::ptrdiff_t srcPitch;
  int sx;
  int width;
  int height;
};

// When one buffer holds both rectangles, walk rows away from the side being written so that no
// source row is overwritten before it is read.
void OrderRowsForOverlap(CopyJob& job) {
  const bool dstHigher =
      reinterpret_cast<std::uintptr_t>(job.dst) > reinterpret_cast<std::uintptr_t>(job.src);
  if (dstHigher != (job.dstPitch > 0)) return;
  const std::ptrdiff_t last = job.height - 1;
  job.dst += last * job.dstPitch;
  job.src += last * job.srcPitch;
  job.dstPitch = -job.dstPitch;
  job.srcPitch = -job.srcPitch;
}

void CopyBytes(CopyJob job, int bytesPerPixel) {
  OrderRowsForOverlap(job);
  std::uint8_t* d = job.dst + static_cast<std::ptrdiff_t>(job.dx) * bytesPerPixel;
  const std::uint8_t* s = job.src + static_cast<std::ptrdiff_t>(job.sx) * bytesPerPixel;
  const std::size_t n = static_cast<std::size_t>(job.width) * bytesPerPixel;
  for (int y = 0; y < job.height; ++y) {
    std::memmove(d, s, n);
    d += job.dstPitch;
    s += job.srcPitch;
  }
}

template <PixelLayout L>
void CopyIndices(CopyJob job) {
  OrderRowsForOverlap(job);
  for (int y = 0; y < job.height; ++y) {
    if (job.dst == job.src && job.dx > job.sx) {
      for (int x = job.width - 1; x >= 0; --x) {
        StoreIndex<L>(job.dst, job.dx + x, LoadIndex<L>(job.src, job.sx + x));
      }
    } else {
      for (int x = 0; x < job.width; ++x) {
        StoreIndex<L>(job.dst, job.dx + x, LoadIndex<L>(job.src, job.sx + x));
      }
    }
    job.dst += job.dstPitch;
    job.src += job.srcPitch;
  }
}

using Converter = void (*)(const CopyJob&, const Surface&, const Surface&);

template <PixelLayout S, PixelLayout D>
void Convert(const CopyJob& job, const Surface& destination, const Surface& source) {
  const SourceTable table(source);
  // Entries past what the index bits can address are never chosen.
  const int usable = IsIndexed(D) && destination.colorTable
                         ? std::min(destination.colorCount, 1 << BitsPerPixel(D))
                         : 0;
  NearestIndex nearest(destination.colorTable, usable);
  // Locals, because byte stores may alias anything reached through a reference.
  std::uint8_t* d = job.dst;
  const std::uint8_t* s = job.src;
  const int dx = job.dx, sx = job.sx, width = job.width;
  for (int y = job.height; y > 0; --y) {
    if constexpr (S == PixelLayout::kBgr24 && D == PixelLayout::kBgrx32) {
      // The common texture copy: one 4-byte load per pixel, its extra byte masked off; the last
      // pixel of the row is read byte by byte, since its fourth byte may lie past the rows.
      const std::uint8_t* from = s + 3 * static_cast<std::ptrdiff_t>(sx);
      std::uint8_t* to = d + 4 * static_cast<std::ptrdiff_t>(dx);
      for (int x = 0; x + 1 < width; ++x) {
        std::uint32_t quad;
        std::memcpy(&quad, from + 3 * x, 4);
        quad &= 0x00FFFFFFu;
        std::memcpy(to + 4 * x, &quad, 4);
      }
      StoreQuad(to + 4 * (width - 1), Load<S>(from, width - 1, table));
    } else {
      for (int x = 0; x < width; ++x) {
        Store<D>(d, dx + x, Load<S>(s, sx + x, table), nearest);
      }
    }
    d += job.dstPitch;
    s += job.srcPitch;
  }
}

template <std::size_t... I>
constexpr std::array<Converter, sizeof...(I)> MakeConverters(std::index_sequence<I...>) {
  return {{&Convert<static_cast<PixelLayout>(I / kLayoutCount),
                    static_cast<PixelLayout>(I % kLayoutCount)>...}};
}

// Indexed by source layout * kLayoutCount + destination layout.
constexpr auto kConverters =
    MakeConverters(std::make_index_sequence<kLayoutCount * kLayoutCount>{});

bool SameColorTables(const Surface& a, const Surface& b) {
  const int countA = a.colorTable ? a.colorCount : 0;
  const int countB = b.colorTable ? b.colorCount : 0;
  if (countA != countB) return false;
  return a.colorTable == b.colorTable || countA <= 0 ||
         std::memcmp(a.colorTable, b.colorTable, sizeof(std::uint32_t) * countA) == 0;
}

}  // namespace

int BitsPerPixel(PixelLayout layout) {
  switch (layout) {
    case PixelLayout::kIndexed1:
      return 1;
    case PixelLayout::kIndexed4:
      return 4;
    case PixelLayout::kIndexed8:
      return 8;
    case PixelLayout::kRgb555:
    case PixelLayout::kRgb565:
      return 16;
    case PixelLayout::kBgr24:
      return 24;
    case PixelLayout::kBgrx32:
      return 32;
  }
  return 0;
}

std::int64_t DibRowBytes(int width, PixelLayout layout) {
  if (width <= 0) return 0;
  const std::int64_t bits = static_cast<std::int64_t>(width) * BitsPerPixel(layout);
  return (bits + 31) / 32 * 4;
}

bool AllocatePixelBuffer(PixelBuffer& buffer, int width, int height, PixelLayout layout,
                         bool bottomUp) {
  buffer = PixelBuffer{};
  if (width <= 0 || height <= 0 || !ValidLayout(layout)) return false;
  const std::int64_t rowBytes = DibRowBytes(width, layout);
  const std::int64_t total = rowBytes * height;
  if (total > kMaxBufferBytes || static_cast<std::uint64_t>(total) > buffer.storage.max_size()) {
    return false;
  }
  try {
    buffer.storage.assign(static_cast<std::size_t>(total), 0);
    if (IsIndexed(layout)) buffer.colors.assign(std::size_t{1} << BitsPerPixel(layout), 0);
  } catch (const std::bad_alloc&) {
    buffer = PixelBuffer{};
    return false;
  } catch (const std::length_error&) {
    buffer = PixelBuffer{};
    return false;
  }
  Surface& surface = buffer.surface;
  surface.width = width;
  surface.height = height;
  surface.layout = layout;
  surface.pitch = bottomUp ? -rowBytes : rowBytes;
  surface.bits = buffer.storage.data() + (bottomUp ? total - rowBytes : 0);
  if (!buffer.colors.empty()) {
    surface.colorTable = buffer.colors.data();
    surface.colorCount = static_cast<int>(buffer.colors.size());
  }
  return true;
}

ColorRef ReadPixel(const Surface& surface, int x, int y) {
  if (x < 0 || y < 0 || x >= surface.width || y >= surface.height) return CLR_INVALID;
  const std::uint8_t* row = SurfaceRow(surface, y);
  const SourceTable table(surface);
  std::uint32_t quad;
  switch (surface.layout) {
    case PixelLayout::kIndexed1:
      quad = Load<PixelLayout::kIndexed1>(row, x, table);
      break;
    case PixelLayout::kIndexed4:
      quad = Load<PixelLayout::kIndexed4>(row, x, table);
      break;
    case PixelLayout::kIndexed8:
      quad = Load<PixelLayout::kIndexed8>(row, x, table);
      break;
    case PixelLayout::kRgb555:
      quad = Load<PixelLayout::kRgb555>(row, x, table);
      break;
    case PixelLayout::kRgb565:
      quad = Load<PixelLayout::kRgb565>(row, x, table);
      break;
    case PixelLayout::kBgr24:
      quad = Load<PixelLayout::kBgr24>(row, x, table);
      break;
    case PixelLayout::kBgrx32:
      quad = Load<PixelLayout::kBgrx32>(row, x, table);
      break;
    default:
      return CLR_INVALID;
  }
  return SwapRedBlue(quad);
}

void CopyRect(Surface& destination, int dx, int dy, int width, int height, const Surface& source,
              int sx, int sy) {
  // 64-bit so that extreme offsets cannot overflow while being clipped.
  std::int64_t w = width, h = height;
  std::int64_t dX = dx, dY = dy, sX = sx, sY = sy;
  if (dX < 0) sX -= dX, w += dX, dX = 0;
  if (sX < 0) dX -= sX, w += sX, sX = 0;
  if (dY < 0) sY -= dY, h += dY, dY = 0;
  if (sY < 0) dY -= sY, h += sY, sY = 0;
  w = std::min({w, destination.width - dX, source.width - sX});
  h = std::min({h, destination.height - dY, source.height - sY});
  if (w <= 0 || h <= 0) return;

  const CopyJob job{SurfaceRow(destination, static_cast<int>(dY)),
                    destination.pitch,
                    static_cast<int>(dX),
                    SurfaceRow(source, static_cast<int>(sY)),
                    source.pitch,
                    static_cast<int>(sX),
                    static_cast<int>(w),
                    static_cast<int>(h)};
  const PixelLayout layout = source.layout;
  if (layout == destination.layout) {
    switch (layout) {
      case PixelLayout::kBgrx32:
        return CopyBytes(job, 4);
      case PixelLayout::kBgr24:
        return CopyBytes(job, 3);
      case PixelLayout::kRgb555:
      case PixelLayout::kRgb565:
        return CopyBytes(job, 2);
      default:
        break;
    }
    // Equal tables give equal colours for equal indices, including indices past the table.
    if (SameColorTables(source, destination)) {
      switch (layout) {
        case PixelLayout::kIndexed8:
          return CopyBytes(job, 1);
        case PixelLayout::kIndexed4:
          return CopyIndices<PixelLayout::kIndexed4>(job);
        case PixelLayout::kIndexed1:
          return CopyIndices<PixelLayout::kIndexed1>(job);
        default:
          break;
      }
    }
  }
  if (!ValidLayout(layout) || !ValidLayout(destination.layout)) return;
  kConverters[static_cast<int>(layout) * kLayoutCount + static_cast<int>(destination.layout)](
      job, destination, source);
}
