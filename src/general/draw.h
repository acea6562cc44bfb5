#pragma once
// Drawing primitives besides the blitter: PlainBitmap::fillRect and
// PlainBitmap::copyRegion (bitmap.h), and one-pixel lines on any bitmap.

#include "general/bitmap.h"

// A 16.16 fixed-point line from (x0, y0) to (x1, y1), both ends included;
// pixels outside the bitmap are skipped.
void drawLine(Bitmap& bitmap, uint16_t colour, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
