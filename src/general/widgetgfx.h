#pragma once
// The few drawing calls the widgets make, all into the display with the
// widget font, in one place.

#include "general/base.h"
#include "general/istring.h"
#include "general/ptr.h"

namespace widgetgfx {

u32 page();  // the display page being drawn
u32 fontWidth();
u32 fontHeight();
void text(u32 x, u32 y, u32 colour, const FixedIString& text, u32 blitMode);
// The same, kept inside the rectangle (x, y, w, h) of the display.
void clippedText(u32 x, u32 y, u32 colour, const FixedIString& text, u32 blitMode, u32 clipX, u32 clipY,
                 u32 clipW, u32 clipH);
void line(u32 x0, u32 y0, u32 x1, u32 y1, u32 colour);
void fill(u32 colour, u32 x, u32 y, u32 w, u32 h);

}  // namespace widgetgfx
