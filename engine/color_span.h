// Colour similarity and spans: the two notions the whole fill engine rests on.
//
// Similarity is always chained: a pixel is compared with its immediate neighbour, never with the
// picked pixel, so a smooth ramp forms one area however far apart its ends are.
#pragma once

#include "raster/raster.h"

// ---- Types -----------------------------------------------------------------------------------

// A horizontal run of one canvas row, both ends inclusive. Its measure is right minus left.
struct Span {
  int left;
  int right;
  int row;
};

// ---- Functions -------------------------------------------------------------------------------

// Sum of the absolute differences of red, green and blue (0 to 765); bits 24-31 are ignored.
int ColorDistance(ColorRef a, ColorRef b);

// True when the distance is strictly below the threshold (a signed comparison, so a threshold of 0
// or less makes no two colours similar, not even a colour and itself).
bool ColorsSimilar(ColorRef a, ColorRef b, int threshold);

// The span of row y that holds column x: the longest run around x in which every two neighbours
// are similar. (x, y) must lie inside the canvas.
Span FindSpan(const Surface& canvas, int threshold, int x, int y);
