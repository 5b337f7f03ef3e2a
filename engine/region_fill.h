// The textured region fill: the visible effect of the saver.
//
// The exact area of chained-similar colour around a point is marked in a FillMask, then every row
// of it is painted from a texture tiled from the canvas origin, with gaps of up to 25 unmarked
// pixels inside a row painted over. Marking is complete before painting starts.
#pragma once

#include <cstdint>

#include "raster/raster.h"

// ---- Constants -------------------------------------------------------------------------------

// The widest run of unmarked pixels inside a row that painting bridges.
constexpr int kFillGapLimit = 25;

// ---- Types -----------------------------------------------------------------------------------

// One byte per canvas pixel, row by row (pixel (x, y) at y * width + x): 1 in the area, 0 not.
// Beside it, the first and last marked column of each row (first > last for a row with none), so
// that painting visits only the columns that can hold a run. Marks are written only through
// MarkRegion, which keeps those columns, so that a released mask can be cleaned row by row and its
// storage reused by the next fill of a canvas of the same size.
struct FillMask {
  FillMask() = default;
  FillMask(const FillMask&) = delete;
  FillMask& operator=(const FillMask&) = delete;
  ~FillMask();

  // Sizes the mask to the canvas, every pixel unmarked. False when memory cannot be had.
  bool Allocate(int canvasWidth, int canvasHeight);
  // Gives the storage back (kept for the next mask of the same size); the mask is then empty.
  void Release();
  bool IsMarked(int x, int y) const { return marks[static_cast<std::size_t>(y) * width + x] != 0; }

  std::uint8_t* marks = nullptr;
  int* rowFirst = nullptr;
  int* rowLast = nullptr;
  int width = 0;
  int height = 0;
};

enum class FillResult {
  kFilled,       // the area was painted (an empty area paints nothing)
  kOutOfMemory,  // the mask or the marking's work stack could not be had; the canvas is untouched
};

// ---- Functions -------------------------------------------------------------------------------

// Marks in `mask` the 4-connected area of (x, y) under chained similarity, where (x, y) is reached
// from a pixel of colour `cameFrom`: nothing when the pixel is not similar to `cameFrom`. Pending
// runs are kept on an explicit stack, so an area of any size and shape marks without recursion.
// False when that stack cannot grow; the mask is then incomplete.
bool MarkRegion(FillMask& mask, const Surface& canvas, int threshold, int x, int y,
                ColorRef cameFrom);

// Paints columns x1 to x2 (inclusive, x1 <= x2) of canvas row y with the texture anchored at the
// canvas origin: one 1-pixel-high CopyRect per tile the segment touches. A texture row in another
// layout than a direct-colour canvas's is converted once per call and its tiles copied from that,
// which gives the same pixels.
void PaintTextureRow(Surface& canvas, const Surface& texture, int x1, int x2, int y);

// Fills the area around (x, y) of the canvas with the texture. The texture must stay readable for
// the whole call; on Windows the caller holds its drawing context around the call.
FillResult FillRegion(Surface& canvas, int threshold, int x, int y, const Surface& texture);

// Tells the fill whether the system saves the XMM registers on a task switch (Windows 95 and
// NT 4.0 do not: an SSE instruction faults there). Called once by the start-up, before any fill.
// Only the i686 build asks: from then on it grows the runs of a 32-bit canvas with SSE2 when the
// processor has SSE2 too. Builds whose baseline has SSE2 always do; other builds never do.
void SetSystemSavesXmm(bool saves);
// Whether runs grow with SSE2 now; ForceScalarGrowth(true) keeps them scalar (tests compare the
// two), ForceScalarGrowth(false) returns to what the start-up chose.
bool UsesSse2Growth();
void ForceScalarGrowth(bool scalar);
