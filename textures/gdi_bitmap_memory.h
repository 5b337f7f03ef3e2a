// What the tests can see and steer in the portable GDI binding (gdi_bitmap_memory.cpp), which
// checks the rules GDI holds callers to and counts every breach instead of failing silently.
#pragma once

#include <cstdint>

#include "textures/gdi_bitmap.h"

// ---- Types -----------------------------------------------------------------------------------

struct MemoryGdiCounts {
  int liveBitmaps = 0;
  int liveDCs = 0;
  int dcsCreated = 0;  // since the start of the process
  // Breaches of GDI's rules: a bitmap selected into two DCs, a selected bitmap deleted, a DC
  // deleted with one of our bitmaps still selected, a colour table set on a DC without a palette
  // DIB, an unknown handle.
  int misuses = 0;
};

// ---- Functions -------------------------------------------------------------------------------

MemoryGdiCounts MemoryGdiCountsNow();

// The object selected into a memory DC; a new DC holds a stock 1x1 bitmap.
GdiObjectHandle MemoryGdiSelectedObject(DcHandle dc);

// The colour table a DIB section holds (256 RGBQUAD values), or null for an unknown handle.
const std::uint32_t* MemoryGdiColorTable(BitmapHandle bitmap);

// The description a DIB section was created with.
bool MemoryGdiDibHeader(BitmapHandle bitmap, DibHeader* header);

// While true, GdiCreateDibSection fails as GDI does when memory runs out.
void MemoryGdiFailDibSections(bool fail);
