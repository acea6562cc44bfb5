#include "general/widgetgfx.h"

#include "general/draw.h"
#include "general/text.h"
#include "general/view.h"
#include "general/widget.h"

namespace widgetgfx {

u32 page() { return gView.currentPage(); }

u32 fontWidth() { return ::fontWidth(gWidgetFont); }

u32 fontHeight() { return ::fontHeight(gWidgetFont); }

void text(u32 x, u32 y, u32 colour, const FixedIString& t, u32 blitMode) {
  drawText(gView, gWidgetFont, static_cast<i32>(x), static_cast<i32>(y), static_cast<u16>(colour), t.data(),
           t.length(), blitMode);
}

void clippedText(u32 x, u32 y, u32 colour, const FixedIString& t, u32 blitMode, u32 clipX, u32 clipY,
                 u32 clipW, u32 clipH) {
  drawTextClipped(gView, gWidgetFont, static_cast<i32>(x), static_cast<i32>(y), static_cast<u16>(colour), t,
                  blitMode, Rect{clipX, clipY, clipW, clipH});
}

void line(u32 x0, u32 y0, u32 x1, u32 y1, u32 colour) {
  drawLine(gView, static_cast<u16>(colour), static_cast<i32>(x0), static_cast<i32>(y0), static_cast<i32>(x1),
           static_cast<i32>(y1));
}

void fill(u32 colour, u32 x, u32 y, u32 w, u32 h) {
  const Rect r{x, y, w, h};
  gView.fill(static_cast<u16>(colour), &r);
}

}  // namespace widgetgfx
