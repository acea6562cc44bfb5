#include "general/widgetgfx.h"

// Stand-in until the display is on main: one page, an 8 x 12 font, no pixels.
namespace widgetgfx {

u32 page() { return 0; }
u32 fontWidth() { return 8; }
u32 fontHeight() { return 12; }
void text(u32, u32, u32, const FixedIString&, u32) {}
void line(u32, u32, u32, u32, u32) {}
void fill(u32, u32, u32, u32, u32) {}

}  // namespace widgetgfx
