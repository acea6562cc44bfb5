#pragma once
// The blitter: PlainBitmap::blitBitmap draws a bitmap onto another in one of
// eight modes (BlitOptions::mode):
//   0 copy                      1 keyed copy (run encoding of `key`)
//   2 blend 3/4 over background 3 keyed blend
//   4 two-colour glyph          5 keyed one-colour glyph
//   6 two-colour tint           7 keyed tint
// The even modes visit every source pixel, the odd ones only those that
// differ from the key.  Every write is clipped to the destination (and to
// the options' clip rectangle when set) and every background read to the
// background; a mode above 7 draws nothing.

#include "general/bitmap.h"

// Each channel of p divided by 4, in the destination's format.
inline uint32_t quarterOf(uint32_t p, uint32_t quarterMask) { return (p >> 2) & quarterMask; }
