#pragma once
// BMP files: View::loadBmp reads an uncompressed 4, 8 or 24-bit BMP (40-byte
// info header, pixels right after the palette) into an Image in the view's
// pixel format; View::saveBmp writes a Bitmap as a 24-bit BMP.  Files are
// untrusted: sizes and palettes are checked against the header's limits and
// the file's length before anything is allocated.

#include "general/view.h"

namespace bmp {
// Larger pictures are refused; the program's own are a few hundred pixels.
inline constexpr uint32_t kMaxSide = 16384;
inline constexpr uint32_t kHeaderBytes = 54;

inline uint64_t rowBytes(uint64_t width, uint32_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}
}  // namespace bmp
