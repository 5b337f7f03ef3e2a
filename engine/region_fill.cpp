#include "engine/region_fill.h"

#include <atomic>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

// SSE2 is the baseline of x86_64 builds. The i686 build is for the 486, so its SSE2 growth is
// compiled for SSE2 alone and runs only where the start-up found the processor and the system
// ready for it (SetSystemSavesXmm).
#if defined(__SSE2__)
#define VESPERINE_SSE2_GROWTH 1
#define VESPERINE_SSE2_TARGET
#include <emmintrin.h>
#elif defined(__i386__) && defined(__GNUC__)
#define VESPERINE_SSE2_GROWTH 1
#define VESPERINE_SSE2_CHECKED 1
#define VESPERINE_SSE2_TARGET __attribute__((target("sse2")))
#include <cpuid.h>
#include <emmintrin.h>
#endif

#include "engine/canvas_pixels.h"

using engine_detail::AnyPixels;
using engine_detail::Raw32Pixels;
using engine_detail::Similar;
using engine_detail::WithPixels;

// ---- FillMask --------------------------------------------------------------------------------
// The storage of the last released mask is kept for the next fill of the same canvas: fresh
// pages cost a fault each on first touch, which on some systems (wine among them) costs several
// times the whole fill. A mask is cleaned where it was marked when it is released, so a mask
// taken from the spare is already clear, and a small fill costs only its own rows.

namespace {

struct SpareMask {
  std::uint8_t* marks = nullptr;
  int* rows = nullptr;  // rowFirst, then rowLast
  int width = 0;
  int height = 0;
};

SpareMask Spare;                      // lives until the process ends
std::atomic<bool> SpareInUse{false};  // held while Spare is read or written

bool TakeSpare(int width, int height, std::uint8_t*& marks, int*& rows) {
  if (SpareInUse.exchange(true)) return false;
  const bool fits = Spare.marks != nullptr && Spare.width == width && Spare.height == height;
  if (fits) {
    marks = Spare.marks;
    rows = Spare.rows;
    Spare = SpareMask{};
  }
  SpareInUse.store(false);
  return fits;
}

// Keeps a clean mask as the spare, or frees it when the spare is taken or in use.
void ReturnStorage(std::uint8_t* marks, int* rows, int width, int height) {
  if (!SpareInUse.exchange(true)) {
    std::swap(marks, Spare.marks);
    std::swap(rows, Spare.rows);
    Spare.width = width;
    Spare.height = height;
    SpareInUse.store(false);
  }
  std::free(marks);
  std::free(rows);
}

}  // namespace

FillMask::~FillMask() {
  Release();
}

void FillMask::Release() {
  if (marks != nullptr) {
    for (int y = 0; y < height; ++y) {
      if (rowFirst[y] > rowLast[y]) continue;
      std::memset(
          marks + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + rowFirst[y], 0,
          static_cast<std::size_t>(rowLast[y] - rowFirst[y] + 1));
    }
    ReturnStorage(marks, rowFirst, width, height);
  }
  marks = nullptr;
  rowFirst = rowLast = nullptr;
  width = height = 0;
}

bool FillMask::Allocate(int canvasWidth, int canvasHeight) {
  Release();
  if (canvasWidth <= 0 || canvasHeight <= 0) return false;
  const unsigned long long count =
      static_cast<unsigned long long>(canvasWidth) * static_cast<unsigned long long>(canvasHeight);
  if (count > static_cast<unsigned long long>(SIZE_MAX)) return false;

  if (!TakeSpare(canvasWidth, canvasHeight, marks, rowFirst)) {
    // calloc hands out pages the system has already zeroed, so clearing costs nothing up front.
    marks = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(count), 1));
    rowFirst =
        static_cast<int*>(std::malloc(2 * sizeof(int) * static_cast<std::size_t>(canvasHeight)));
    if (marks == nullptr || rowFirst == nullptr) {
      std::free(marks);
      std::free(rowFirst);
      marks = nullptr;
      rowFirst = nullptr;
      return false;
    }
  }
  rowLast = rowFirst + canvasHeight;
  for (int y = 0; y < canvasHeight; ++y) {
    rowFirst[y] = canvasWidth;
    rowLast[y] = -1;
  }
  width = canvasWidth;
  height = canvasHeight;
  return true;
}

namespace {

// ---- Run growth ------------------------------------------------------------------------------
// A run grows from a pixel along its row while each next pixel is similar to the last one taken
// and not yet marked. With SSE2, where the fill may use it, the 32-bit reader compares four
// neighbour pairs at a time.

template <typename Pixels>
int GrowRight(const Pixels& pixels, const std::uint8_t* marks, int threshold, int y, int right) {
  while (right + 1 < pixels.width && marks[right + 1] == 0 &&
         Similar(pixels.In(right, y), pixels.In(right + 1, y), threshold)) {
    ++right;
  }
  return right;
}

template <typename Pixels>
int GrowLeft(const Pixels& pixels, const std::uint8_t* marks, int threshold, int y, int left) {
  while (left > 0 && marks[left - 1] == 0 &&
         Similar(pixels.In(left - 1, y), pixels.In(left, y), threshold)) {
    --left;
  }
  return left;
}

#if defined(VESPERINE_SSE2_GROWTH)
// Bit i is set when pixel i of `a` is similar to pixel i of `b` (four pixels each).
VESPERINE_SSE2_TARGET inline int SimilarBits4(__m128i a, __m128i b, __m128i threshold) {
  const __m128i diff = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
  const __m128i low_byte = _mm_set1_epi32(0xFF);
  __m128i sum = _mm_and_si128(diff, low_byte);
  sum = _mm_add_epi32(sum, _mm_and_si128(_mm_srli_epi32(diff, 8), low_byte));
  sum = _mm_add_epi32(sum, _mm_and_si128(_mm_srli_epi32(diff, 16), low_byte));
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(threshold, sum)));
}

// Bit i is set when mask byte i of the four at `marks` is 0.
inline int UnmarkedBits4(const std::uint8_t* marks) {
  std::uint32_t word;
  std::memcpy(&word, marks, 4);
  if (word == 0) return 0xF;
  return (marks[0] == 0 ? 1 : 0) | (marks[1] == 0 ? 2 : 0) | (marks[2] == 0 ? 4 : 0) |
         (marks[3] == 0 ? 8 : 0);
}

VESPERINE_SSE2_TARGET inline __m128i Load4(const std::uint8_t* row, int x) {
  return _mm_loadu_si128(
      reinterpret_cast<const __m128i*>(row + static_cast<std::ptrdiff_t>(x) * 4));
}

VESPERINE_SSE2_TARGET int GrowRightSse2(const Raw32Pixels& pixels, const std::uint8_t* marks,
                                        int threshold, int y, int right) {
  const std::uint8_t* row = pixels.Row(y);
  const __m128i limit = _mm_set1_epi32(threshold);
  while (right + 4 < pixels.width) {
    // Pairs (right + i, right + i + 1) for i = 0..3.
    const int ok = SimilarBits4(Load4(row, right), Load4(row, right + 1), limit) &
                   UnmarkedBits4(marks + right + 1);
    if (ok != 0xF) {
      int taken = 0;
      while ((ok >> taken) & 1)
        ++taken;
      return right + taken;
    }
    right += 4;
  }
  return GrowRight<Raw32Pixels>(pixels, marks, threshold, y, right);
}

VESPERINE_SSE2_TARGET int GrowLeftSse2(const Raw32Pixels& pixels, const std::uint8_t* marks,
                                       int threshold, int y, int left) {
  const std::uint8_t* row = pixels.Row(y);
  const __m128i limit = _mm_set1_epi32(threshold);
  while (left >= 4) {
    // Pairs (left - 4 + i, left - 3 + i) for i = 0..3; the walk meets i = 3 first.
    const int ok = SimilarBits4(Load4(row, left - 4), Load4(row, left - 3), limit) &
                   UnmarkedBits4(marks + left - 4);
    if (ok != 0xF) {
      int taken = 0;
      while ((ok >> (3 - taken)) & 1)
        ++taken;
      return left - taken;
    }
    left -= 4;
  }
  return GrowLeft<Raw32Pixels>(pixels, marks, threshold, y, left);
}
#endif

#if defined(VESPERINE_SSE2_CHECKED)
// CPUID leaf 1, EDX bit 26. __get_cpuid first finds out whether there is a CPUID at all: a 486
// may lack it, and then its EFLAGS.ID bit does not change. Out of line, so that the instruction
// check finds CPUID in the function its list names.
[[gnu::noinline]] bool ProcessorHasSse2() {
  unsigned int eax, ebx, ecx, edx;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0;
}
#endif

#if defined(VESPERINE_SSE2_GROWTH) && !defined(VESPERINE_SSE2_CHECKED)
constexpr bool kSse2Baseline = true;
#else
constexpr bool kSse2Baseline = false;
#endif

// Whether a fill of a 32-bit canvas grows its runs with SSE2: from the start on builds whose
// baseline has SSE2; from SetSystemSavesXmm on in the i686 build. Set at start-up, read once by
// every fill of the process.
bool Sse2Allowed = kSse2Baseline;
bool ScalarForced = false;  // tests compare both growths

#if defined(VESPERINE_SSE2_GROWTH)
// The 32-bit reader of a fill that grows runs with SSE2: its own marking, so that the choice is
// made once a fill and the SSE2 growth is reached from that marking alone.
struct Sse2Raw32Pixels : Raw32Pixels {
  explicit Sse2Raw32Pixels(const Surface& surface) : Raw32Pixels(surface) {}
};

int GrowRight(const Sse2Raw32Pixels& pixels, const std::uint8_t* marks, int threshold, int y,
              int right) {
  return GrowRightSse2(pixels, marks, threshold, y, right);
}

int GrowLeft(const Sse2Raw32Pixels& pixels, const std::uint8_t* marks, int threshold, int y,
             int left) {
  return GrowLeftSse2(pixels, marks, threshold, y, left);
}
#endif

// Runs `body` with the reader that serves this canvas in this process.
template <typename Body>
bool WithFillPixels(const Surface& canvas, Body&& body) {
#if defined(VESPERINE_SSE2_GROWTH)
  if (canvas.layout == PixelLayout::kBgrx32 && UsesSse2Growth())
    return body(Sse2Raw32Pixels(canvas));
#endif
  return WithPixels(canvas, body);
}

// ---- Marking ---------------------------------------------------------------------------------

// Columns left..right of `row` wait to be checked against the marked run one row back (row minus
// direction), which covers at least those columns.
struct PendingRun {
  int row;
  int direction;
  int left;
  int right;
};

template <typename Pixels>
class Marker {
 public:
  Marker(FillMask& mask, const Pixels& pixels, int threshold)
      : mask_(mask), pixels_(pixels), threshold_(threshold) {}

  bool Run(int x, int y, std::uint32_t came_from) {
    if (!Similar(pixels_.In(x, y), came_from, threshold_) || mask_.IsMarked(x, y)) return true;
    int left, right;
    MarkRunAround(x, y, left, right);
    if (y > 0 && !Push({y - 1, -1, left, right})) return false;
    if (y + 1 < pixels_.height && !Push({y + 1, +1, left, right})) return false;
    while (!pending_.empty()) {
      PendingRun run = pending_.back();
      pending_.pop_back();
      // A run that leads on to exactly one row further is followed without touching the stack,
      // which keeps long narrow areas (corridors, stripes) cheap.
      bool follow = false;
      do {
        if (!Visit(run, follow)) return false;
      } while (follow);
    }
    return true;
  }

 private:
  // Takes every unmarked pixel of the run's columns that is similar to the marked pixel one row
  // back, together with the run it lies in, and queues what lies beyond each new run. The first
  // run that leads on replaces `run`, with `follow` set.
  bool Visit(PendingRun& run, bool& follow) {
    follow = false;
    PendingRun next{};
    const int back_row = run.row - run.direction;
    const std::uint8_t* marks = MaskRow(run.row);
    for (int x = run.left; x <= run.right; ++x) {
      if (marks[x] != 0 || !Similar(pixels_.In(x, back_row), pixels_.In(x, run.row), threshold_)) {
        continue;
      }
      int left, right;
      MarkRunAround(x, run.row, left, right);
      const int next_row = run.row + run.direction;
      if (next_row >= 0 && next_row < pixels_.height) {
        if (!follow) {
          next = {next_row, run.direction, left, right};
          follow = true;
        } else if (!Push({next_row, run.direction, left, right})) {
          return false;
        }
      }
      // Back toward the run we came from, only where the new run reaches past it: above the
      // shared columns every pixel is marked already.
      if (left < run.left && !Push({back_row, -run.direction, left, run.left - 1})) return false;
      if (right > run.right && !Push({back_row, -run.direction, run.right + 1, right})) {
        return false;
      }
      x = right;
    }
    if (follow) run = next;
    return true;
  }

  void MarkRunAround(int x, int y, int& left, int& right) {
    std::uint8_t* marks = MaskRow(y);
    // Most runs of a busy or narrow area end at their first neighbour: test it before the
    // wider walks.
    const std::uint32_t pixel = pixels_.In(x, y);
    left = x;
    if (x > 0 && marks[x - 1] == 0 && Similar(pixels_.In(x - 1, y), pixel, threshold_)) {
      left = GrowLeft(pixels_, marks, threshold_, y, x - 1);
    }
    right = x;
    if (x + 1 < pixels_.width && marks[x + 1] == 0 &&
        Similar(pixel, pixels_.In(x + 1, y), threshold_)) {
      right = GrowRight(pixels_, marks, threshold_, y, x + 1);
    }
    if (left == right) {
      marks[left] = 1;
    } else {
      std::memset(marks + left, 1, static_cast<std::size_t>(right - left + 1));
    }
    if (left < mask_.rowFirst[y]) mask_.rowFirst[y] = left;
    if (right > mask_.rowLast[y]) mask_.rowLast[y] = right;
  }

  std::uint8_t* MaskRow(int y) {
    return mask_.marks + static_cast<std::size_t>(y) * static_cast<std::size_t>(mask_.width);
  }

  bool Push(const PendingRun& run) {
    try {
      pending_.push_back(run);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  FillMask& mask_;
  const Pixels& pixels_;
  const int threshold_;
  std::vector<PendingRun> pending_;
};

template <typename Pixels>
bool Mark(FillMask& mask, const Pixels& pixels, int threshold, int x, int y,
          std::uint32_t came_from) {
  return Marker<Pixels>(mask, pixels, threshold).Run(x, y, came_from);
}

// ---- Painting --------------------------------------------------------------------------------

// First column from `x` below `end` whose byte is not 0 (`end` when none).
int NextMarked(const std::uint8_t* marks, int x, int end) {
  std::uint64_t word;
  while (x + 8 <= end && (std::memcpy(&word, marks + x, 8), word == 0))
    x += 8;
  while (x < end && marks[x] == 0)
    ++x;
  return x;
}

// Paints the row's marked runs, joining runs whose gap is at most kFillGapLimit pixels, so every
// segment starts and ends on a marked pixel. A gap wider than the limit holds eight unmarked
// pixels in a row at any step of eight, so the search strides over the mask eight bytes at a time
// and measures a gap exactly only where it finds such a stretch.
void PaintMarkedRow(Surface& canvas, const Surface& texture, const std::uint8_t* marks, int first,
                    int last, int y) {
  int segment_start = first;
  int x = first;
  for (;;) {
    std::uint64_t word = 1;
    while (x + 8 <= last && (std::memcpy(&word, marks + x, 8), word != 0))
      x += 8;
    if (word != 0) break;
    int gap_start = x;  // marks[first] is marked, so this walk stops
    while (marks[gap_start - 1] == 0)
      --gap_start;
    const int gap_end = NextMarked(marks, x + 8, last + 1);  // marks[last] is marked
    if (gap_end - gap_start > kFillGapLimit) {
      PaintTextureRow(canvas, texture, segment_start, gap_start - 1, y);
      segment_start = gap_end;
    }
    x = gap_end;
  }
  PaintTextureRow(canvas, texture, segment_start, last, y);
}

void PaintMarked(Surface& canvas, const FillMask& mask, const Surface& texture) {
  for (int y = 0; y < mask.height; ++y) {
    if (mask.rowFirst[y] > mask.rowLast[y]) continue;
    PaintMarkedRow(canvas, texture,
                   mask.marks + static_cast<std::size_t>(y) * static_cast<std::size_t>(mask.width),
                   mask.rowFirst[y], mask.rowLast[y], y);
  }
}

}  // namespace

// ---- Public operations -----------------------------------------------------------------------

void SetSystemSavesXmm(bool saves) {
#if defined(VESPERINE_SSE2_CHECKED)
  Sse2Allowed = saves && ProcessorHasSse2();
#else
  static_cast<void>(saves);
#endif
}

bool UsesSse2Growth() {
  return Sse2Allowed && !ScalarForced;
}

void ForceScalarGrowth(bool scalar) {
  ScalarForced = scalar;
}

bool MarkRegion(FillMask& mask, const Surface& canvas, int threshold, int x, int y,
                ColorRef cameFrom) {
  assert(mask.width == canvas.width && mask.height == canvas.height);
  assert(x >= 0 && y >= 0 && x < canvas.width && y < canvas.height);
  if (mask.marks == nullptr || mask.width != canvas.width || mask.height != canvas.height ||
      x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) {
    return true;
  }
  return WithFillPixels(canvas, [&](const auto& pixels) {
    return Mark(mask, pixels, threshold, x, y, pixels.FromColorRef(cameFrom));
  });
}

namespace {

// The tiles of a segment that spans more than one texture width: a piece of the first tile, whole
// tiles, a piece of the last, all from row source_row of `texture`.
void PaintTiles(Surface& canvas, const Surface& texture, int source_row, int x1, int x2, int y) {
  const int tw = texture.width;
  const int u = x1 % tw;
  CopyRect(canvas, x1, y, tw - u, 1, texture, u, source_row);
  int tile = x1 - u + tw;
  for (; tile + tw <= x2; tile += tw)
    CopyRect(canvas, tile, y, tw, 1, texture, 0, source_row);
  CopyRect(canvas, tile, y, x2 % tw + 1, 1, texture, 0, source_row);
}

// A texture row in another layout than the canvas's would be converted again for every tile (the
// usual case: 24-bit pictures on a 32-bit screen, palette pictures anywhere). On a direct-colour
// canvas a converted pixel depends on the pixel alone, so the row is converted once and its tiles
// copied as they are: the same pixels, at the cost of a plain copy. False, painting nothing, when
// the row does not qualify or does not fit the buffer; kept out of line so that only this path
// pays for the buffer on the stack.
constexpr std::size_t kConvertedRowBytes = 16 * 1024;

[[gnu::noinline]] bool PaintTilesConvertedOnce(Surface& canvas, const Surface& texture,
                                               int source_row, int x1, int x2, int y) {
  if (texture.layout == canvas.layout || BitsPerPixel(canvas.layout) < 16) return false;
  const std::int64_t row_bytes = DibRowBytes(texture.width, canvas.layout);
  if (row_bytes == 0 || row_bytes > std::int64_t{kConvertedRowBytes}) return false;
  alignas(16) std::uint8_t converted[kConvertedRowBytes];
  Surface row;
  row.width = texture.width;
  row.height = 1;
  row.layout = canvas.layout;
  row.pitch = static_cast<std::ptrdiff_t>(row_bytes);
  row.bits = converted;
  CopyRect(row, 0, 0, texture.width, 1, texture, 0, source_row);
  PaintTiles(canvas, row, 0, x1, x2, y);
  return true;
}

}  // namespace

void PaintTextureRow(Surface& canvas, const Surface& texture, int x1, int x2, int y) {
  const int tw = texture.width;
  const int th = texture.height;
  assert(tw > 0 && th > 0 && 0 <= x1 && x1 <= x2);
  if (tw <= 0 || th <= 0 || x1 < 0 || x2 < x1) return;
  const int source_row = y % th;
  const int u = x1 % tw;  // offset of x1 within its tile
  if (x2 - x1 > tw) {
    if (!PaintTilesConvertedOnce(canvas, texture, source_row, x1, x2, y)) {
      PaintTiles(canvas, texture, source_row, x1, x2, y);
    }
  } else if (x2 % tw - u == x2 - x1) {
    CopyRect(canvas, x1, y, x2 - x1 + 1, 1, texture, u, source_row);
  } else {
    CopyRect(canvas, x1, y, tw - u, 1, texture, u, source_row);
    CopyRect(canvas, x1 - u + tw, y, x2 % tw + 1, 1, texture, 0, source_row);
  }
}

FillResult FillRegion(Surface& canvas, int threshold, int x, int y, const Surface& texture) {
  assert(x >= 0 && y >= 0 && x < canvas.width && y < canvas.height);
  FillMask mask;
  if (!mask.Allocate(canvas.width, canvas.height)) return FillResult::kOutOfMemory;
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return FillResult::kFilled;
  const bool marked = WithFillPixels(canvas, [&](const auto& pixels) {
    return Mark(mask, pixels, threshold, x, y, pixels.In(x, y));
  });
  if (!marked) return FillResult::kOutOfMemory;
  if (texture.width > 0 && texture.height > 0) PaintMarked(canvas, mask, texture);
  return FillResult::kFilled;
}
