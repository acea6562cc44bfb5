#pragma once
// Bitmap fonts and text drawing.  A font is a BMP cut into equal cells, cell
// k the picture of character code k, and is named by its number (from 1).
// Codes below 15 in a text are controls:
//   0, 10, 13 nothing      1-8 fixed colours (black, red, green, blue,
//   9 tab to the next stop     orange, yellow, magenta, white)
//   11 back to the starting colour
//   12 q  second colour = 15-bit colour q   14 q  text colour = q
// The older program's controls end at 10, which restores the colour.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "general/bitmap.h"
#include "general/istring.h"

struct Font {
  uint32_t glyphWidth = 0;
  uint32_t glyphHeight = 0;
  std::vector<std::unique_ptr<PlainBitmap>> glyphs;
};

extern std::vector<std::unique_ptr<Font>> gFontTable;
extern uint16_t gTabStops[32];

// Returns the new font's number.  count is not used: the cells follow from
// the picture's size.  A file that cannot be read gives a font with no cells.
uint32_t loadFont(const char* fileName, uint32_t glyphWidth, uint32_t glyphHeight, uint32_t count);
uint32_t loadFont(const FixedIString& fileName, uint32_t glyphWidth, uint32_t glyphHeight, uint32_t count);
uint32_t fontWidth(uint32_t font);
uint32_t fontHeight(uint32_t font);
void setTabStop(uint32_t index, uint16_t x);
// Empties the font table; a shut-down hook, so it runs before the
// allocation report.
void freeFonts();

// One line of text from (x, y), each glyph blitted in blitMode (4: key
// pixels in the second colour, the rest in the text colour; 5: only the
// non-key pixels).  Clipped to the target like every blit.
void drawText(Bitmap& target, uint32_t font, int32_t x, int32_t y, uint16_t colour, const uint16_t* text,
              size_t length, uint32_t blitMode);
// The same, every glyph also clipped to the rectangle (a pane's own).
void drawTextClipped(Bitmap& target, uint32_t font, int32_t x, int32_t y, uint16_t colour,
                     const FixedIString& text, uint32_t blitMode, const Rect& clip);
inline void drawText(Bitmap& target, uint32_t font, int32_t x, int32_t y, uint16_t colour,
                     std::u16string_view text, uint32_t blitMode) {
  drawText(target, font, x, y, colour, reinterpret_cast<const uint16_t*>(text.data()), text.size(), blitMode);
}
inline void drawText(Bitmap& target, uint32_t font, int32_t x, int32_t y, uint16_t colour,
                     const FixedIString& text, uint32_t blitMode) {
  drawText(target, font, x, y, colour, text.data(), text.length(), blitMode);
}
